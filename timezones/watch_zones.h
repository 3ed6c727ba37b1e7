// SPDX-License-Identifier: MIT
// The watch's zone tables and the match of the PC's current zone to a row.
// The watch knows its zones by the row index in one of three firmware tables,
// told apart by the zone table type 1, 2 or 3 (30, 43 and 44 rows). A zone is
// found by name first, then through the catalogue (catalogue.h), then by its
// offset and daylight-saving rules.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/systime.h"
#include "timezones/catalogue.h"

struct TzWatchZone {
    char city[5];     // four characters, spaces included, and a 0
    int8_t offset;    // UTC offset of standard time in quarter hours
    int8_t dst_rule;  // rule 0 to 5 or TZ_NO_DST_RULE; always that in type 1
    char key_name[TZ_NAME_SIZE];  // the Windows zone key name, rest zero
};

inline constexpr int8_t TZ_NO_DST_RULE = -2;
// Zone table types: one DST rule for the watch; a DST rule per zone; that and
// the watch takes a zone's DST dates (CMD_WRITE_DST) besides.
inline constexpr int TZ_TABLE_PLAIN = 1;
inline constexpr int TZ_TABLE_ZONE_RULES = 2;
inline constexpr int TZ_TABLE_DST_DATES = 3;
// TzFindWatchZoneByName, TzMatchWatchZoneByRules: no such row.
inline constexpr int TZ_NO_ROW = -1;
// TzMatchWatchZone: no watch zone fits the PC's zone.
inline constexpr int TZ_NO_WATCH_ZONE = -2;

// The rows of table type (1, 2 or 3) in index order; empty for another type.
std::span<const TzWatchZone> TzWatchZoneTable(int type);
// First row of table 1 or 2 whose key name is name, ignoring letter case;
// TZ_NO_ROW, and always so for type 3 or another type.
int TzFindWatchZoneByName(int type, std::string_view name);
// Same Bias, and with full also the other biases and both dates, byte for byte.
bool TzRulesEqual(const TzRules& rules, const TIME_ZONE_INFORMATION& tzi, bool full);
// First row of table type whose catalogue zone has tzi's rules (type 1: Bias
// only; rows not in the catalogue are passed over); TZ_NO_ROW otherwise.
int TzMatchWatchZoneByRules(int type, const TIME_ZONE_INFORMATION& tzi);
// Watch zone index for the PC's current zone, or TZ_NO_WATCH_ZONE. Leaves in
// name the catalogue key name when the catalogue knew the zone's standard
// name, else the standard name itself; name should hold 256 bytes. Rebuilds
// the catalogue when the name alone does not find the row.
int TzMatchWatchZone(int type, std::span<char> name);
// The watch's rule word of a transition date: month + 16 weekday + 256 week
// + 2048 hour; a start at 23:00 is sent as 22:00.
uint16_t TzEncodeDstRule(const SYSTEMTIME& date, bool start);
