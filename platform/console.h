// SPDX-License-Identifier: MIT
// Process setup for timing work: timer resolution, priority, output type.
#pragma once

// Opens /dev/null on each of the descriptors 0 to 2 that is closed, so that
// no device opened later takes the place of a standard stream.
void plat_make_std_streams_valid();
// Smallest timer period the system supports, in ms.
unsigned plat_timer_min_period_ms();
// Makes sleeps of the given period accurate for the rest of the process.
void plat_timer_begin_period(unsigned period_ms);
// Runs the process at the highest scheduling priority it may take; false
// when that is not the real-time priority.
bool plat_raise_priority();
// True when the standard output is not a character device (a file or a pipe).
bool plat_stdout_redirected();
