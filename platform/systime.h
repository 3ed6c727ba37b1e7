// SPDX-License-Identifier: MIT
// Calendar and zone records as the watch tools use them, with the portable
// conversions between file time and calendar fields.
#pragma once
#include <cstdint>

// SYSTEMTIME and TIME_ZONE_INFORMATION: the platform's own records where it
// has them (with TIME_ZONE_ID_*), the same layout defined here elsewhere.
#ifdef _WIN32
#include "platform/win32/records.h"
#else
#include "platform/posix/records.h"
#endif

// File time: 100-nanosecond units since 1601-01-01 00:00 UTC.
using file_time = uint64_t;
inline constexpr uint64_t FILE_TIME_PER_MS = 10000;
inline constexpr uint64_t FILE_TIME_PER_SECOND = 10000000;
// File time of 1970-01-01 00:00 UTC.
inline constexpr uint64_t FILE_TIME_UNIX_EPOCH = 116444736000000000ULL;

// File time to calendar fields (with weekday); false beyond year 30827.
bool filetime_to_systime(file_time ft, SYSTEMTIME& st);
// Calendar fields to file time; false when a field is out of range
// (wDayOfWeek is ignored).
bool systime_to_filetime(const SYSTEMTIME& st, file_time& ft);

// Seconds since 1970-01-01 00:00 UTC, to a fraction of a microsecond.
inline double filetime_to_unix_seconds(file_time ft)
{
    return static_cast<double>(static_cast<int64_t>(ft - FILE_TIME_UNIX_EPOCH)) / static_cast<double>(FILE_TIME_PER_SECOND);
}
