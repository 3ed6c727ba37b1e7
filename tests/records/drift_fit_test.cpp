// SPDX-License-Identifier: MIT
// The rate fit on synthetic records: periods between settings, a known rate,
// and the cases that give no rate.
#include <gtest/gtest.h>

#include "records/drift_fit.h"

namespace {

constexpr double DAY = SECONDS_PER_DAY;
constexpr double T0 = 1.7e9;  // seconds since 1970
constexpr char WATCH[] = "cc 10 3 02-29 0";

drift_record reading(double at, double offset_us, double unc_us = 10, const char* watch = WATCH)
{
    drift_record r;
    r.tool = TOOL_NAME_READER;
    r.watch = watch;
    r.offset = offset_measurement{at, offset_us, unc_us};
    return r;
}

drift_record setting(double before_at, double before_us, double after_at, double after_us)
{
    drift_record r;
    r.tool = TOOL_NAME_SETTER;
    r.watch = WATCH;
    r.time_commands = 2;
    r.before = offset_measurement{before_at, before_us, 10};
    r.offset = offset_measurement{after_at, after_us, 10};
    return r;
}

TEST(DriftFit, KnownRateAndPrediction)
{
    // +2.5 ppm: 0.216 s a day; readings scattered by their stated 10 us.
    std::vector<drift_record> rs;
    const double scatter[] = {10, -10, 0, 10, -10};
    for (int d = 0; d < 5; ++d)
        rs.push_back(reading(T0 + d * 2 * DAY, 1000 + 2.5 * d * 2 * DAY + scatter[d]));
    const auto periods = drift_periods(rs);
    ASSERT_EQ(periods.size(), 1u);
    EXPECT_FALSE(periods[0].set);
    rate_fit fit;
    ASSERT_TRUE(fit_rate(periods[0].points, fit));
    EXPECT_NEAR(fit.rate_ppm, 2.5, 1e-4);
    EXPECT_GT(fit.rate_uncertainty_ppm, 0);
    EXPECT_LT(fit.rate_uncertainty_ppm, 1e-4);
    double near = 0, far = 0;
    fitted_offset_us(fit, T0 + 4 * DAY, near);
    EXPECT_NEAR(fitted_offset_us(fit, T0 + 20 * DAY, far), 1000 + 2.5 * 20 * DAY, 20);
    EXPECT_GT(far, near);  // less sure away from the readings
}

TEST(DriftFit, ScatterBeyondTheStatedUncertaintyWidensTheRate)
{
    std::vector<drift_record> tight, loose;
    const double scatter[] = {0, 300, -300, 0};
    for (int d = 0; d < 4; ++d) {
        tight.push_back(reading(T0 + d * DAY, 5 * d * DAY));
        loose.push_back(reading(T0 + d * DAY, 5 * d * DAY + scatter[d]));
    }
    rate_fit a, b;
    ASSERT_TRUE(fit_rate(drift_periods(tight)[0].points, a));
    ASSERT_TRUE(fit_rate(drift_periods(loose)[0].points, b));
    EXPECT_GT(b.rate_uncertainty_ppm, 10 * a.rate_uncertainty_ppm);
}

TEST(DriftFit, SettingSplitsPeriods)
{
    // Gaining 10 ppm, set back to +0.1 ms, then gaining 4 ppm (new compensation).
    const std::vector<drift_record> rs = {
        reading(T0, 0),
        reading(T0 + DAY, 10 * DAY),
        setting(T0 + 2 * DAY, 20 * DAY, T0 + 2 * DAY + 40, 100),
        reading(T0 + 3 * DAY, 100 + 4 * DAY),
        reading(T0 + 5 * DAY, 100 + 4 * 3 * DAY),
    };
    const auto periods = drift_periods(rs);
    ASSERT_EQ(periods.size(), 2u);
    EXPECT_EQ(periods[0].points.size(), 3u);  // the setter's measurement before it closes the first
    EXPECT_EQ(periods[1].points.size(), 3u);
    EXPECT_TRUE(periods[1].set);
    EXPECT_EQ(periods[1].number, 2);
    EXPECT_DOUBLE_EQ(periods[1].set_at, T0 + 2 * DAY + 40);
    rate_fit f1, f2;
    ASSERT_TRUE(fit_rate(periods[0].points, f1));
    ASSERT_TRUE(fit_rate(periods[1].points, f2));
    EXPECT_NEAR(f1.rate_ppm, 10, 1e-3);
    EXPECT_NEAR(f2.rate_ppm, 4, 1e-3);
}

TEST(DriftFit, WatchesKeptApart)
{
    const std::vector<drift_record> rs = {reading(T0, 0, 10, "cc 10 3 02-29 0"), reading(T0, 5, 10, "dd 00 8 01-03 0"),
                                          reading(T0 + DAY, DAY, 10, "cc 10 3 02-29 0")};
    const auto periods = drift_periods(rs);
    ASSERT_EQ(periods.size(), 2u);
    EXPECT_EQ(periods[0].points.size(), 2u);
    EXPECT_EQ(periods[1].watch, "dd 00 8 01-03 0");
    EXPECT_EQ(readings_needed(periods[1].points), 1);
}

struct needed_case {
    const char* name;
    std::vector<drift_record> records;
    int needed;
};

TEST(DriftFit, TooFewReadingsSayHowManyMore)
{
    drift_record no_offset = reading(T0, 0);
    no_offset.offset.reset();
    const needed_case cases[] = {
        {"none measured", {no_offset}, 2},
        {"a single reading", {reading(T0, 0)}, 1},
        {"readings of one moment", {reading(T0, 0), reading(T0 + 0.2, 50)}, 1},
        {"just set", {reading(T0, 0), setting(T0 + DAY, 50, T0 + DAY + 40, 0)}, 1},
    };
    for (const needed_case& c : cases) {
        const auto periods = drift_periods(c.records);
        ASSERT_FALSE(periods.empty()) << c.name;
        rate_fit fit;
        EXPECT_EQ(readings_needed(periods.back().points), c.needed) << c.name;
        EXPECT_FALSE(fit_rate(periods.back().points, fit)) << c.name;
    }
}

}  // namespace
