// SPDX-License-Identifier: MIT
// The calendar and zone records, laid out as Windows has them.
#pragma once
#include <cstdint>

// A point in time as eight calendar fields (or, in a zone's transition date
// with wYear 0, a yearly rule: month, weekday, week 1..5 with 5 the last).
struct SYSTEMTIME {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;  // 0 is Sunday
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};
static_assert(sizeof(SYSTEMTIME) == 16);

// One zone: UTC = local time + Bias (+ StandardBias or DaylightBias), minutes.
struct TIME_ZONE_INFORMATION {
    int32_t Bias;
    char16_t StandardName[32];
    SYSTEMTIME StandardDate;
    int32_t StandardBias;
    char16_t DaylightName[32];
    SYSTEMTIME DaylightDate;
    int32_t DaylightBias;
};

// What the current-zone query says is in force.
inline constexpr uint32_t TIME_ZONE_ID_UNKNOWN = 0;
inline constexpr uint32_t TIME_ZONE_ID_STANDARD = 1;
inline constexpr uint32_t TIME_ZONE_ID_DAYLIGHT = 2;
inline constexpr uint32_t TIME_ZONE_ID_INVALID = 0xFFFFFFFF;
