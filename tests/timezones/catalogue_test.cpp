// SPDX-License-Identifier: MIT
// The catalogue builder and its accessors over the in-memory zone source.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "platform/clock.h"
#include "platform/text.h"
#include "tests/timezones/memory_fixture.h"
#include "tests/timezones/memory_source.h"
#include "tests/timezones/tz_env.h"
#include "timezones/catalogue_internal.h"

namespace {

const TzRules PACIFIC{480, 0, -60, yearly(11, 0, 1, 2), yearly(3, 0, 2, 2)};
const TzRules INDIA = rules_without_dst(-330);

class Catalogue : public MemorySourceTest {
protected:
    static std::string key_name(int index)
    {
        char out[TZ_NAME_SIZE] = "untouched";
        EXPECT_TRUE(TzGetKeyName(index, out));
        return out;
    }
    static std::string display_name(int index)
    {
        char out[TZ_NAME_SIZE] = "untouched";
        EXPECT_TRUE(TzGetDisplayName(index, out));
        return out;
    }
    static std::u16string zone_name(int selector, int index)
    {
        char16_t out[TZ_WIDE_NAME_UNITS] = u"untouched";
        EXPECT_TRUE(TzGetZoneName(selector, index, out));
        return out;
    }
    // What TzPrintZones writes, and what the accessors say it should.
    static std::pair<std::string, std::string> printed_and_expected()
    {
        std::FILE* stream = std::tmpfile();
        EXPECT_NE(stream, nullptr);
        const int n = TzPrintZones(stream);
        std::string printed;
        std::rewind(stream);
        for (int c; (c = std::fgetc(stream)) != EOF;)
            printed += static_cast<char>(c);
        std::fclose(stream);
        std::string expected;
        for (int i = 0; i < n; ++i)
            expected += key_name(i) + "\t\t\t\t" + display_name(i) + "\r";
        return {printed, expected};
    }
    static std::string current_year()
    {
        SYSTEMTIME today{};
        plat_local_time(today);
        return std::to_string(today.wYear);
    }
};

TEST_F(Catalogue, MissingNamesFallBackToTheKeyNameAndBias)
{
    struct Case {
        int32_t bias;
        const char* key;
        const char* display;
    };
    const Case cases[] = {
        {480, "Pacific Standard Time", "(GMT-08:00) Pacific Standard Time"},
        {-330, "India Standard Time", "(GMT+05:30) India Standard Time"},
        {0, "UTC", "(GMT+00:00) UTC"},
        {-345, "Nepal Standard Time", "(GMT+05:45) Nepal Standard Time"},
        {210, "Newfoundland Standard Time", "(GMT-03:30) Newfoundland Standard Time"},
        // Less than an hour west of GMT keeps its minus sign.
        {30, "Half West", "(GMT-00:30) Half West"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        mem_reset();
        mem_add_zone(c.key, rules_without_dst(c.bias));
        ASSERT_TRUE(TzBuildCatalogue());
        ASSERT_EQ(TzGetZoneCount(), 1);
        EXPECT_EQ(display_name(0), c.display);
        std::u16string key16(std::strlen(c.key), u'\0');
        for (std::size_t i = 0; i < key16.size(); ++i)
            key16[i] = static_cast<char16_t>(c.key[i]);
        EXPECT_EQ(zone_name(1, 0), key16);
        EXPECT_EQ(zone_name(TZ_DAYLIGHT_NAME, 0), key16);
    }
}

TEST_F(Catalogue, ValuesThatArePresentAreTaken)
{
    MemKey& zone = mem_add_zone("Pacific Standard Time", PACIFIC);
    mem_set_text(zone, "Std", u"Pacifique (heure normale)");
    mem_set_text(zone, "Dlt", u"Pacifique (heure d\u00E9t\u00E9)");
    mem_set_text(zone, "MapID", "8,9");
    mem_set_text(zone, "Display", "(GMT-08:00) Pacific Time (US & Canada)");
    ASSERT_EQ(TzGetZoneCount(), 1);

    EXPECT_EQ(zone_name(TZ_STANDARD_NAME, 0), u"Pacifique (heure normale)");
    EXPECT_EQ(zone_name(TZ_DAYLIGHT_NAME, 0), u"Pacifique (heure d\u00E9t\u00E9)");
    EXPECT_EQ(display_name(0), "(GMT-08:00) Pacific Time (US & Canada)");
    TIME_ZONE_INFORMATION tzi{};
    ASSERT_TRUE(TzGetZoneInfoByKey("Pacific Standard Time", tzi));
    EXPECT_EQ(tzi.Bias, 480);
    EXPECT_EQ(tzi.DaylightBias, -60);
    EXPECT_EQ(tzi.StandardDate.wMonth, 11);
    EXPECT_EQ(tzi.DaylightDate.wDay, 2);
    EXPECT_EQ(zone_standard_name(tzi), u"Pacifique (heure normale)");
    EXPECT_EQ(TzFindByStandardName(u"Pacifique (heure normale)"), 0);
}

TEST_F(Catalogue, LongValuesAreCutOrFallBack)
{
    MemKey& zone = mem_add_zone("Long", INDIA);
    mem_set_text(zone, "Display", std::string(300, 'd'));
    mem_set_text(zone, "MapID", std::string(100, 'm'), TZ_REG_EXPAND_SZ);
    // 200 units do not fit the 256-byte field: the key name stands in.
    mem_set_text(zone, "Std", std::string(200, 's'));
    // Not a text: the key name stands in.
    mem_set_bytes(zone, "Dlt", TZ_REG_DWORD, {1, 0, 0, 0});
    ASSERT_EQ(TzGetZoneCount(), 1);

    EXPECT_EQ(display_name(0), std::string(255, 'd'));
    EXPECT_EQ(zone_name(TZ_STANDARD_NAME, 0), u"Long");
    EXPECT_EQ(zone_name(TZ_DAYLIGHT_NAME, 0), u"Long");
}

TEST_F(Catalogue, ZoneInfoCutsNamesToTheRecord)
{
    MemKey& zone = mem_add_zone("Wide", PACIFIC);
    mem_set_text(zone, "Std", std::string(100, 'x'));
    ASSERT_EQ(TzGetZoneCount(), 1);
    TIME_ZONE_INFORMATION tzi{};
    ASSERT_TRUE(TzGetZoneInfo(0, tzi));
    EXPECT_EQ(zone_standard_name(tzi), std::u16string(31, u'x'));
    EXPECT_EQ(zone_daylight_name(tzi), u"Wide");
    EXPECT_EQ(std::memcmp(&tzi.StandardDate, &PACIFIC.StandardDate, sizeof(SYSTEMTIME)), 0);
    EXPECT_EQ(std::memcmp(&tzi.DaylightDate, &PACIFIC.DaylightDate, sizeof(SYSTEMTIME)), 0);
}

// Each case spoils one zone between two good ones; the spoiled one is left
// out or kept as the case says, and every key opened is closed again.
TEST_F(Catalogue, ValueFaultsLeaveTheZoneOutOrAreTaken)
{
    struct Case {
        const char* what;
        std::function<void(MemKey&)> spoil;
        bool kept;
    };
    const std::string year = current_year();
    const Case cases[] = {
        {"subkey cannot be opened", [](MemKey& z) { z.open_fails = true; }, false},
        {"subkey name cannot be read", [](MemKey& z) { z.enum_fails = true; }, false},
        {"no TZI, no Dynamic DST", [](MemKey& z) { z.values.clear(); }, false},
        {"no TZI, Dynamic DST cannot be opened",
         [](MemKey& z) {
             z.values.clear();
             mem_add_key(z, TZ_DYNAMIC_DST_KEY).open_fails = true;
         },
         false},
        {"no TZI, Dynamic DST without this year",
         [](MemKey& z) {
             z.values.clear();
             mem_set_rules(mem_add_key(z, TZ_DYNAMIC_DST_KEY), "1999", INDIA);
         },
         false},
        {"TZI longer than 44 bytes",
         [](MemKey& z) { mem_set_bytes(z, "TZI", TZ_REG_BINARY, std::vector<uint8_t>(45)); },
         false},
        {"this year's rules longer than 44 bytes",
         [&year](MemKey& z) {
             z.values.clear();
             mem_set_bytes(mem_add_key(z, TZ_DYNAMIC_DST_KEY), year, TZ_REG_BINARY,
                           std::vector<uint8_t>(48));
         },
         false},
        {"Display not a text and longer than 256 bytes",
         [](MemKey& z) {
             mem_set_bytes(z, "Display", TZ_REG_BINARY, std::vector<uint8_t>(257, 'b'));
         },
         false},
        {"Display not a text, 256 bytes, no terminator",
         [](MemKey& z) {
             mem_set_bytes(z, "Display", TZ_REG_BINARY, std::vector<uint8_t>(256, 'b'));
         },
         true},
        // A value of no bytes at all reaches the source's copy with nothing to copy.
        {"Display a text of no bytes", [](MemKey& z) { mem_set_bytes(z, "Display", TZ_REG_SZ, {}); }, true},
        {"TZI shorter than 44 bytes", [](MemKey& z) {
             mem_set_bytes(z, "TZI", TZ_REG_BINARY, {0xB6, 0xFE, 0xFF, 0xFF});
         },
         true},
        {"TZI too large for the read buffer, this year's rules in Dynamic DST",
         [&year](MemKey& z) {
             mem_set_bytes(z, "TZI", TZ_REG_BINARY, std::vector<uint8_t>(16001));
             mem_set_rules(mem_add_key(z, TZ_DYNAMIC_DST_KEY), year, INDIA);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        mem_reset();
        mem_add_zone("Good A", INDIA);
        c.spoil(mem_add_zone("Spoiled", INDIA));
        mem_add_zone("Good B", INDIA);
        ASSERT_TRUE(TzBuildCatalogue());
        EXPECT_EQ(TzGetZoneCount(), c.kept ? 3 : 2);
        EXPECT_EQ(TzFindByKeyName("Spoiled") >= 0, c.kept);
        EXPECT_GE(TzFindByKeyName("Good B"), 0);
        EXPECT_EQ(mem_stats().opens, mem_stats().closes);
        const auto [printed, expected] = printed_and_expected();
        EXPECT_EQ(printed, expected);
        const int i = TzFindByKeyName("Spoiled");
        if (i >= 0) {
            TzRules rules{};
            ASSERT_TRUE(TzGetZoneRules(i, rules));
            EXPECT_EQ(rules.Bias, -330);
            EXPECT_EQ(rules.DaylightBias, 0);
            EXPECT_LT(display_name(i).size(), TZ_NAME_SIZE);
        }
    }
}

TEST_F(Catalogue, DynamicDstGivesTheCurrentYearsRules)
{
    MemKey& zone = mem_add_key(mem_root(), "Dynamic");
    MemKey& dynamic = mem_add_key(zone, TZ_DYNAMIC_DST_KEY);
    mem_set_rules(dynamic, "2011", rules_without_dst(111));
    mem_set_rules(dynamic, current_year(), PACIFIC);
    mem_set_rules(dynamic, "2099", rules_without_dst(999));
    TzRules rules{};
    ASSERT_TRUE(TzGetZoneRules(0, rules));
    EXPECT_EQ(std::memcmp(&rules, &PACIFIC, sizeof rules), 0);
    EXPECT_EQ(display_name(0), "(GMT-08:00) Dynamic");
}

TEST_F(Catalogue, TheHundredthFailureEndsTheWalk)
{
    struct Case {
        int good_before, failing, good_after;
        bool built;
        int count;
    };
    const Case cases[] = {
        {1, 100, 1, true, 1},   // the zone after the 100th failure is never read
        {1, 99, 1, true, 2},
        {0, 100, 1, false, 0},  // nothing stored: the build fails
        {0, 99, 1, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.good_before << " + " << c.failing << " failing");
        mem_reset();
        int n = 0;
        for (int i = 0; i < c.good_before; ++i)
            mem_add_zone("Good " + std::to_string(n++), INDIA);
        for (int i = 0; i < c.failing; ++i)
            mem_add_key(mem_root(), "Bad " + std::to_string(n++)).open_fails = i % 2 == 0;
        for (int i = 0; i < c.good_after; ++i)
            mem_add_zone("Good " + std::to_string(n++), INDIA);
        EXPECT_EQ(TzBuildCatalogue(), c.built);
        EXPECT_EQ(TzGetZoneCount(), c.count);
        EXPECT_EQ(mem_stats().opens, mem_stats().closes);
    }
}

TEST_F(Catalogue, AtMostAThousandZonesAndNoSubkeyReadBeyond)
{
    for (int i = 0; i < 1005; ++i)
        mem_add_zone("Zone " + std::to_string(i), INDIA);
    ASSERT_TRUE(TzBuildCatalogue());
    EXPECT_EQ(TzGetZoneCount(), TZ_MAX_ZONES);
    EXPECT_EQ(mem_stats().highest_enum_index, TZ_MAX_ZONES - 1);
    EXPECT_GE(TzFindByKeyName("Zone 999"), 0);
    EXPECT_EQ(TzFindByKeyName("Zone 1000"), -1);
}

TEST_F(Catalogue, ARootThatCannotBeOpenedFailsEveryAccessor)
{
    mem_add_zone("India Standard Time", INDIA);
    mem_root_fails(true);
    char key[TZ_NAME_SIZE] = "untouched";
    char16_t name[TZ_WIDE_NAME_UNITS] = u"untouched";
    TIME_ZONE_INFORMATION tzi{};
    tzi.Bias = 12345;
    EXPECT_FALSE(TzBuildCatalogue());
    EXPECT_EQ(TzGetZoneCount(), 0);
    EXPECT_EQ(TzFindByKeyName("India Standard Time"), -1);
    EXPECT_EQ(TzFindByStandardName(u"India Standard Time"), -1);
    EXPECT_FALSE(TzGetKeyName(0, key));
    EXPECT_FALSE(TzGetStandardNameByKey("India Standard Time", name));
    EXPECT_FALSE(TzGetZoneInfo(0, tzi));
    EXPECT_EQ(TzPrintZones(stdout), -1);
    EXPECT_STREQ(key, "untouched");
    EXPECT_EQ(std::u16string(name), u"untouched");
    EXPECT_EQ(tzi.Bias, 12345);
}

TEST_F(Catalogue, AnEmptyRootBuildsAndIsBuiltAgainByTheNextAccessor)
{
    EXPECT_TRUE(TzBuildCatalogue());
    EXPECT_EQ(mem_stats().opens, 1);
    EXPECT_EQ(TzGetZoneCount(), 0);
    EXPECT_EQ(TzPrintZones(stdout), 0);
    EXPECT_EQ(mem_stats().opens, 3);
    mem_add_zone("India Standard Time", INDIA);
    EXPECT_EQ(TzFindByKeyName("India Standard Time"), 0);
}

TEST_F(Catalogue, ReleaseEmptiesAndTheNextAccessorRebuilds)
{
    mem_add_zone("India Standard Time", INDIA);
    ASSERT_EQ(TzGetZoneCount(), 1);
    mem_add_zone("Nepal Standard Time", rules_without_dst(-345));
    EXPECT_EQ(TzGetZoneCount(), 1);
    TzReleaseCatalogue();
    EXPECT_EQ(TzGetZoneCount(), 2);
}

TEST_F(Catalogue, ZonesAreSortedByTheOffsetOfTheirDisplayNames)
{
    const std::pair<const char*, const char*> zones[] = {
        {"Nepal", "(GMT+05:45) Kathmandu"},   {"Brussels", "(UTC+01:00) Brussels"},
        {"Newfoundland", "(GMT-03:30) St. John's"}, {"Greenwich", "(GMT) Greenwich Mean Time"},
        {"Paris", "(GMT+01:00) Paris"},       {"Samoa", "(GMT-11:00) Samoa"},
    };
    for (const auto& [key, display] : zones)
        mem_set_text(mem_add_zone(key, INDIA), "Display", display);
    ASSERT_EQ(TzGetZoneCount(), 6);
    const char* expected[] = {"Brussels", "Samoa", "Newfoundland", "Greenwich", "Paris", "Nepal"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(key_name(i), expected[i]) << "at " << i;
}

TEST_F(Catalogue, DisplayOffset)
{
    const std::pair<const char*, int> cases[] = {
        {"(GMT-03:30) Newfoundland", -210},
        {"(GMT+05:45) Kathmandu", 345},
        {"(GMT) Greenwich Mean Time", 0},
        {"(UTC+01:00) Brussels", TZ_NO_DISPLAY_OFFSET},
        {"", TZ_NO_DISPLAY_OFFSET},
        {"Zone (GMT+02:00)", 120},  // the first "(GMT" anywhere
        {"(GMT-8:00)", -480 - 0},   // hours stop at the colon; minutes from "00)"
        {"(GMT+5", 300},            // ends early: nothing read past its end
        {"(GMT", 0},
        {"(GMT+99999999999999:00)", 100000 * 60 + 100000},  // no overflow
    };
    for (const auto& [display, minutes] : cases)
        EXPECT_EQ(TzDisplayOffset(display), minutes) << display;
}

TEST_F(Catalogue, KeyLookupIsExactAndCaseSensitive)
{
    mem_add_zone("India Standard Time", INDIA);
    mem_add_zone("Pacific Standard Time", PACIFIC);
    ASSERT_EQ(TzGetZoneCount(), 2);
    const int pacific = TzFindByKeyName("Pacific Standard Time");
    EXPECT_EQ(key_name(pacific), "Pacific Standard Time");
    EXPECT_EQ(TzFindByKeyName("pacific standard time"), -1);
    EXPECT_EQ(TzFindByKeyName("Pacific Standard"), -1);
    TIME_ZONE_INFORMATION tzi{};
    char16_t name[TZ_WIDE_NAME_UNITS] = u"";
    EXPECT_FALSE(TzGetZoneInfoByKey("pacific standard time", tzi));
    EXPECT_FALSE(TzGetStandardNameByKey("pacific standard time", name));
    EXPECT_TRUE(TzGetStandardNameByKey("Pacific Standard Time", name));
    EXPECT_EQ(std::u16string(name), u"Pacific Standard Time");
}

TEST_F(Catalogue, ZoneNameSelectorTwoIsTheDaylightName)
{
    MemKey& zone = mem_add_zone("Pacific Standard Time", PACIFIC);
    mem_set_text(zone, "Std", "Pacific Standard Time");
    mem_set_text(zone, "Dlt", "Pacific Daylight Time");
    for (int selector : {-1, 0, 1, 3, 255})
        EXPECT_EQ(zone_name(selector, 0), u"Pacific Standard Time") << selector;
    EXPECT_EQ(zone_name(TZ_DAYLIGHT_NAME, 0), u"Pacific Daylight Time");
}

TEST_F(Catalogue, AnIndexOutsideTheCatalogueCopiesNothing)
{
    mem_add_zone("India Standard Time", INDIA);
    for (int index : {-1, 1, 1000}) {
        char text[TZ_NAME_SIZE] = "untouched";
        char16_t name[TZ_WIDE_NAME_UNITS] = u"untouched";
        TzRules rules{7, 7, 7, {}, {}};
        EXPECT_FALSE(TzGetKeyName(index, text));
        EXPECT_FALSE(TzGetDisplayName(index, text));
        EXPECT_FALSE(TzGetZoneName(TZ_DAYLIGHT_NAME, index, name));
        EXPECT_FALSE(TzGetStandardName(index, name));
        EXPECT_FALSE(TzGetZoneRules(index, rules));
        EXPECT_STREQ(text, "untouched");
        EXPECT_EQ(std::u16string(name), u"untouched");
        EXPECT_EQ(rules.Bias, 7);
    }
}

TEST_F(Catalogue, PrintZonesEndsLinesWithACarriageReturnOnly)
{
    mem_add_zone("Pacific Standard Time", PACIFIC);
    mem_set_text(mem_add_zone("India Standard Time", INDIA), "Display", "(GMT+05:30) Chennai");
    EXPECT_EQ(printed_and_expected().first,
              "Pacific Standard Time\t\t\t\t(GMT-08:00) Pacific Standard Time\r"
              "India Standard Time\t\t\t\t(GMT+05:30) Chennai\r");
}

TEST_F(Catalogue, ReadValueCutsTextsAndReportsTheSizeOfOthers)
{
    struct Case {
        const char* what;
        uint32_t type;
        std::vector<uint8_t> stored;
        uint32_t capacity;
        std::vector<uint8_t> copied;
        uint32_t size;
    };
    const Case cases[] = {
        {"text that fits", TZ_REG_SZ, {'a', 'b', 0}, 8, {'a', 'b', 0}, 3},
        {"text cut", TZ_REG_SZ, {'a', 'b', 'c', 'd', 'e', 0}, 4, {'a', 'b', 'c', 0}, 4},
        {"expandable text cut", TZ_REG_EXPAND_SZ, {'a', 'b', 'c', 0}, 2, {'a', 0}, 2},
        {"text list cut", TZ_REG_MULTI_SZ, {'a', 'b', 0, 'c', 'd', 0, 0}, 5, {'a', 'b', 0, 0, 0}, 5},
        {"bytes that fit exactly", TZ_REG_BINARY, {1, 2, 3, 4}, 4, {1, 2, 3, 4}, 4},
        {"bytes too long", TZ_REG_BINARY, {1, 2, 3, 4, 5, 6}, 4, {1, 2, 3, 4}, 6},
        {"a number too long", TZ_REG_DWORD, {1, 2, 3, 4}, 2, {1, 2}, 4},
    };
    MemKey& key = mem_add_key(mem_root(), "Values");
    TzKey root = 0, zone = 0;
    ASSERT_EQ(mem_source().open_root(&root), TZ_ERROR_SUCCESS);
    ASSERT_EQ(mem_source().open_key(root, "Values", &zone), TZ_ERROR_SUCCESS);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        mem_set_bytes(key, "v", c.type, c.stored);
        uint8_t dest[16];
        std::memset(dest, 0xEE, sizeof dest);
        uint32_t type = 0, size = c.capacity;
        ASSERT_EQ(TzReadValue(zone, "v", &type, dest, &size), TZ_ERROR_SUCCESS);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(size, c.size);
        EXPECT_EQ(std::vector<uint8_t>(dest, dest + c.copied.size()), c.copied);
        EXPECT_EQ(dest[c.copied.size()], 0xEE) << "written beyond the capacity";
    }

    uint8_t dest[4] = {9, 9, 9, 9};
    uint32_t type = 0, size = sizeof dest;
    mem_set_bytes(key, "big", TZ_REG_BINARY, std::vector<uint8_t>(TZ_READ_BUFFER_SIZE + 1));
    EXPECT_EQ(TzReadValue(zone, "big", &type, dest, &size), TZ_ERROR_MORE_DATA);
    EXPECT_EQ(TzReadValue(zone, "missing", &type, dest, &size), TZ_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(size, sizeof dest);
    EXPECT_EQ(dest[0], 9);
    mem_source().close_key(zone);
    mem_source().close_key(root);
}

}  // namespace
