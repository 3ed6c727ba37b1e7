// SPDX-License-Identifier: MIT
// bench_ap_roundtrip [ITERATIONS]: the time one command takes from request
// to reply against orv3sim, for a command without pause (the sync buffer
// poll) and one with the 1 ms pause (the status read). The process is set
// up as the tools set it up.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "aplink/ap_commands.h"
#include "aplink/qxap.h"
#include "platform/clock.h"
#include "tests/support/sim_harness.h"
#include "tools/entry.h"

namespace {

constexpr int WARM_UP = 50;

struct measured {
    const char* name;
    uint8_t code;
    bool (*call)();
};

bool buffer_status()
{
    unsigned short state = 0;
    return QX_SYNC_GetBufferStatus(state);
}

bool status()
{
    unsigned short value = 0;
    return QX_GetStatus(value);
}

double percentile(const std::vector<double>& sorted, double p)
{
    const auto i = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(i, sorted.size() - 1)];
}

}  // namespace

int main(int argc, char** argv)
{
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 2000;
    if (iterations < 1) {
        std::fprintf(stderr, "usage: bench_ap_roundtrip [ITERATIONS]\n");
        return 2;
    }
    prepare_console();
    sim_server sim;
    unsigned char port = 0;
    char path[64];
    if (!QX_GetCOM(port) ||
        (std::snprintf(path, sizeof path, QXAP_PORT_PATH_FORMAT, port), !QX_OpenCOM(path, 115200, 30, false, false))) {
        std::fprintf(stderr, "bench_ap_roundtrip: cannot open the simulated access point\n");
        return 1;
    }

    const measured commands[] = {
        {"QX_SYNC_GetBufferStatus", AP_SYNC_GET_BUFFER_STATUS, buffer_status},
        {"QX_GetStatus", AP_GET_STATUS, status},
    };
    std::printf("round trip against orv3sim, %d iterations each, ms\n", iterations);
    std::printf("%-24s %4s %5s %8s %8s %8s %8s\n", "command", "code", "pause", "median", "p99", "min", "max");
    int failures = 0;
    for (const measured& m : commands) {
        for (int i = 0; i < WARM_UP; ++i)
            failures += !m.call();
        std::vector<double> ms;
        ms.reserve(static_cast<std::size_t>(iterations));
        for (int i = 0; i < iterations; ++i) {
            const int64_t start = plat_monotonic_ns();
            failures += !m.call();
            ms.push_back(static_cast<double>(plat_monotonic_ns() - start) / 1e6);
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%-24s 0x%02X %5d %8.3f %8.3f %8.3f %8.3f\n", m.name, m.code, find_ap_command(m.code)->pause_ms,
                    percentile(ms, 0.5), percentile(ms, 0.99), ms.front(), ms.back());
    }
    QX_CloseCOM();
    if (failures != 0) {
        std::fprintf(stderr, "bench_ap_roundtrip: %d commands not acknowledged\n", failures);
        return 1;
    }
    return 0;
}
