// SPDX-License-Identifier: MIT
#include "platform/clock.h"

#include "platform/win32/records.h"

file_time plat_utc_now()
{
    FILETIME ft{};
    GetSystemTimeAsFileTime(&ft);
    return (static_cast<file_time>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

void plat_local_time(SYSTEMTIME& st) { GetLocalTime(&st); }

int64_t plat_monotonic_ns()
{
    static const int64_t frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    // Whole seconds and the rest apart, so the product cannot overflow.
    return now.QuadPart / frequency * 1000000000 + now.QuadPart % frequency * 1000000000 / frequency;
}
