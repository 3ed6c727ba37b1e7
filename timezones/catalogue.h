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
inline constexpr std::size_t TZ_MAP_ID_SIZE = 64;

struct TzZoneRecord {
    char key_name[TZ_NAME_SIZE];
    char display_name[TZ_NAME_SIZE];
    char16_t standard_name[TZ_WIDE_NAME_UNITS];
    char16_t daylight_name[TZ_WIDE_NAME_UNITS];
    char map_id[TZ_MAP_ID_SIZE];
    TzRules rules;
};

struct TzCatalogue {
    TzZoneRecord* zones;  // count records in catalogue order
    int count;            // 0: not built
};

inline constexpr int TZ_INITIAL_ROOM = 100;  // records reserved at the start
inline constexpr int TZ_ROOM_STEP = 10;      // records added when full
inline constexpr int TZ_MAX_ZONES = 1000;
inline constexpr int TZ_MAX_FAILURES = 100;  // the walk ends at this failure
inline constexpr std::size_t TZ_READ_BUFFER_SIZE = 16000;
// Offset of a display name without "(GMT": before every other zone.
inline constexpr int TZ_NO_DISPLAY_OFFSET = -6000;
// Display name of a zone without "Display": sign, hours and minutes east of
// GMT from Bias, then the key name.
inline constexpr char TZ_DISPLAY_FORMAT[] = "(GMT%c%2.2d:%2.2d) %s";
inline constexpr char TZ_DYNAMIC_DST_KEY[] = "Dynamic DST";

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
// Copies the daylight name (selector 2) or else the standard name of zone index.
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
// Reads value name of key through the 16000-byte scratch buffer into dest of
// capacity *size. A text value too long is cut to *size - 1 bytes and
// terminated; any other value too long fills dest and reports its true size
// in *size. Source errors come back unchanged with *size untouched.
long TzReadValue(TzKey key, const char* name, uint32_t* type, void* dest, uint32_t* size);

// The rules of a zone record in TZI layout.
TzRules TzRulesOf(const TIME_ZONE_INFORMATION& tzi);
