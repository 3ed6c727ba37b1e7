// Process setup for timing work: timer resolution, priority, output type.
#pragma once

// Smallest timer period the system supports, in ms.
unsigned plat_timer_min_period_ms();
// Makes sleeps of the given period accurate for the rest of the process.
void plat_timer_begin_period(unsigned period_ms);
// Runs the process at the highest scheduling priority it may take; false
// when that is not the real-time priority.
bool plat_raise_priority();
// True when the standard output is not a character device (a file or a pipe).
bool plat_stdout_redirected();
