// SPDX-License-Identifier: MIT
// The PC's clocks.
#pragma once
#include <cstdint>
#include "platform/systime.h"

// Current UTC time as a file time.
file_time plat_utc_now();
// Current local time, with milliseconds.
void plat_local_time(SYSTEMTIME& st);
// Monotonic time in nanoseconds, for deadlines and measurements.
int64_t plat_monotonic_ns();
