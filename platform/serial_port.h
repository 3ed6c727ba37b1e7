// SPDX-License-Identifier: MIT
// Serial device I/O with bounded waits. A handle names one open device.
#pragma once
#include <cstdint>

#ifdef _WIN32
// The device with its two completion records (one per direction).
struct plat_serial_port;
using plat_serial = plat_serial_port*;
inline constexpr plat_serial PLAT_SERIAL_NONE = nullptr;
#else
using plat_serial = int;
inline constexpr plat_serial PLAT_SERIAL_NONE = -1;
#endif

// Opens the device for this process alone (a lock that ends with the process), raw 8N1 at 115200 baud without flow control,
// DTR and RTS raised; PLAT_SERIAL_NONE when missing, busy or not a port.
plat_serial plat_serial_open(const char* path);
// Why the last plat_serial_open failed, so a user can be told what to do.
enum class plat_open_error { none, missing, permission, busy, other };
plat_open_error plat_serial_open_error();
// Writes n bytes within timeout_ms; true only when all n went out.
bool plat_serial_write(plat_serial h, const uint8_t* data, int n, int timeout_ms);
// Reads until n bytes arrived, timeout_ms passed or the device hung up;
// returns the count received (0 on a closed handle).
int plat_serial_read(plat_serial h, uint8_t* buf, int n, int timeout_ms);
// Drops what was received; output still queued is given a bounded time to
// go out and dropped only when the device does not take it.
void plat_serial_purge(plat_serial h);
// Drops DTR, flushes, releases the device.
void plat_serial_close(plat_serial h);
