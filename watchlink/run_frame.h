// SPDX-License-Identifier: MIT
// The frame every tool runs inside: banner, access point found and opened,
// sync radio link started, the user prompted; at the end the watch leaves
// sync mode, the link stops, the access point is reset and closed.
#pragma once
#include <cstdint>

#include "watchlink/protocol.h"

inline constexpr char MSG_REMINDER[] =
    "Remember that TIMING is USELESS without an ATOMIC SYNC in the last minute!!!\n";
inline constexpr char MSG_REDIRECT_REFUSED[] = "Redirecting output not allowed\n";
inline constexpr char MSG_NO_ACCESS_POINT[] = "Error finding access point!\n";
inline constexpr char MSG_NO_LINK[] = "Vamlink protocol could NOT be started!\n";
inline constexpr char MSG_COMM_ERROR[] = "Communication error!\n";
// After MSG_NO_ACCESS_POINT, when the port is there but cannot be opened (%s: its path).
inline constexpr char MSG_PORT_PERMISSION[] =
    "No permission to open %s: join the group dialout and log in again, or install the udev rule (see the README).\n";
inline constexpr char MSG_PORT_BUSY[] = "%s is held by another program: end it, then try again.\n";

// Set and not empty: the access point's port, as a number or (where the
// platform takes one) a device path, and no discovery.
inline constexpr char ORV3_PORT_ENV[] = "ORV3_PORT";
// Before MSG_NO_ACCESS_POINT, when the variable names no port (%s: its name, then its value).
inline constexpr char MSG_PORT_ENV_INVALID[] =
    "%s=\"%s\" names no port: set it to a port number from 0 to 255 (on Linux also a device path such as /dev/ttyUSB0), or unset it to find the access point.\n";
// After MSG_NO_ACCESS_POINT, when the port the variable names is missing (%s: its path, then the name).
inline constexpr char MSG_PORT_ENV_MISSING[] = "%s, the port that %s names, is not there.\n";

// What differs from tool to tool in the frame.
struct tool_frame {
    const char* banner;  // standard output (and standard error when redirected)
    const char* prompt;  // standard error, once the link is up
    unsigned tone_hz;
    unsigned tone_ms;
    unsigned pause_ms;  // after the tone, for the user to start sync mode
};

inline constexpr tool_frame FRAME_ACCURACY_READER = {
    "ORV3GET (accuracy reader) built Feb 29 2012\n",
    "Vamlink protocol started - now start watch in sync mode and wait about 25s.\n", 200, 200, 2000};
inline constexpr tool_frame FRAME_MEMORY_DUMP = {
    "ORV3DUMP (internal configuration memory dump) built Feb 29 2012\n",
    "Vamlink protocol started - now start watch in sync mode and wait a few seconds.\n", 100, 100, 2500};
inline constexpr tool_frame FRAME_HEQ_TOOL = {
    "ORV3PARAM (HEQ parameter get/set) built Feb 29 2012\n",
    "Vamlink protocol started - now start watch in sync mode!\n", 200, 200, 2000};
inline constexpr tool_frame FRAME_TIME_SETTER = {
    "ORV3SET (time/TZ/DST setter) built Feb 29 2012\n",
    "Vamlink protocol started - now start watch in sync mode and wait about 45s.\n", 200, 200, 2000};
// Runs after the setter's banner; it prints none of its own.
inline constexpr tool_frame FRAME_TEMPOFF_MODE = {
    nullptr, "Vamlink protocol started - now start watch in sync mode\n", 200, 200, 2000};

inline constexpr unsigned AP_RESET_SETTLE_MS = 1500;  // after the reset, and after the link start
inline constexpr unsigned EXIT_SYNC_SETTLE_MS = 1000;

enum class link_result { ok, no_access_point, no_link, interrupted };

// Text to the standard output, then the same to the standard error stream.
void print_both(const char* text);
// The tool's banner: standard output, and standard error too when the
// output is redirected.
void print_banner(const tool_frame& tool, bool output_redirected);
// Opening: find and open the access point, reset it, start the link, prompt,
// then one read of the sync buffer into first_read to take away what waits
// there, and status 1. Prints the frame's message on failure. An interrupt
// during the opening closes what was opened (the watch is told to leave
// sync mode once the link is up) and gives link_result::interrupted.
link_result open_sync_link(const tool_frame& tool, watch_reply& first_read, uint16_t& status);
// Closing, first half: the watch leaves sync mode, the link stops.
void leave_sync_mode();
// Closing, second half: the access point is reset and its port closed.
void close_access_point();

// True once a signal asked the run to end; the tools look between exchanges
// and go to their closing without starting more work.
bool run_interrupted();
