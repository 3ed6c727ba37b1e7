// SPDX-License-Identifier: MIT
// The catalogue builder's own pieces, for the catalogue and its tests: the
// record it keeps per zone, how it grows, and how it reads a value.
#pragma once
#include <cstddef>
#include <cstdint>

#include "timezones/catalogue.h"

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
inline constexpr int TZ_MAX_FAILURES = 100;  // the walk ends at this failure
inline constexpr std::size_t TZ_READ_BUFFER_SIZE = 16000;
// Display name of a zone without "Display": sign, hours and minutes east of
// GMT from Bias, then the key name.
inline constexpr char TZ_DISPLAY_FORMAT[] = "(GMT%c%2.2d:%2.2d) %s";
inline constexpr char TZ_DYNAMIC_DST_KEY[] = "Dynamic DST";

// Reads value name of key through the 16000-byte scratch buffer into dest of
// capacity *size. A text value too long is cut to *size - 1 bytes and
// terminated; any other value too long fills dest and reports its true size
// in *size. Source errors come back unchanged with *size untouched.
long TzReadValue(TzKey key, const char* name, uint32_t* type, void* dest, uint32_t* size);
