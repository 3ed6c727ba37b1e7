// SPDX-License-Identifier: MIT
// Test support: zone rules built by hand, and TZ set for one scope.
#pragma once
#include "platform/systime.h"
#include "platform/timezone.h"
#include "tests/support/scoped_tz.h"
#include "timezones/catalogue.h"

// A yearly transition date: month, weekday (0 Sunday), week (5 the last), time.
inline SYSTEMTIME yearly(uint16_t month, uint16_t weekday, uint16_t week, uint16_t hour,
                         uint16_t minute = 0)
{
    return SYSTEMTIME{0, month, weekday, week, hour, minute, 0, 0};
}

inline TzRules rules_without_dst(int32_t bias) { return TzRules{bias, 0, 0, {}, {}}; }

// This year's rules of a tz database zone, from the platform.
inline TzRules rules_of(const char* zone_id)
{
    TIME_ZONE_INFORMATION tzi{};
    plat_zone_rules(zone_id, tzi);
    return TzRulesOf(tzi);
}
