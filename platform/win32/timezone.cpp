// SPDX-License-Identifier: MIT
#include "platform/timezone.h"

uint32_t plat_get_time_zone_information(TIME_ZONE_INFORMATION& tzi)
{
    return GetTimeZoneInformation(&tzi);
}

// Windows knows its zones by its own names, not by tz database IDs.
bool plat_zone_rules(const char*, TIME_ZONE_INFORMATION&) { return false; }
