// SPDX-License-Identifier: MIT
// The time-zone catalogue: the PC's zones with their names and rules, read
// from the selected zone source (zone_source.h), sorted by the GMT offset of
// their display names. One catalogue per process, built on demand by the
// first accessor that needs it and kept until released or built again.
// Indices run from 0 to TzGetZoneCount() - 1.
#pragma once
#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>

#include "platform/systime.h"
#include "timezones/zone_source.h"

// A zone's rules in the registry's TZI layout (44 bytes, little-endian).
struct TzRules {
    int32_t Bias;          // minutes; UTC = local time + Bias
    int32_t StandardBias;  // added to Bias in standard time
    int32_t DaylightBias;  // added to Bias in daylight time
    SYSTEMTIME StandardDate;  // when standard time begins (wMonth 0: no DST)
    SYSTEMTIME DaylightDate;  // when daylight time begins
};
static_assert(sizeof(TzRules) == 44);

inline constexpr std::size_t TZ_NAME_SIZE = 256;      // key and display name, bytes
inline constexpr std::size_t TZ_WIDE_NAME_UNITS = 128;  // standard and daylight name
// TzGetZoneName's selectors; any value but TZ_DAYLIGHT_NAME gives the standard name.
inline constexpr int TZ_STANDARD_NAME = 0;
inline constexpr int TZ_DAYLIGHT_NAME = 2;
// TzDisplayOffset of a display name without "(GMT": before every other zone.
inline constexpr int TZ_NO_DISPLAY_OFFSET = -6000;
// The catalogue holds at most this many zones.
inline constexpr int TZ_MAX_ZONES = 1000;

// Builds the catalogue afresh from the zone source; false, catalogue empty,
// when the root cannot be opened, no room is had, or no zone came before the
// 100th failure. A source without zones gives true and count 0.
bool TzBuildCatalogue();
// Frees the catalogue; the next accessor builds it again.
void TzReleaseCatalogue();

// Number of zones; 0 when the build fails.
int TzGetZoneCount();
// Index of the first zone whose key name is exactly name (case counts), or -1.
int TzFindByKeyName(std::string_view name);
// Index of the first zone whose standard name is exactly name, or -1.
int TzFindByStandardName(std::u16string_view name);
// Copies zone index's key name into out, cut to fit; false for a bad index.
bool TzGetKeyName(int index, std::span<char> out);
// Copies zone index's display name into out; false for a bad index.
bool TzGetDisplayName(int index, std::span<char> out);
// Copies the daylight name (TZ_DAYLIGHT_NAME) or else the standard name of zone index.
bool TzGetZoneName(int selector, int index, std::span<char16_t> out);
// Copies the standard name of zone index; false for a bad index.
bool TzGetStandardName(int index, std::span<char16_t> out);
// Standard name of the zone with the given key name; false when not found.
bool TzGetStandardNameByKey(std::string_view key_name, std::span<char16_t> out);
// Zone index as a zone record: biases, dates, names cut to 31 units.
bool TzGetZoneInfo(int index, TIME_ZONE_INFORMATION& tzi);
// TzGetZoneInfo of the zone with the given key name; false when not found.
bool TzGetZoneInfoByKey(std::string_view key_name, TIME_ZONE_INFORMATION& tzi);
// The rules of zone index; false for a bad index.
bool TzGetZoneRules(int index, TzRules& rules);
// Writes "key\t\t\t\tdisplay\r" per zone (no line feed); the count, or -1.
int TzPrintZones(std::FILE* stream);

// GMT offset in minutes of a display name "...(GMT+hh:mm)...", 0 for "(GMT)",
// TZ_NO_DISPLAY_OFFSET without "(GMT".
int TzDisplayOffset(std::string_view display_name);
// The rules of a zone record in TZI layout.
TzRules TzRulesOf(const TIME_ZONE_INFORMATION& tzi);
