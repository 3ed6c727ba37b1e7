// SPDX-License-Identifier: MIT
// The catalogue builder over a zone source of any shape and content (an
// in-memory tree built from the input), then every accessor and the match
// of watch zones against what it built.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/timezones/memory_source.h"
#include "timezones/catalogue_internal.h"
#include "timezones/watch_zones.h"

namespace {

std::string this_year;
std::FILE* null_stream = nullptr;

std::vector<uint8_t> bytes_of(fuzz_input& in, std::size_t max)
{
    const std::string_view t = in.text(in.byte() % max);
    return {t.begin(), t.end()};
}

// The value names the builder asks for, and one it never does.
const char* value_name(fuzz_input& in)
{
    static const char* const names[] = {"TZI", "Display", "Std", "Dlt", "MapID", "", "other"};
    const std::size_t n = in.byte() % 7;
    return n == 5 ? this_year.c_str() : names[n];
}

void build_source(fuzz_input& in)
{
    mem_reset();
    mem_root_fails(in.byte() == 0xFF);
    MemKey* zone = &mem_root();
    for (int op = 0; op < 200 && !in.empty(); ++op) {
        switch (in.byte() % 5) {
        case 0:
            zone = &mem_add_key(mem_root(), in.text(in.byte() % 40));
            break;
        case 1:
            mem_set_bytes(*zone, value_name(in), in.byte() % 9, bytes_of(in, 80));
            break;
        case 2:
            mem_set_text(*zone, value_name(in), in.text(in.byte() % 300), in.byte() % 9);
            break;
        case 3: {
            MemKey& dynamic = mem_add_key(*zone, TZ_DYNAMIC_DST_KEY);
            mem_set_bytes(dynamic, value_name(in), in.byte() % 9, bytes_of(in, 80));
            break;
        }
        case 4: {
            const uint8_t flags = in.byte();
            zone->enum_fails = flags & 1;
            zone->open_fails = flags & 2;
            break;
        }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_quiet_output();
    null_stream = std::fopen("/dev/null", "w");
    SYSTEMTIME today{};
    plat_local_time(today);
    this_year = std::to_string(today.wYear);
    TzSetZoneSource(&mem_source());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    fuzz_input in{data, size};
    const std::size_t name_room = 1 + in.byte() % 64;
    const int match_type = in.byte() % 5;
    build_source(in);

    TzReleaseCatalogue();
    TzBuildCatalogue();
    const int n = TzGetZoneCount();
    FUZZ_CHECK(n >= 0 && n <= TZ_MAX_ZONES);
    std::vector<char> name(name_room);
    std::vector<char16_t> wide(name_room);
    int previous_offset = INT32_MIN;
    for (int i = 0; i < n; ++i) {
        char key[TZ_NAME_SIZE];
        char display[TZ_NAME_SIZE];
        FUZZ_CHECK(TzGetKeyName(i, key) && TzGetDisplayName(i, display));
        FUZZ_CHECK(TzGetKeyName(i, name) && TzGetDisplayName(i, name));
        FUZZ_CHECK(TzGetZoneName(TZ_DAYLIGHT_NAME, i, wide) && TzGetStandardName(i, wide));
        const int offset = TzDisplayOffset(display);
        FUZZ_CHECK(offset >= previous_offset);  // the catalogue's order
        previous_offset = offset;
        const int found = TzFindByKeyName(key);
        FUZZ_CHECK(found >= 0 && found <= i);
        TIME_ZONE_INFORMATION tzi{};
        TzRules rules{};
        FUZZ_CHECK(TzGetZoneInfo(i, tzi) && TzGetZoneRules(i, rules));
        FUZZ_CHECK(TzGetZoneInfoByKey(key, tzi));
        for (int type = 0; type <= 4; ++type) {
            const int row = TzMatchWatchZoneByRules(type, tzi);
            FUZZ_CHECK(row >= TZ_NO_ROW && row < static_cast<int>(TzWatchZoneTable(type).size()));
            const int by_name = TzFindWatchZoneByName(type, key);
            FUZZ_CHECK(by_name >= TZ_NO_ROW && by_name < static_cast<int>(TzWatchZoneTable(type).size()));
        }
    }
    FUZZ_CHECK(!TzGetKeyName(n, name) && !TzGetKeyName(-1, name));
    FUZZ_CHECK(TzPrintZones(null_stream) == (n > 0 ? n : -1) || n == 0);

    char matched[256];
    const int row = TzMatchWatchZone(match_type, matched);
    FUZZ_CHECK(row == TZ_NO_WATCH_ZONE || (row >= 0 && row < static_cast<int>(TzWatchZoneTable(match_type).size())));
    TzReleaseCatalogue();
    return 0;
}
