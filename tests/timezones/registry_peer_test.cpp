// SPDX-License-Identifier: MIT
// The catalogue built from a real registry's time-zone database (Wine's, or
// Windows' own), and the watch zone that fits the zone the system reports.
// Run with TZ=America/Los_Angeles, which Wine takes as the host zone.
#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"
#include "platform/timezone.h"
#include "timezones/catalogue.h"
#include "timezones/watch_zones.h"

namespace {

// The number of zones under the database's root, counted apart from the builder.
DWORD registry_zone_count()
{
    HKEY root = nullptr;
    DWORD subkeys = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                      "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones", 0, KEY_READ,
                      &root) != ERROR_SUCCESS)
        return 0;
    RegQueryInfoKeyA(root, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(root);
    return subkeys;
}

SYSTEMTIME yearly(WORD month, WORD weekday, WORD week, WORD hour)
{
    return SYSTEMTIME{0, month, weekday, week, hour, 0, 0, 0};
}

bool same(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDayOfWeek == b.wDayOfWeek &&
           a.wDay == b.wDay && a.wHour == b.wHour && a.wMinute == b.wMinute;
}

class RegistryCatalogue : public testing::Test {
protected:
    void SetUp() override
    {
        TzSetZoneSource(nullptr);
        TzReleaseCatalogue();
    }
    void TearDown() override { TzReleaseCatalogue(); }
};

TEST_F(RegistryCatalogue, HoldsEveryZoneOfTheDatabase)
{
    ASSERT_TRUE(TzBuildCatalogue());
    const DWORD in_registry = registry_zone_count();
    EXPECT_GT(in_registry, 100u);
    EXPECT_EQ(static_cast<DWORD>(TzGetZoneCount()), in_registry);
    // Catalogue order: ascending offset of the display names.
    for (int i = 1; i < TzGetZoneCount(); ++i) {
        char a[TZ_NAME_SIZE], b[TZ_NAME_SIZE];
        ASSERT_TRUE(TzGetDisplayName(i - 1, a) && TzGetDisplayName(i, b));
        EXPECT_LE(TzDisplayOffset(a), TzDisplayOffset(b)) << a << " / " << b;
    }
}

TEST_F(RegistryCatalogue, KnowsTheRulesOfWellKnownZones)
{
    struct Zone {
        const char* key;
        int32_t bias, daylight_bias;
        SYSTEMTIME standard, daylight;
    };
    const Zone zones[] = {
        {"Pacific Standard Time", 480, -60, yearly(11, 0, 1, 2), yearly(3, 0, 2, 2)},
        {"Eastern Standard Time", 300, -60, yearly(11, 0, 1, 2), yearly(3, 0, 2, 2)},
        {"W. Europe Standard Time", -60, -60, yearly(10, 0, 5, 3), yearly(3, 0, 5, 2)},
        {"GMT Standard Time", 0, -60, yearly(10, 0, 5, 2), yearly(3, 0, 5, 1)},
        {"AUS Eastern Standard Time", -600, -60, yearly(4, 0, 1, 3), yearly(10, 0, 1, 2)},
        // Without daylight time the database keeps DaylightBias -60 all the same.
        {"India Standard Time", -330, -60, {}, {}},
        {"Nepal Standard Time", -345, -60, {}, {}},
    };
    for (const Zone& z : zones) {
        SCOPED_TRACE(z.key);
        TIME_ZONE_INFORMATION tzi{};
        ASSERT_TRUE(TzGetZoneInfoByKey(z.key, tzi));
        EXPECT_EQ(tzi.Bias, z.bias);
        EXPECT_EQ(tzi.StandardBias, 0);
        EXPECT_EQ(tzi.DaylightBias, z.daylight_bias);
        EXPECT_TRUE(same(tzi.StandardDate, z.standard));
        EXPECT_TRUE(same(tzi.DaylightDate, z.daylight));
    }
    EXPECT_EQ(TzFindByKeyName("pacific standard time"), -1);
}

TEST_F(RegistryCatalogue, TheHostZoneFindsItsWatchZone)
{
    TIME_ZONE_INFORMATION host{};
    plat_get_time_zone_information(host);
    ASSERT_EQ(zone_standard_name(host), u"Pacific Standard Time") << "run with TZ=America/Los_Angeles";
    EXPECT_EQ(host.Bias, 480);

    const int rows[] = {3, 4, 4};  // Los Angeles in each type's table
    for (int type = 1; type <= 3; ++type) {
        char name[TZ_NAME_SIZE] = {};
        EXPECT_EQ(TzMatchWatchZone(type, name), rows[type - 1]) << "type " << type;
        EXPECT_STREQ(name, "Pacific Standard Time");
    }
    // Type 3 goes by the catalogue's rules: the host's own must be among them.
    EXPECT_EQ(TzMatchWatchZoneByRules(3, host), 4);
}

}  // namespace
