// SPDX-License-Identifier: MIT
// The watch zone tables, the rule word, and the match of the PC's zone
// (set through TZ) against catalogues of the in-memory source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/timezones/memory_fixture.h"
#include "tests/timezones/memory_source.h"
#include "tests/timezones/tz_env.h"
#include "timezones/catalogue.h"
#include "timezones/watch_zones.h"

namespace {

TEST(WatchZoneTables, HoldTheRowsOfEachType)
{
    EXPECT_EQ(TzWatchZoneTable(1).size(), 30u);
    EXPECT_EQ(TzWatchZoneTable(2).size(), 43u);
    EXPECT_EQ(TzWatchZoneTable(3).size(), 44u);
    EXPECT_TRUE(TzWatchZoneTable(0).empty());
    EXPECT_TRUE(TzWatchZoneTable(4).empty());

    struct Row {
        int type, index;
        const char* city;
        int offset, dst_rule;
        const char* key;
    };
    const Row rows[] = {
        {1, 0, "PAGO", -44, TZ_NO_DST_RULE, "Samoa Standard Time"},
        {1, 3, "L A ", -32, TZ_NO_DST_RULE, "Pacific Standard Time"},
        {1, 9, "BRAZ", -12, TZ_NO_DST_RULE, "E. South America Standard Time"},
        {1, 26, "ADEL", 38, TZ_NO_DST_RULE, "Cen. Australia Standard Time"},
        {1, 29, "WELG", 48, TZ_NO_DST_RULE, "New Zealand Standard Time"},
        {2, 3, "UT-9", -36, TZ_NO_DST_RULE, "(GMT-09)"},
        {2, 4, "L A ", -32, 3, "Pacific Standard Time"},
        {2, 10, " NYC", -20, 3, "Eastern Standard Time"},
        {2, 15, "BRAZ", -12, TZ_NO_DST_RULE, "E. South America Standard Time"},
        {2, 16, "UT-2", -8, TZ_NO_DST_RULE, "(GMT-02)"},
        {2, 31, "NEPL", 23, TZ_NO_DST_RULE, "Nepal Standard Time"},
        {2, 42, "WELG", 48, TZ_NO_DST_RULE, "New Zealand Standard Time"},
        {3, 15, "UT-3", -12, TZ_NO_DST_RULE, "(GMT-03)"},
        {3, 16, "RIOJ", -12, 5, "E. South America Standard Time"},
        {3, 20, "LOND", 0, 0, "GMT Standard Time"},
        {3, 21, "PARI", 4, 1, "Romance Standard Time"},
        {3, 23, "ATHN", 8, 2, "GTB Standard Time"},
        {3, 38, "ADEL", 38, 4, "Cen. Australia Standard Time"},
        {3, 43, "WELG", 48, TZ_NO_DST_RULE, "New Zealand Standard Time"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "type " << r.type << " row " << r.index);
        const TzWatchZone& z = TzWatchZoneTable(r.type)[static_cast<std::size_t>(r.index)];
        EXPECT_STREQ(z.city, r.city);
        EXPECT_EQ(z.offset, r.offset);
        EXPECT_EQ(z.dst_rule, r.dst_rule);
        EXPECT_STREQ(z.key_name, r.key);
        const std::size_t used = std::strlen(z.key_name);
        EXPECT_TRUE(std::all_of(z.key_name + used, z.key_name + TZ_NAME_SIZE,
                                [](char c) { return c == '\0'; }));
    }
}

TEST(WatchZoneTables, FindByNameIgnoresCaseAndOnlyServesTypesOneAndTwo)
{
    struct Case {
        int type;
        const char* name;
        int row;
    };
    const Case cases[] = {
        {1, "Pacific Standard Time", 3},
        {2, "Pacific Standard Time", 4},
        {1, "PACIFIC STANDARD TIME", 3},
        {2, "pacific standard time", 4},
        {3, "Pacific Standard Time", TZ_NO_ROW},
        {0, "Pacific Standard Time", TZ_NO_ROW},
        {1, "Pacific Standard", TZ_NO_ROW},
        {2, "Pacific Standard Time (Mexico)", TZ_NO_ROW},
        {1, "(GMT-09)", TZ_NO_ROW},
        {2, "(GMT-09)", 3},
        {1, "E. South America Standard Time", 9},
        {2, "E. South America Standard Time", 15},
        {1, "E. Australia Standard Time", TZ_NO_ROW},
        {2, "E. Australia Standard Time", 40},
        {2, "", TZ_NO_ROW},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TzFindWatchZoneByName(c.type, c.name), c.row)
            << "type " << c.type << " " << c.name;
}

TEST(WatchZoneRules, EncodesMonthWeekdayWeekAndHour)
{
    struct Case {
        SYSTEMTIME date;
        bool start;
        uint16_t word;
    };
    const Case cases[] = {
        {yearly(3, 0, 5, 2), true, 5379},    // last Sunday of March 02:00
        {yearly(10, 0, 5, 3), false, 7434},  // last Sunday of October 03:00
        {yearly(3, 0, 2, 2), true, 4611},    // second Sunday of March 02:00
        {yearly(11, 0, 1, 2), false, 4363},  // first Sunday of November 02:00
        {yearly(3, 6, 5, 23), true, 3 + 16 * 6 + 256 * 5 + 2048 * 22},
        {yearly(3, 6, 5, 23), false, 3 + 16 * 6 + 256 * 5 + 2048 * 23},
        {yearly(4, 0, 1, 3, 45), false, 4 + 256 + 2048 * 3},  // minutes are not carried
        {SYSTEMTIME{2026, 3, 0, 29, 2, 0, 0, 0}, true, 3 + 256 * 29 + 2048 * 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TzEncodeDstRule(c.date, c.start), c.word) << c.word;
}

TEST(WatchZoneRules, EqualityIsBiasAloneOrEveryField)
{
    const TzRules paris{-60, 0, -60, yearly(10, 0, 5, 3), yearly(3, 0, 5, 2)};
    TIME_ZONE_INFORMATION same{};
    same.Bias = -60;
    same.DaylightBias = -60;
    same.StandardDate = paris.StandardDate;
    same.DaylightDate = paris.DaylightDate;
    EXPECT_TRUE(TzRulesEqual(paris, same, true));

    std::vector<TIME_ZONE_INFORMATION> others(5, same);
    others[0].StandardBias = 1;
    others[1].DaylightBias = 0;
    others[2].StandardDate.wSecond = 1;
    others[3].DaylightDate.wMilliseconds = 1;
    others[4].DaylightDate.wYear = 2026;
    for (const TIME_ZONE_INFORMATION& other : others) {
        EXPECT_FALSE(TzRulesEqual(paris, other, true));
        EXPECT_TRUE(TzRulesEqual(paris, other, false));
    }
    same.Bias = 0;
    EXPECT_FALSE(TzRulesEqual(paris, same, false));
}

// TzMatchWatchZone with the PC's zone set through TZ and the catalogue read
// from the in-memory source.
class WatchZoneMatch : public MemorySourceTest {
protected:
    struct Result {
        int row;
        std::string name;
    };
    static Result match(int type)
    {
        char name[TZ_NAME_SIZE];
        std::memset(name, '#', sizeof name);
        const int row = TzMatchWatchZone(type, name);
        return {row, std::string(text_view(name))};
    }
};

TEST_F(WatchZoneMatch, ANameInTheTableNeedsNoCatalogue)
{
    const ScopedTz tz("America/Los_Angeles");
    mem_root_fails(true);
    EXPECT_EQ(match(1).row, 3);
    EXPECT_EQ(match(2).row, 4);
    EXPECT_EQ(mem_stats().opens + mem_stats().enums, 0);
    EXPECT_EQ(match(1).name, "Pacific Standard Time");
    // Type 3 goes to the catalogue, which cannot be built here.
    EXPECT_EQ(match(3).row, TZ_NO_WATCH_ZONE);
}

TEST_F(WatchZoneMatch, TypeThreeMatchesOnlyThroughTheCataloguesRules)
{
    const ScopedTz tz("America/Los_Angeles");
    MemKey& pacific = mem_add_zone("Pacific Standard Time", rules_of("America/Los_Angeles"));
    const Result found = match(3);
    EXPECT_EQ(found.row, 4);
    EXPECT_EQ(found.name, "Pacific Standard Time");

    // The same zone with last year's rules does not match.
    TzRules old = rules_of("America/Los_Angeles");
    old.DaylightDate.wDay = 1;
    mem_set_rules(pacific, "TZI", old);
    EXPECT_EQ(match(3).row, TZ_NO_WATCH_ZONE);
    EXPECT_EQ(match(2).row, 4);
}

TEST_F(WatchZoneMatch, AStandardNameFoundInTheCatalogueGivesItsKeysRow)
{
    // A catalogue whose India zone carries, as its standard name, the name the
    // PC reports for Colombo; its rules match nothing, so only the name leads.
    const ScopedTz tz("Asia/Colombo");
    MemKey& india = mem_add_zone("INDIA STANDARD TIME", rules_without_dst(-999));
    mem_set_text(india, "Std", "Sri Lanka Standard Time");
    EXPECT_EQ(match(1).row, 19);
    EXPECT_EQ(match(2).row, 30);
    const Result type3 = match(3);
    EXPECT_EQ(type3.row, TZ_NO_WATCH_ZONE);
    EXPECT_EQ(type3.name, "INDIA STANDARD TIME");
}

TEST_F(WatchZoneMatch, ZonesOutsideTheTableMatchByRules)
{
    // Romance sorts first: "(UTC" display names come before every "(GMT".
    mem_set_text(mem_add_zone("Romance Standard Time", rules_of("Europe/Paris")), "Display",
                 "(UTC+01:00) Brussels, Copenhagen, Madrid, Paris");
    mem_add_zone("GMT Standard Time", rules_of("Europe/London"));
    mem_add_zone("W. Europe Standard Time", rules_of("Europe/Berlin"));
    mem_add_zone("W. Central Africa Standard Time", rules_of("Africa/Lagos"));

    struct Case {
        const char* tz;
        bool with_gmt_plus_1;  // the catalogue also holds a zone keyed "(GMT+01)"
        int rows[3];
        const char* name;
    };
    const Case cases[] = {
        {"Europe/Berlin", false, {12, 20, 21}, "W. Europe Standard Time"},
        // Type 1 compares Bias alone: Lagos gets the first row at +01:00.
        {"Africa/Lagos", false, {12, TZ_NO_WATCH_ZONE, TZ_NO_WATCH_ZONE},
         "W. Central Africa Standard Time"},
        {"Africa/Lagos", true, {12, 21, 22}, "W. Central Africa Standard Time"},
        // Nothing fits: -2, never -1; the name is the PC's own.
        {"Pacific/Chatham", true,
         {TZ_NO_WATCH_ZONE, TZ_NO_WATCH_ZONE, TZ_NO_WATCH_ZONE},
         "Chatham Islands Standard Time"},
    };
    bool gmt_plus_1_added = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tz);
        const ScopedTz tz(c.tz);
        if (c.with_gmt_plus_1 && !gmt_plus_1_added) {
            mem_add_zone("(GMT+01)", rules_of("Africa/Lagos"));
            gmt_plus_1_added = true;
        }
        for (int type = 1; type <= 3; ++type) {
            const Result r = match(type);
            EXPECT_EQ(r.row, c.rows[type - 1]) << "type " << type;
            EXPECT_EQ(r.name, c.name) << "type " << type;
        }
        EXPECT_EQ(TzFindByKeyName("Romance Standard Time"), 0);
    }
}

}  // namespace
