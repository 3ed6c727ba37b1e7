// SPDX-License-Identifier: MIT
// Clock samples taken from the simulated watch: what is stored, what the
// watch's "not ready" and silence do to a pass, and stale replies.
#include <cstdlib>
#include <ostream>
#include <vector>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/linked_watch.h"
#include "tests/support/stdout_capture.h"
#include "tools/clock_sampling.h"
#include "watchlink/exchange.h"

namespace {

constexpr double OFFSET_MS = 250.4;
// Two or three used samples: one stalled by a busy host (within the
// plausibility margin) moves their mean by tens of ms, while a reading taken
// from another command's reply is seconds to minutes off.
constexpr double AGREEMENT_MS = 100.0;
const std::string OFFSET_ARG = "--offset=250.4";
constexpr uint8_t IRQ_ERR = 7;
const std::string IRQ_ERR_ARG = "--irq-err=7";

class ClockSampling : public testing::Test {
protected:
    void SetUp() override
    {
        clock_samples = {};
        clock_sample_count = 0;
    }
    // The figures of what was taken, against the watch's offset.
    clock_statistics reduced()
    {
        clock_statistics stats;
        capture_stdout([&] { EXPECT_TRUE(reduce_clock_samples(stats)); });
        return stats;
    }
};

TEST_F(ClockSampling, NotReadyRepliesCostNoSample)
{
    linked_watch w({"--not-ready=3", OFFSET_ARG, IRQ_ERR_ARG});
    uint16_t status = 1;
    EXPECT_EQ(take_clock_samples(6, CLOCK_POS_SUBSEC_CC, status), sampling_end::complete);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(clock_sample_count, 6);
    EXPECT_EQ(w.sendings(CMD_READ_CLOCK), 9);
    for (int i = 0; i < clock_sample_count; ++i) {
        const clock_sample& s = clock_samples[static_cast<std::size_t>(i)];
        EXPECT_EQ(s.irq_err, IRQ_ERR) << i;
        EXPECT_LT(s.pc_before, s.pc_after) << i;
        // The polls around the reply's arrival lie inside the bracket.
        EXPECT_LE(s.pc_before, s.pc_empty_poll) << i;
        EXPECT_LT(s.pc_empty_poll, s.pc_waiting) << i;
        EXPECT_LE(s.pc_waiting, s.pc_after) << i;
    }
    EXPECT_NEAR(static_cast<double>(reduced().average_diff), OFFSET_MS, AGREEMENT_MS);
}

// Sub-second counter read where the firmware puts it: the other position
// of this watch's replies holds zeros, which would show as whole seconds.
TEST_F(ClockSampling, SubsecondFromTheFirmwaresPosition)
{
    linked_watch w({sim_arg("fw-kind", FW_KIND_DD), "--fw-version=9", OFFSET_ARG});
    uint16_t status = 1;
    ASSERT_EQ(take_clock_samples(5, CLOCK_POS_SUBSEC, status), sampling_end::complete);
    EXPECT_NEAR(static_cast<double>(reduced().average_diff), OFFSET_MS, AGREEMENT_MS);
}

// Byte 18 of a clock reply is irq_err, not a tag: a watch that sends
// wrong tags leaves it alone.
TEST_F(ClockSampling, WrongTagsLeaveIrqErrAlone)
{
    linked_watch w({"--wrong-tag=100", IRQ_ERR_ARG});
    uint16_t status = 1;
    ASSERT_EQ(take_clock_samples(3, CLOCK_POS_SUBSEC_CC, status), sampling_end::complete);
    for (int i = 0; i < clock_sample_count; ++i)
        EXPECT_EQ(clock_samples[static_cast<std::size_t>(i)].irq_err, IRQ_ERR) << i;
}

struct pass_case {
    const char* name;
    std::vector<std::string> sim_args;
    int asked;
    sampling_end end;
    uint16_t status;
    int stored, sendings;
};

void PrintTo(const pass_case& c, std::ostream* os) { *os << c.name; }

class SamplingPass : public ClockSampling, public testing::WithParamInterface<pass_case> {};

TEST_P(SamplingPass, EndsWithItsRecords)
{
    const pass_case& c = GetParam();
    linked_watch w(c.sim_args);
    uint16_t status = 1;
    EXPECT_EQ(take_clock_samples(c.asked, CLOCK_POS_SUBSEC_CC, status), c.end);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(clock_sample_count, c.stored);
    EXPECT_EQ(w.sendings(CMD_READ_CLOCK), c.sendings);
}

std::string pass_name(const testing::TestParamInfo<pass_case>& i) { return i.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Watches, SamplingPass,
    testing::Values(
        // The watch still answers when it gives up: status stays 1.
        pass_case{"EndlessNotReadyGivesUp", {"--not-ready=100000"}, 3, sampling_end::clock_not_ready, 1, 0,
                  CLOCK_NOT_READY_LIMIT},
        pass_case{"JustBelowTheLimitStillReads", {sim_arg("not-ready", CLOCK_NOT_READY_LIMIT - 1)}, 1,
                  sampling_end::complete, 1, 1, CLOCK_NOT_READY_LIMIT},
        pass_case{"SilentWatchEndsThePass", {"--silent-after=3"}, 5, sampling_end::no_reply, 0, 3, 4},
        // The watch answered, its reply could not be fetched.
        pass_case{"RefusedReadEndsThePass", {sim_refuse(AP_SYNC_READ_BUFFER)}, 3, sampling_end::read_failed, 1, 0,
                  1},
        // Every status reply late, every read short: each reading is lost, taken
        // again a few times, and the pass ends with nothing stored.
        pass_case{"StatusAlwaysLate", {sim_arg("ap-late", 200, std::string("@").append(std::to_string(AP_SYNC_GET_BUFFER_STATUS)))}, 3,
                  sampling_end::no_reply, 0, 0, 1 + CLOCK_SLIP_LIMIT},
        pass_case{"ReadAlwaysShort", {sim_arg("ap-short", 12, std::string("@").append(std::to_string(AP_SYNC_READ_BUFFER)))}, 3,
                  sampling_end::read_failed, 1, 0, 1 + CLOCK_SLIP_LIMIT}),
    pass_name);

// Replies that came late or short are lost readings, never readings: the
// pass still ends with true samples.
TEST_F(ClockSampling, SlipsCostNoWrongReading)
{
    linked_watch w({sim_arg("ap-late", 200, std::string("@").append(std::to_string(AP_SYNC_GET_BUFFER_STATUS)) + ":2"),
                    sim_arg("ap-short", 12, std::string("@").append(std::to_string(AP_SYNC_READ_BUFFER)) + ":1"), OFFSET_ARG,
                    IRQ_ERR_ARG});
    uint16_t status = 1;
    ASSERT_EQ(take_clock_samples(6, CLOCK_POS_SUBSEC_CC, status), sampling_end::complete);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(clock_sample_count, 6);
    for (int i = 0; i < clock_sample_count; ++i)
        EXPECT_EQ(clock_samples[static_cast<std::size_t>(i)].irq_err, IRQ_ERR) << i;
    clock_statistics stats;
    const std::string out = capture_stdout([&] { EXPECT_TRUE(reduce_clock_samples(stats)); });
    EXPECT_EQ(out.find("not used"), std::string::npos) << out;
    EXPECT_NEAR(static_cast<double>(stats.average_diff), OFFSET_MS, AGREEMENT_MS);
}

TEST_F(ClockSampling, AppendsToTheTable)
{
    linked_watch w;
    uint16_t status = 1;
    ASSERT_EQ(take_clock_samples(2, CLOCK_POS_SUBSEC_CC, status), sampling_end::complete);
    ASSERT_EQ(take_clock_samples(3, CLOCK_POS_SUBSEC_CC, status), sampling_end::complete);
    EXPECT_EQ(clock_sample_count, 5);
    EXPECT_LT(clock_samples[1].pc_after, clock_samples[2].pc_before);
}

// A watch that answers a block read twice: the copy still waits when the
// first clock reading is asked for, and must not pass for it.
TEST_F(ClockSampling, StaleBlockReplyIsNotTakenForAReading)
{
    linked_watch w({sim_arg("repeat-reply", CMD_READ_EXTRA1), OFFSET_ARG, IRQ_ERR_ARG});
    uint16_t status = 1;
    watch_reply block{};
    ASSERT_TRUE(sync_exchange(status, make_command(CMD_READ_EXTRA1), block, 0, TAG_EXTRA1));
    ASSERT_EQ(take_clock_samples(4, CLOCK_POS_SUBSEC_CC, status), sampling_end::complete);
    EXPECT_EQ(frames_of(w.sim.wire(), "watch>ap", POS_CODE, CMD_READ_EXTRA1).size(), 2u);
    for (int i = 0; i < clock_sample_count; ++i)
        EXPECT_EQ(clock_samples[static_cast<std::size_t>(i)].irq_err, IRQ_ERR) << i;
    EXPECT_EQ(w.sendings(CMD_READ_CLOCK), 4);
    EXPECT_NEAR(static_cast<double>(reduced().average_diff), OFFSET_MS, AGREEMENT_MS);
}

}  // namespace
