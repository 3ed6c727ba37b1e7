// SPDX-License-Identifier: MIT
#include "tests/support/ap_session.h"

#include <cstdio>
#include <dirent.h>

#include "aplink/qxap.h"
#include "aplink/serial.h"
#include "platform/clock.h"
#include "platform/sleep.h"

namespace {
// What the tools pass besides the path.
constexpr unsigned long TOOL_BAUD = 115200;
constexpr unsigned short TOOL_THIRD = 30;
}  // namespace

std::string ap_device_path()
{
    unsigned char port = 0;
    if (!QX_GetCOM(port))
        return {};
    char path[64];
    std::snprintf(path, sizeof path, QXAP_PORT_PATH_FORMAT, port);
    return path;
}

ap_session::ap_session(std::vector<std::string> sim_args, bool open_now)
    : sim(std::move(sim_args)), path(ap_device_path())
{
    if (open_now)
        open();
}

ap_session::~ap_session()
{
    QX_CloseCOM();
    sim.stop();
}

bool ap_session::open() { return QX_OpenCOM(path.data(), TOOL_BAUD, TOOL_THIRD, false, false); }

bool ap_session::wait_for_frames(const std::string& dir, std::size_t n, int timeout_ms) const
{
    const int64_t start = plat_monotonic_ns();
    while (frames_of(sim.wire(), dir).size() < n) {
        if (ms_since(start) > timeout_ms)
            return false;
        plat_sleep_ms(5);
    }
    return true;
}

std::string hex_arg(int byte)
{
    char b[8];
    std::snprintf(b, sizeof b, "0x%02X", byte);
    return b;
}

int read_bound_ms(int n) { return SERIAL_MS_PER_BYTE * n + SERIAL_MS_CONSTANT; }

double ms_since(int64_t start_ns) { return static_cast<double>(plat_monotonic_ns() - start_ns) / 1e6; }

int open_fd_count()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (const dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                ++n;
        closedir(d);
    }
    return n;
}
