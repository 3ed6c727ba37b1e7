// SPDX-License-Identifier: MIT
// The PC's current time zone, and the rules of any zone the system knows.
#pragma once
#include <cstdint>
#include "platform/systime.h"

// Fills tzi with the current zone's biases, names and yearly transition
// dates; returns TIME_ZONE_ID_DAYLIGHT while daylight time is in force,
// TIME_ZONE_ID_STANDARD or TIME_ZONE_ID_UNKNOWN (no daylight time) otherwise.
uint32_t plat_get_time_zone_information(TIME_ZONE_INFORMATION& tzi);

// Fills the biases and yearly transition dates of tzi (names untouched) with
// this year's rules of the zone with the given tz database ID; false, tzi
// untouched, for a zone the system does not know.
bool plat_zone_rules(const char* zone_id, TIME_ZONE_INFORMATION& tzi);
