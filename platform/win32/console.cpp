// SPDX-License-Identifier: MIT
#include "platform/console.h"

#include "platform/win32/records.h"

#include <mmsystem.h>

// A handle opened later never takes the place of a standard stream here, as a
// descriptor can on POSIX; a closed one stays closed and its writes fail.
void plat_make_std_streams_valid() {}

unsigned plat_timer_min_period_ms()
{
    TIMECAPS caps{};
    // On failure the zero minimum leaves the requested 1 ms as it is.
    timeGetDevCaps(&caps, sizeof caps);
    return caps.wPeriodMin;
}

// Never ended: the period holds until the process exits.
void plat_timer_begin_period(unsigned period_ms) { timeBeginPeriod(period_ms); }

// Time-critical is the top of the thread priorities a normal process may
// take; that is what the timing needs here.
bool plat_raise_priority() { return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != 0; }

bool plat_stdout_redirected()
{
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    // No handle is no redirection; a file, a pipe or an unknown type is one.
    return out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_CHAR;
}
