// SPDX-License-Identifier: MIT
// The precise offset from synthetic samples of a watch whose true offset is
// known: no truncation, the fastest samples trusted, the fold kept.
#include <cmath>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/stdout_capture.h"
#include "tools/precise_offset.h"
#include "watchlink/protocol.h"

namespace {

constexpr int64_t US = 10;  // file time units
constexpr int64_t MS = 1000 * US;
constexpr int64_t MINUTE = 60 * 1000 * MS;
constexpr double TOLERANCE_US = 8;  // a quarter of the counter's step, its phase spread over the samples

file_time utc(int hour, int minute, int second)
{
    const SYSTEMTIME st{2024, 3, 0, 9, static_cast<uint16_t>(hour), static_cast<uint16_t>(minute),
                        static_cast<uint16_t>(second), 0};
    file_time ft = 0;
    systime_to_filetime(st, ft);
    return ft;
}

struct sampling {
    int64_t offset = 0;         // the watch ahead of the PC, file time units
    int64_t delay = 3 * MS;     // send to the reply's arrival in the buffer
    int64_t reading_at = -1;    // the watch's reading after the send; -1: at the midpoint
    uint16_t flag = 0;          // bit 15 of the counter, no part of it
    int64_t window = 80 * US;   // between the poll that found nothing and the one that found the reply
    int64_t found_after = -1;   // the arrival to the poll that found it; -1: half the window
};

// The read transaction after the poll: it comes after the watch's reading
// and would pull a midpoint taken at the read 0.2 ms late.
constexpr int64_t READ_COST = 400 * US;
// A poll every 1.2 ms: a poll's sleep and its transaction.
constexpr int64_t POLL_WINDOW = 1200 * US;

// A sample whose watch reading is the true clock, its counter truncated.
clock_sample sample_at(file_time before, const sampling& s)
{
    const int64_t at = s.reading_at < 0 ? s.delay / 2 : s.reading_at;
    const file_time watch = before + static_cast<file_time>(at + s.offset);
    SYSTEMTIME st{};
    filetime_to_systime(watch, st);
    clock_sample c;
    c.pc_before = before;
    const int64_t found_after = s.found_after < 0 ? s.window / 2 : s.found_after;
    c.pc_waiting = before + static_cast<file_time>(s.delay + found_after);
    c.pc_empty_poll = c.pc_waiting - static_cast<file_time>(s.window);
    c.pc_after = c.pc_waiting + static_cast<file_time>(READ_COST);
    c.minute = static_cast<uint8_t>(st.wMinute);
    c.second = static_cast<uint8_t>(st.wSecond);
    c.subsec = static_cast<uint16_t>(watch % FILE_TIME_PER_SECOND * SUBSEC_PER_SECOND / FILE_TIME_PER_SECOND) | s.flag;
    return c;
}

// count samples 2.9 ms apart: phases of the counter spread over its step.
std::vector<clock_sample> pass(const sampling& s, int count = 20, file_time start = utc(7, 5, 3))
{
    std::vector<clock_sample> v;
    for (int i = 0; i < count; ++i)
        v.push_back(sample_at(start + static_cast<file_time>(i * 29 * MS / 10 + i * 37), s));
    return v;
}

struct offset_case {
    const char* name;
    sampling s;
    double expected_us;
};
void PrintTo(const offset_case& c, std::ostream* os) { *os << c.name; }

class PreciseOffset : public testing::TestWithParam<offset_case> {};

TEST_P(PreciseOffset, MatchesTheTrueOffset)
{
    const offset_case& c = GetParam();
    precise_offset p;
    ASSERT_TRUE(estimate_precise_offset(pass(c.s), p));
    EXPECT_NEAR(p.offset_us, c.expected_us, TOLERANCE_US);
    EXPECT_EQ(p.used, 20);
    EXPECT_LT(p.uncertainty_us, 2 * TOLERANCE_US);
    EXPECT_DOUBLE_EQ(p.delay_min_us, static_cast<double>(c.s.delay) / US);
}

std::string case_name(const testing::TestParamInfo<offset_case>& i) { return i.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Watches, PreciseOffset,
    testing::Values(
        // The printed mean shows 11 for these.
        offset_case{"TruncatedTwelvePointThree", {12300 * US}, 12300},
        offset_case{"UnderAMillisecond", {700 * US}, 700},
        offset_case{"BehindBySeconds", {-2500 * MS - 250 * US}, -2500250},
        // Each difference would truncate toward zero from either side.
        offset_case{"BehindUnderAMillisecond", {-400 * US}, -400},
        // The delay's odd 100 ns and the midpoint between them.
        offset_case{"OddDelay", {12300 * US, 3 * MS + 1}, 12300},
        offset_case{"FlaggedCounter", {12300 * US, 3 * MS, -1, SUBSEC_FLAG}, 12300},
        // Asia/Kolkata +5:30: the watch on local time reads its real error.
        offset_case{"KolkataFold", {(5 * 60 + 30) * MINUTE + 12300 * US}, 12300},
        offset_case{"KathmanduFoldBehind", {(5 * 60 + 45) * MINUTE - 800 * US}, -800}),
    case_name);

TEST(PreciseOffset, StalledSamplesDoNotPullTheEstimate)
{
    // A busy host held three samples 40 ms, all after the watch had read:
    // their midpoints lie about 20 ms late, their differences 20 ms low.
    std::vector<clock_sample> v = pass({12300 * US});
    for (int i : {3, 9, 15})
        v[static_cast<std::size_t>(i)] = sample_at(v[static_cast<std::size_t>(i)].pc_before,
                                                    {12300 * US, 40 * MS, 1500 * US});
    precise_offset p;
    ASSERT_TRUE(estimate_precise_offset(v, p));
    EXPECT_NEAR(p.offset_us, 12300, TOLERANCE_US);
    EXPECT_DOUBLE_EQ(p.delay_max_us, 40000);
}

TEST(PreciseOffset, RepliesAnywhereBetweenPollsAverageOut)
{
    // Radio jitter spreads the replies' arrivals between the same two polls
    // of every sample, the third and the fourth after the send.
    std::vector<clock_sample> v;
    for (int i = 0; i < 20; ++i) {
        const int64_t arrival = 2 * POLL_WINDOW + (2 * i + 1) * POLL_WINDOW / 40;
        v.push_back(sample_at(utc(7, 5, 3) + static_cast<file_time>(i * 5 * MS),
                              {12300 * US, arrival, -1, 0, POLL_WINDOW, 3 * POLL_WINDOW - arrival}));
    }
    precise_offset p;
    ASSERT_TRUE(estimate_precise_offset(v, p));
    EXPECT_NEAR(p.offset_us, 12300, TOLERANCE_US);
}

TEST(PreciseOffset, AHeldUpFirstPollDoesNotPullTheEstimate)
{
    // The host held one sample's first poll 3.7 ms, past the reply's arrival:
    // nothing narrows the arrival down, and its midpoint guess is early.
    std::vector<clock_sample> v = pass({12300 * US, 3 * MS, -1, 0, POLL_WINDOW});
    clock_sample& held = v[9];
    held.pc_empty_poll = held.pc_before;
    held.pc_waiting = held.pc_before + static_cast<file_time>(3700 * US);
    precise_offset p;
    ASSERT_TRUE(estimate_precise_offset(v, p));
    EXPECT_NEAR(p.offset_us, 12300, TOLERANCE_US);
}

TEST(PreciseOffset, SteadyLatencyShowsInTheUncertainty)
{
    // Every reply waits 0.3 ms for the poll: the same error in every sample.
    std::vector<clock_sample> v = pass({12300 * US, 3 * MS, -1, 0, POLL_WINDOW, 300 * US});
    precise_offset p;
    ASSERT_TRUE(estimate_precise_offset(v, p));
    EXPECT_GT(p.uncertainty_us, std::fabs(p.offset_us - 12300));
    EXPECT_LT(p.uncertainty_us, 300);
}

TEST(PreciseOffset, OneSampleIsKnownOnlyToItsBracket)
{
    precise_offset p;
    ASSERT_TRUE(estimate_precise_offset(pass({12300 * US, 4 * MS}, 1), p));
    EXPECT_NEAR(p.offset_us, 12300, TOLERANCE_US);
    EXPECT_GE(p.uncertainty_us, 2000);
}

TEST(PreciseOffset, ScatterShowsInTheUncertainty)
{
    // Alternately 0.5 ms early and late within equal brackets.
    std::vector<clock_sample> v;
    for (int i = 0; i < 20; ++i)
        v.push_back(sample_at(utc(7, 5, 3) + static_cast<file_time>(i * 3 * MS),
                              {12300 * US, 3 * MS, (i % 2 ? 2000 : 1000) * US}));
    precise_offset p;
    ASSERT_TRUE(estimate_precise_offset(v, p));
    EXPECT_NEAR(p.offset_us, 12300, TOLERANCE_US);
    EXPECT_GT(p.uncertainty_us, 500 / std::sqrt(20.0) * 0.9);
}

TEST(PreciseOffset, NothingFromSamplesThatMakeNoTime)
{
    std::vector<clock_sample> v = pass({0}, 3);
    for (clock_sample& c : v)
        c.minute = 61;
    precise_offset p;
    p.offset_us = -1;
    EXPECT_FALSE(estimate_precise_offset(v, p));
    EXPECT_FALSE(estimate_precise_offset({}, p));
    EXPECT_EQ(p.offset_us, -1);
}

TEST(PreciseOffset, RestsOnlyOnSamplesThePrintedFiguresUse)
{
    // A reading a whole second off: the watch read its counter as the
    // second turned. The reduction sets it aside; so must the estimate.
    const std::vector<clock_sample> v = pass({12300 * US}, CLOCK_SAMPLES_MAX);
    std::copy(v.begin(), v.end(), clock_samples.begin());
    clock_sample_count = CLOCK_SAMPLES_MAX;
    clock_samples[7].second = static_cast<uint8_t>((clock_samples[7].second + 1) % 60);
    clock_statistics stats;
    bool reduced = false;
    capture_stdout([&] { reduced = reduce_clock_samples(stats); });
    ASSERT_TRUE(reduced);
    ASSERT_EQ(clock_samples[7].use, sample_use::off_median);
    precise_offset p;
    ASSERT_TRUE(estimate_precise_offset(used_clock_samples(), p));
    EXPECT_NEAR(p.offset_us, 12300, TOLERANCE_US);
    EXPECT_EQ(p.used, CLOCK_SAMPLES_MAX - CLOCK_SAMPLES_SKIPPED - 1);
}

TEST(PreciseOffset, UsedSamplesLeaveOutTheFirstTwo)
{
    clock_samples = {};
    clock_sample_count = 5;
    clock_samples[2].minute = 42;
    EXPECT_EQ(used_clock_samples().size(), 3u);
    EXPECT_EQ(used_clock_samples().front().minute, 42);
    clock_sample_count = 1;
    EXPECT_TRUE(used_clock_samples().empty());
}

}  // namespace
