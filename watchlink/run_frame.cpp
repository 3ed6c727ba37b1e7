// SPDX-License-Identifier: MIT
#include "watchlink/run_frame.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "aplink/ap_commands.h"
#include "aplink/qx_internal.h"
#include "aplink/qxap.h"
#include "platform/interrupt.h"
#include "platform/port_list.h"
#include "platform/serial_port.h"
#include "platform/sleep.h"
#include "platform/text.h"
#include "watchlink/exchange.h"

namespace {
constexpr unsigned long AP_BAUD = 115200;
constexpr unsigned short AP_OPEN_ARG = 30;
constexpr int PORT_NAME_SIZE = 32;
constexpr unsigned MAX_PORT_NUMBER = 255;  // what discovery's one-byte out-value holds

enum class port_choice { discovered, chosen, none };

// The device path of a port number, as discovery's number becomes one.
std::string port_path(unsigned number)
{
    char name[PORT_NAME_SIZE] = {};
    std::snprintf(name, sizeof name, QXAP_PORT_PATH_FORMAT, static_cast<int>(number));
    return name;
}

// The port the user named in the environment, if any; otherwise discovery's.
// A value that names no port is said on the standard error stream.
port_choice choose_port(std::string& path)
{
    const char* env = std::getenv(ORV3_PORT_ENV);
    if (env != nullptr && *env != '\0') {
        const std::string_view value = env;
        unsigned number = 0;
        if (plat_is_device_path(value)) {
            path = value;
            return port_choice::chosen;
        }
        if (decimal_number(value, number) && number <= MAX_PORT_NUMBER) {
            path = port_path(number);
            return port_choice::chosen;
        }
        std::fprintf(stderr, MSG_PORT_ENV_INVALID, ORV3_PORT_ENV, env);
        return port_choice::none;
    }
    unsigned char number = 0;
    if (!QX_GetCOM(number))
        return port_choice::none;
    path = port_path(number);
    return port_choice::discovered;
}

// A user who may not open the port, or finds it taken, is told why; so is
// one whose chosen port is not there.
void print_open_failure(const char* port_name, port_choice choice)
{
    switch (plat_serial_open_error()) {
    case plat_open_error::missing:
        if (choice == port_choice::chosen)
            std::fprintf(stderr, MSG_PORT_ENV_MISSING, port_name, ORV3_PORT_ENV);
        break;
    case plat_open_error::permission:
        std::fprintf(stderr, MSG_PORT_PERMISSION, port_name);
        break;
    case plat_open_error::busy:
        std::fprintf(stderr, MSG_PORT_BUSY, port_name);
        break;
    default:
        break;
    }
}
}  // namespace

void print_both(const char* text)
{
    std::fputs(text, stdout);
    std::fflush(stdout);
    std::fputs(text, stderr);
}

void print_banner(const tool_frame& tool, bool output_redirected)
{
    if (tool.banner == nullptr)
        return;
    std::fputs(tool.banner, stdout);
    std::fflush(stdout);
    if (output_redirected)
        std::fputs(tool.banner, stderr);
}

link_result open_sync_link(const tool_frame& tool, watch_reply& first_read, uint16_t& status)
{
    std::string port_name;
    if (run_interrupted())
        return link_result::interrupted;
    const port_choice choice = choose_port(port_name);
    if (choice == port_choice::none) {
        print_both(MSG_NO_ACCESS_POINT);
        return link_result::no_access_point;
    }
    if (!QX_OpenCOM(port_name.data(), AP_BAUD, AP_OPEN_ARG, false, false)) {
        print_both(MSG_NO_ACCESS_POINT);
        print_open_failure(port_name.c_str(), choice);
        return link_result::no_access_point;
    }
    QX_Reset();
    plat_sleep_ms(AP_RESET_SETTLE_MS);
    if (run_interrupted()) {
        close_access_point();
        return link_result::interrupted;
    }
    const bool started = QX_VAM_Start();
    plat_sleep_ms(AP_RESET_SETTLE_MS);
    if (!started) {
        print_both(MSG_NO_LINK);
        QX_Reset();
        QX_CloseCOM();
        return link_result::no_link;
    }
    if (run_interrupted()) {
        leave_sync_mode();
        close_access_point();
        return link_result::interrupted;
    }
    std::fputs(tool.prompt, stderr);
    plat_tone(tool.tone_hz, tool.tone_ms);
    plat_sleep_ms(tool.pause_ms);
    if (run_interrupted()) {
        leave_sync_mode();
        close_access_point();
        return link_result::interrupted;
    }
    QX_SYNC_ReadBuffer(first_read.data());
    status = AP_SYNC_REPLY_WAITING;
    return link_result::ok;
}

void leave_sync_mode()
{
    watch_command exit_sync = make_command(CMD_EXIT_SYNC);
    QX_SYNC_SendCommand(exit_sync.data());
    plat_sleep_ms(EXIT_SYNC_SETTLE_MS);
    QX_VAM_Stop();
}

void close_access_point()
{
    QX_Reset();
    QX_CloseCOM();
}

bool run_interrupted() { return plat_interrupt_signal() != 0; }
