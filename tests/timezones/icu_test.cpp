// SPDX-License-Identifier: MIT
// The PC's zone and the catalogue on real data: ICU's zones, TZ set per case.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <set>
#include <string>

#include "platform/text.h"
#include "platform/timezone.h"
#include "tests/timezones/tz_env.h"
#include "timezones/catalogue.h"
#include "timezones/watch_zones.h"

namespace {

std::string narrow(std::u16string_view text)
{
    std::string out(text.size() + 1, '\0');
    out.resize(narrow_text(text, out));
    return out;
}

bool same_date(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Whether the C library, on its own tz data, sees daylight time now.
bool libc_in_daylight_time()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_isdst > 0;
}

struct ZoneCase {
    const char* tz;
    const char* windows_id;
    int32_t bias;
    int32_t daylight_bias;
    SYSTEMTIME standard_date;
    SYSTEMTIME daylight_date;
};

const SYSTEMTIME NONE{};

TEST(CurrentZone, CarriesTheWindowsIdAndThisYearsRules)
{
    const ZoneCase cases[] = {
        {"America/Los_Angeles", "Pacific Standard Time", 480, -60, yearly(11, 0, 1, 2),
         yearly(3, 0, 2, 2)},
        {"America/New_York", "Eastern Standard Time", 300, -60, yearly(11, 0, 1, 2),
         yearly(3, 0, 2, 2)},
        {"Europe/London", "GMT Standard Time", 0, -60, yearly(10, 0, 5, 2), yearly(3, 0, 5, 1)},
        {"Europe/Paris", "Romance Standard Time", -60, -60, yearly(10, 0, 5, 3),
         yearly(3, 0, 5, 2)},
        {"Europe/Athens", "GTB Standard Time", -120, -60, yearly(10, 0, 5, 4),
         yearly(3, 0, 5, 3)},
        {"Asia/Kolkata", "India Standard Time", -330, 0, NONE, NONE},
        {"Asia/Kathmandu", "Nepal Standard Time", -345, 0, NONE, NONE},
        {"Australia/Adelaide", "Cen. Australia Standard Time", -570, -60, yearly(4, 0, 1, 3),
         yearly(10, 0, 1, 2)},
        {"Australia/Brisbane", "E. Australia Standard Time", -600, 0, NONE, NONE},
        {"America/Sao_Paulo", "E. South America Standard Time", 180, 0, NONE, NONE},
        {"Pacific/Auckland", "New Zealand Standard Time", -720, -60, yearly(4, 0, 1, 3),
         yearly(9, 0, 5, 2)},
        {"Pacific/Chatham", "Chatham Islands Standard Time", -765, -60, yearly(4, 0, 1, 3, 45),
         yearly(9, 0, 5, 2, 45)},
        {"UTC", "UTC", 0, 0, NONE, NONE},
    };
    // One process, many TZ values: every call detects the zone afresh.
    for (const ZoneCase& c : cases) {
        SCOPED_TRACE(c.tz);
        const ScopedTz tz(c.tz);
        TIME_ZONE_INFORMATION tzi{};
        const uint32_t id = plat_get_time_zone_information(tzi);
        EXPECT_EQ(narrow(tzi.StandardName), c.windows_id);
        EXPECT_EQ(narrow(tzi.DaylightName), c.windows_id);
        EXPECT_EQ(tzi.Bias, c.bias);
        EXPECT_EQ(tzi.StandardBias, 0);
        EXPECT_EQ(tzi.DaylightBias, c.daylight_bias);
        EXPECT_TRUE(same_date(tzi.StandardDate, c.standard_date));
        EXPECT_TRUE(same_date(tzi.DaylightDate, c.daylight_date));
        const bool has_dst = c.daylight_date.wMonth != 0;
        const uint32_t expected = libc_in_daylight_time() ? TIME_ZONE_ID_DAYLIGHT
                                  : has_dst                ? TIME_ZONE_ID_STANDARD
                                                           : TIME_ZONE_ID_UNKNOWN;
        EXPECT_EQ(id, expected);
    }
}

TEST(CurrentZone, OddTzValuesGiveAZoneAndNeverBreakTheRecord)
{
    const char* values[] = {"Nowhere/Land", "", ":Europe/Paris", "EST5EDT", "<+0330>-3:30",
                            "Far/Away/A/Very/Long/Zone/Name/Without/A/Windows/Id"};
    for (const char* value : values) {
        SCOPED_TRACE(value);
        const ScopedTz tz(value);
        TIME_ZONE_INFORMATION tzi{};
        std::memset(&tzi, 0x55, sizeof tzi);
        const uint32_t id = plat_get_time_zone_information(tzi);
        EXPECT_LE(id, TIME_ZONE_ID_DAYLIGHT);
        const std::u16string_view name = text_view(tzi.StandardName);
        EXPECT_FALSE(name.empty());
        EXPECT_LT(name.size(), 32u);
        EXPECT_EQ(text_view(tzi.DaylightName), name);
        EXPECT_GE(tzi.Bias, -14 * 60);
        EXPECT_LE(tzi.Bias, 12 * 60);
    }
    const ScopedTz tz(":Europe/Paris");
    TIME_ZONE_INFORMATION tzi{};
    plat_get_time_zone_information(tzi);
    EXPECT_EQ(narrow(tzi.StandardName), "Romance Standard Time");
}

TEST(CurrentZone, ANameWithoutWindowsIdIsCutTo31Units)
{
    const std::string value = "Far/Away/A/Very/Long/Zone/Name/Without/A/Windows/Id";
    const ScopedTz tz(value.c_str());
    TIME_ZONE_INFORMATION tzi{};
    plat_get_time_zone_information(tzi);
    EXPECT_EQ(narrow(tzi.StandardName), value.substr(0, 31));
}

TEST(ZoneRules, AnUnknownZoneLeavesTheRecordAlone)
{
    TIME_ZONE_INFORMATION tzi{};
    tzi.Bias = 4242;
    EXPECT_FALSE(plat_zone_rules("No/Such_Zone", tzi));
    EXPECT_FALSE(plat_zone_rules(nullptr, tzi));
    EXPECT_EQ(tzi.Bias, 4242);
    EXPECT_TRUE(plat_zone_rules("Asia/Tokyo", tzi));
    EXPECT_EQ(tzi.Bias, -540);
}

class IcuCatalogue : public ::testing::Test {
protected:
    void SetUp() override
    {
        TzSetZoneSource(&TzIcuZoneSource());
        TzReleaseCatalogue();
    }
    void TearDown() override
    {
        TzReleaseCatalogue();
        TzSetZoneSource(nullptr);
    }
};

TEST_F(IcuCatalogue, HoldsOneZoneForEachWindowsIdNamedByTheFallBacks)
{
    ASSERT_TRUE(TzBuildCatalogue());
    const int n = TzGetZoneCount();
    EXPECT_GT(n, 100);
    EXPECT_LE(n, TZ_MAX_ZONES);
    std::set<std::string> keys;
    int previous_offset = TZ_NO_DISPLAY_OFFSET;
    for (int i = 0; i < n; ++i) {
        char key[TZ_NAME_SIZE], display[TZ_NAME_SIZE];
        char16_t standard[TZ_WIDE_NAME_UNITS], daylight[TZ_WIDE_NAME_UNITS];
        TzRules rules{};
        ASSERT_TRUE(TzGetKeyName(i, key));
        ASSERT_TRUE(TzGetDisplayName(i, display));
        ASSERT_TRUE(TzGetZoneName(TZ_STANDARD_NAME, i, standard));
        ASSERT_TRUE(TzGetZoneName(TZ_DAYLIGHT_NAME, i, daylight));
        ASSERT_TRUE(TzGetZoneRules(i, rules));
        SCOPED_TRACE(key);
        EXPECT_TRUE(keys.insert(key).second) << "twice";
        EXPECT_EQ(narrow(standard), key);
        EXPECT_EQ(narrow(daylight), key);
        EXPECT_EQ(std::string(display).rfind("(GMT", 0), 0u);
        EXPECT_EQ(TzDisplayOffset(display), -rules.Bias);
        EXPECT_GE(TzDisplayOffset(display), previous_offset);
        previous_offset = TzDisplayOffset(display);
        EXPECT_EQ(rules.StandardBias, 0);
        EXPECT_EQ(rules.StandardDate.wMonth != 0, rules.DaylightDate.wMonth != 0);
        EXPECT_EQ(rules.DaylightBias != 0, rules.DaylightDate.wMonth != 0);
    }
    const TzRules pacific = rules_of("America/Los_Angeles");
    TzRules rules{};
    ASSERT_TRUE(TzGetZoneRules(TzFindByKeyName("Pacific Standard Time"), rules));
    EXPECT_EQ(std::memcmp(&rules, &pacific, sizeof rules), 0);
    char display[TZ_NAME_SIZE];
    ASSERT_TRUE(TzGetDisplayName(TzFindByKeyName("Pacific Standard Time"), display));
    EXPECT_STREQ(display, "(GMT-08:00) Pacific Standard Time");
}

TEST_F(IcuCatalogue, MatchesThePcsZoneInEachTableType)
{
    struct Case {
        const char* tz;
        int rows[3];
        const char* name;
    };
    const Case cases[] = {
        {"America/Los_Angeles", {3, 4, 4}, "Pacific Standard Time"},
        {"America/New_York", {6, 10, 10}, "Eastern Standard Time"},
        {"Europe/London", {11, 19, 20}, "GMT Standard Time"},
        {"Europe/Paris", {12, 20, 21}, "Romance Standard Time"},
        {"Europe/Athens", {13, 22, 23}, "GTB Standard Time"},
        {"Asia/Kolkata", {19, 30, 31}, "India Standard Time"},
        {"Asia/Kathmandu", {20, 31, 32}, "Nepal Standard Time"},
        {"Australia/Adelaide", {26, 37, 38}, "Cen. Australia Standard Time"},
        // Not in table 1: the first row with the same Bias, Sydney.
        {"Australia/Brisbane", {27, 40, 41}, "E. Australia Standard Time"},
        // Type 3 knows this zone only as "RIOJ".
        {"America/Sao_Paulo", {9, 15, 16}, "E. South America Standard Time"},
        {"Pacific/Auckland", {29, 42, 43}, "New Zealand Standard Time"},
        {"UTC", {10, 18, 19}, "UTC"},
        // In no table: India's rules.
        {"Asia/Colombo", {19, 30, 31}, "Sri Lanka Standard Time"},
        // In no table: Romance's rules, ahead of the other zones of +01:00.
        {"Europe/Berlin", {12, 20, 21}, "W. Europe Standard Time"},
        // In no table, and only table 1 has a zone of its Bias (without DST).
        {"America/Phoenix", {4, TZ_NO_WATCH_ZONE, TZ_NO_WATCH_ZONE}, "US Mountain Standard Time"},
        // No row has +12:45.
        {"Pacific/Chatham", {TZ_NO_WATCH_ZONE, TZ_NO_WATCH_ZONE, TZ_NO_WATCH_ZONE},
         "Chatham Islands Standard Time"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tz);
        const ScopedTz tz(c.tz);
        for (int type = 1; type <= 3; ++type) {
            char name[TZ_NAME_SIZE] = "";
            EXPECT_EQ(TzMatchWatchZone(type, name), c.rows[type - 1]) << "type " << type;
            EXPECT_STREQ(name, c.name) << "type " << type;
        }
    }
}

}  // namespace
