// SPDX-License-Identifier: MIT
// The reduction of a filled sample table: differences, folding, sums,
// extremes and the lines it prints.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/stdout_capture.h"
#include "tools/clock_sampling.h"
#include "watchlink/protocol.h"

namespace {

constexpr int64_t MS = static_cast<int64_t>(FILE_TIME_PER_MS);
constexpr int64_t MINUTE_MS = 60 * 1000;
constexpr int64_t DEFAULT_DELAY = 3 * MS;

file_time utc(int hour, int minute, int second, int ms)
{
    const SYSTEMTIME st{2024, 3, 0, 9, static_cast<uint16_t>(hour), static_cast<uint16_t>(minute),
                        static_cast<uint16_t>(second), static_cast<uint16_t>(ms)};
    file_time ft = 0;
    systime_to_filetime(st, ft);
    return ft;
}

// The least count that shows as ms milliseconds.
uint16_t subsec_of_ms(int ms) { return static_cast<uint16_t>((ms * SUBSEC_PER_SECOND + 999) / 1000); }

struct reading {
    file_time mid;  // PC midpoint of the bracket
    uint8_t minute, second;
    uint16_t subsec;
    uint8_t irq_err = 0;
    int64_t delay = DEFAULT_DELAY;
};

// A watch reading whose difference from the midpoint is exactly diff ms.
reading ahead_by(int64_t diff)
{
    const file_time mid = utc(7, 5, 3, 0);
    SYSTEMTIME w{};
    filetime_to_systime(mid + static_cast<file_time>(diff * MS), w);
    return {mid, static_cast<uint8_t>(w.wMinute), static_cast<uint8_t>(w.wSecond), subsec_of_ms(w.wMilliseconds)};
}

void fill(const std::vector<reading>& rs)
{
    clock_samples = {};
    clock_sample_count = 0;
    for (const reading& r : rs) {
        clock_sample& s = clock_samples.at(static_cast<std::size_t>(clock_sample_count++));
        s.pc_before = r.mid - static_cast<file_time>(r.delay / 2);
        s.pc_after = s.pc_before + static_cast<file_time>(r.delay);
        s.minute = r.minute;
        s.second = r.second;
        s.subsec = r.subsec;
        s.irq_err = r.irq_err;
    }
}

// Two unused records that would spoil every figure if they were counted.
std::vector<reading> with_skipped(std::vector<reading> used)
{
    std::vector<reading> rs = {ahead_by(400), ahead_by(-400)};
    rs.insert(rs.end(), used.begin(), used.end());
    return rs;
}

struct reduced {
    bool ok;
    clock_statistics stats;
    std::string out;
};

reduced reduce(const std::vector<reading>& rs)
{
    fill(rs);
    reduced r{};
    r.stats.average_diff = -999;
    r.out = capture_stdout([&] { r.ok = reduce_clock_samples(r.stats); });
    return r;
}

struct subsec_case {
    uint16_t subsec;
    int64_t ms;
    uint16_t kept;  // what the record holds afterwards
};

void PrintTo(const subsec_case& c, std::ostream* os) { *os << "subsec " << c.subsec; }

class SubsecondCount : public testing::TestWithParam<subsec_case> {};

TEST_P(SubsecondCount, GivesMilliseconds)
{
    const subsec_case& c = GetParam();
    reading r = ahead_by(0);
    r.subsec = c.subsec;
    const reduced res = reduce(with_skipped({r}));
    ASSERT_TRUE(res.ok);
    EXPECT_EQ(clock_samples[2].diff_ms, c.ms);
    EXPECT_EQ(clock_samples[2].subsec, c.kept);
    EXPECT_EQ(res.stats.average_diff, c.ms);
}

INSTANTIATE_TEST_SUITE_P(Counts, SubsecondCount,
                         testing::Values(subsec_case{0x4000, 500, 0x4000}, subsec_case{0x7FFF, 999, 0x7FFF},
                                         subsec_case{SUBSEC_FLAG, 0, 0}, subsec_case{0xC000, 500, 0x4000},
                                         subsec_case{0x0000, 0, 0}));

TEST(ClockReduction, DifferenceTruncatesTowardZero)
{
    reading behind = ahead_by(0);
    behind.mid += 15000;  // the watch reads 1.5 ms before the midpoint
    reading ahead = ahead_by(0);
    ahead.subsec = subsec_of_ms(2);
    ahead.mid += 5000;  // 1.5 ms after it
    const reduced res = reduce(with_skipped({behind, ahead}));
    ASSERT_TRUE(res.ok);
    EXPECT_EQ(clock_samples[2].diff_ms, -1);
    EXPECT_EQ(clock_samples[3].diff_ms, 1);
}

TEST(ClockReduction, MeanVarianceDeviationAndDelay)
{
    std::vector<reading> rs = {ahead_by(10), ahead_by(20), ahead_by(30)};
    for (reading& r : rs)
        r.delay = 3 * MS - 1;  // 2.9999 ms: truncated to 2
    const reduced res = reduce(with_skipped(rs));
    ASSERT_TRUE(res.ok);
    EXPECT_EQ(res.stats.used, 3);
    EXPECT_EQ(res.stats.average_diff, 20);
    EXPECT_DOUBLE_EQ(res.stats.std_dev, std::sqrt(66.0));  // 200 / 3, truncated
    EXPECT_EQ(res.stats.average_delay, 2);
    EXPECT_EQ(res.out, "diff 02 = 10\ndiff 03 = 20\ndiff 04 = 30\nUTC time = 2024-3-9 07:05:02\n");
}

TEST(ClockReduction, UtcLineFromTheFirstUsedRecordsFirstStamp)
{
    reading r = ahead_by(0);
    r.mid = utc(8, 0, 0, 0);
    r.delay = 2 * MS;  // sent in the old second, the midpoint in the new one
    const reduced res = reduce(with_skipped({r}));
    EXPECT_NE(res.out.find("UTC time = 2024-3-9 07:59:59\n"), std::string::npos) << res.out;
}

struct fold_case {
    const char* name;
    file_time pc_mid;
    uint8_t minute, second;
    int ms;
    int64_t diff;
};

void PrintTo(const fold_case& c, std::ostream* os) { *os << c.name; }

class AcrossHoursAndZones : public testing::TestWithParam<fold_case> {};

TEST_P(AcrossHoursAndZones, GivesTheRealError)
{
    const fold_case& c = GetParam();
    const reduced res = reduce(with_skipped({{c.pc_mid, c.minute, c.second, subsec_of_ms(c.ms)}}));
    ASSERT_TRUE(res.ok);
    EXPECT_EQ(clock_samples[2].diff_ms, c.diff);
    EXPECT_EQ(res.stats.average_diff, c.diff);
    EXPECT_NE(res.out.find("diff 02 = " + std::to_string(c.diff) + "\n"), std::string::npos) << res.out;
}

std::string fold_name(const testing::TestParamInfo<fold_case>& i) { return i.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Samples, AcrossHoursAndZones,
    testing::Values(
        // The watch's 11:00:00.010 against 10:59:59.990.
        fold_case{"AheadAcrossHour", utc(10, 59, 59, 990), 0, 0, 10, 20},
        fold_case{"BehindAcrossHour", utc(11, 0, 0, 10), 59, 59, 990, -20},
        fold_case{"AheadAcrossMinute", utc(10, 4, 59, 990), 5, 0, 10, 20},
        // A watch on local time an hour ahead: the hour is not compared.
        fold_case{"OneHourZone", utc(10, 5, 3, 0), 5, 3, 20, 20},
        // Asia/Kolkata, +5:30: 16:30:00.010 local against 10:59:59.990 UTC.
        fold_case{"Kolkata", utc(10, 59, 59, 990), 30, 0, 10, 20},
        // Asia/Kathmandu, +5:45: 16:00:00.010 local against 10:14:59.990 UTC.
        fold_case{"KathmanduAhead", utc(10, 14, 59, 990), 0, 0, 10, 20},
        fold_case{"KathmanduBehind", utc(10, 20, 0, 0), 4, 59, 980, -20},
        fold_case{"WholeSecondsBehind", utc(10, 20, 0, 0), 19, 57, 500, -2500}),
    fold_name);

struct fold_value {
    int64_t raw, folded;
};

TEST(FoldQuarterHours, NearestRepresentative)
{
    for (const fold_value& v : {fold_value{0, 0}, fold_value{20, 20}, fold_value{-20, -20},
                                fold_value{-(60 * MINUTE_MS) + 20, 20}, fold_value{15 * MINUTE_MS + 20, 20},
                                fold_value{-(45 * MINUTE_MS) - 20, -20}, fold_value{7 * MINUTE_MS, 7 * MINUTE_MS},
                                fold_value{-7 * MINUTE_MS, -7 * MINUTE_MS}, fold_value{8 * MINUTE_MS, -7 * MINUTE_MS}})
        EXPECT_EQ(fold_quarter_hours(v.raw), v.folded) << v.raw;
}

TEST(ClockReduction, IrqErrMinimumSeededFromRecordZero)
{
    std::vector<reading> rs = with_skipped({ahead_by(0), ahead_by(0), ahead_by(0)});
    const uint8_t low_first[] = {1, 250, 7, 3, 9};
    for (std::size_t i = 0; i < rs.size(); ++i)
        rs[i].irq_err = low_first[i];
    reduced res = reduce(rs);
    EXPECT_EQ(res.stats.irq_err_min, 1);
    EXPECT_EQ(res.stats.irq_err_max, 9);  // record 1 is not used

    const uint8_t high_first[] = {9, 0, 4, 5, 6};
    for (std::size_t i = 0; i < rs.size(); ++i)
        rs[i].irq_err = high_first[i];
    res = reduce(rs);
    EXPECT_EQ(res.stats.irq_err_min, 4);
    EXPECT_EQ(res.stats.irq_err_max, 6);
}

class SampleCount : public testing::TestWithParam<int> {};

// Sums divided by the used records alone: 11 each, whatever n.
TEST_P(SampleCount, LinesNumberedFromTwo)
{
    const int n = GetParam();
    const reduced res = reduce(with_skipped(std::vector<reading>(static_cast<std::size_t>(n - 2), ahead_by(11))));
    ASSERT_TRUE(res.ok);
    EXPECT_EQ(res.stats.used, n - 2);
    EXPECT_EQ(res.stats.average_diff, 11);
    std::string lines;
    for (int i = 2; i < n; ++i)
        lines += (i < 10 ? "diff 0" : "diff ") + std::to_string(i) + " = 11\n";
    EXPECT_EQ(res.out.substr(0, lines.size()), lines);
    EXPECT_EQ(res.out.find("diff", lines.size()), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Passes, SampleCount, testing::Values(12, CLOCK_SAMPLES_MAX, 3));

TEST(ClockReduction, FewerThanThreeRecordsDivideNothing)
{
    for (int n = 0; n <= 2; ++n) {
        const reduced res = reduce(std::vector<reading>(static_cast<std::size_t>(n), ahead_by(5)));
        EXPECT_FALSE(res.ok) << n;
        EXPECT_EQ(res.stats.average_diff, -999) << n;
        EXPECT_EQ(res.out.find("diff"), std::string::npos) << res.out;
    }
}

TEST(ClockReduction, OutOfRangeReadingIsLeftOut)
{
    reading bad_minute = ahead_by(500);
    bad_minute.minute = 60;
    bad_minute.irq_err = 200;
    reading bad_second = ahead_by(500);
    bad_second.second = 60;
    const reduced res = reduce(with_skipped({ahead_by(10), bad_minute, ahead_by(30), bad_second}));
    ASSERT_TRUE(res.ok);
    EXPECT_EQ(res.stats.used, 2);
    EXPECT_EQ(res.stats.average_diff, 20);
    EXPECT_DOUBLE_EQ(res.stats.std_dev, 10.0);
    EXPECT_EQ(res.stats.irq_err_max, 0);
    EXPECT_EQ(res.out.find("diff 03 ="), std::string::npos) << res.out;
    EXPECT_NE(res.out.find("diff 03"), std::string::npos) << res.out;
    EXPECT_NE(res.out.find("diff 04 = 30\n"), std::string::npos) << res.out;

    const reduced none = reduce(with_skipped({bad_minute, bad_second}));
    EXPECT_FALSE(none.ok);
}


// The plausibility rule over synthetic passes of ten used records: which
// samples are left out, what their lines say, and whether a reading comes.
reading delayed(int64_t diff, int64_t delay_ms)
{
    reading r = ahead_by(diff);
    r.delay = delay_ms * MS;
    return r;
}
const reading ON_TIME = ahead_by(11);
const reading STALLED = delayed(-189, 403);  // a busy host held it 400 ms

struct rule_case {
    const char* name;
    std::vector<reading> used;
    std::string marks;  // per record from 2: '.' used, 'D' delayed, 'M' far from the median
    bool gives_reading;
    int64_t average;
};

void PrintTo(const rule_case& c, std::ostream* os) { *os << c.name; }

class PlausibilityRule : public testing::TestWithParam<rule_case> {};

TEST_P(PlausibilityRule, LeavesOutWhatCannotBeRight)
{
    const rule_case& c = GetParam();
    ASSERT_EQ(c.used.size(), c.marks.size());
    const reduced res = reduce(with_skipped(c.used));
    EXPECT_EQ(res.ok, c.gives_reading);
    const std::vector<std::string> lines = [&] {
        std::vector<std::string> v;
        for (std::size_t at = 0, end; (end = res.out.find('\n', at)) != std::string::npos; at = end + 1)
            v.push_back(res.out.substr(at, end - at));
        return v;
    }();
    ASSERT_EQ(lines.size(), c.used.size() + 1) << res.out;  // and the UTC line
    for (std::size_t i = 0; i < c.marks.size(); ++i) {
        const clock_sample& s = clock_samples[i + 2];
        char head[32];
        std::snprintf(head, sizeof head, "diff %02zu = %lld", i + 2, static_cast<long long>(s.diff_ms));
        const std::string why = c.marks[i] == 'D' ? "  not used: delay " : "  not used: ";
        if (c.marks[i] == '.') {
            EXPECT_EQ(lines[i], head);
        } else {
            EXPECT_EQ(lines[i].rfind(head + why, 0), 0u) << lines[i];
        }
        if (c.marks[i] == 'M') {
            EXPECT_NE(lines[i].find(" ms from the median "), std::string::npos) << lines[i];
        }
    }
    if (!c.gives_reading) {
        EXPECT_EQ(res.stats.average_diff, -999);
        return;
    }
    EXPECT_EQ(res.stats.used, static_cast<int>(std::count(c.marks.begin(), c.marks.end(), '.')));
    EXPECT_EQ(res.stats.average_diff, c.average);
}

std::vector<reading> ten(std::vector<reading> first, const reading& rest)
{
    first.resize(10, rest);
    return first;
}

INSTANTIATE_TEST_SUITE_P(
    Passes, PlausibilityRule,
    testing::Values(
        // Radio jitter, and a host that adds tens of ms now and then: all used,
        // the plain mean of all ten.
        rule_case{"JitterAndBusyHostKeepEverySample",
                  {ahead_by(11), ahead_by(9), ahead_by(14), delayed(-20, 63), ahead_by(12), ahead_by(10),
                   delayed(40, 65), ahead_by(13), ahead_by(11), ahead_by(11)},
                  "..........", true, 11},
        rule_case{"StalledSampleLeftOut", ten({ON_TIME, STALLED}, ON_TIME), ".D........", true, 11},
        rule_case{"ReplyOfAnotherCommandLeftOut", ten({ON_TIME, ahead_by(39617)}, ON_TIME), ".M........", true, 11},
        // 100 ms past the least delay and 100 ms from the median are still used.
        rule_case{"MarginsIncluded",
                  ten({delayed(11, 103), delayed(11, 104), ahead_by(111), ahead_by(-90)}, ON_TIME), ".D.M......",
                  true, 23},
        rule_case{"HalfUsableStillReads", ten({STALLED, STALLED, STALLED, STALLED, STALLED}, ON_TIME), "DDDDD.....",
                  true, 11},
        rule_case{"FewerThanHalfNoReading", ten({ON_TIME, ON_TIME, ON_TIME, ON_TIME}, STALLED), "....DDDDDD", false,
                  0},
        // The least delay is the one sample that was not held up.
        rule_case{"OneOnTimeAmongStalledNoReading", ten({ON_TIME}, STALLED), ".DDDDDDDDD", false, 0}),
    [](const testing::TestParamInfo<rule_case>& i) { return std::string(i.param.name); });

}  // namespace
