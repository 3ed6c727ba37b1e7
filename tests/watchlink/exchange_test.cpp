// SPDX-License-Identifier: MIT
// The standard exchange and the single sending against the simulated watch,
// counted on the wire.
#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/linked_watch.h"
#include "watchlink/exchange.h"

namespace {

constexpr uint8_t UNTOUCHED = 0xEE;

struct exchange_case {
    const char* name;
    std::vector<std::string> sim_args;
    int retries;
    uint8_t expected_tag;
    int sendings;
    bool result;
    uint16_t status;
    bool read;         // a reply was read and handed back
    bool tag_matches;  // its tag is the expected one
};

void PrintTo(const exchange_case& c, std::ostream* os) { *os << c.name; }

class SyncExchange : public testing::TestWithParam<exchange_case> {};

TEST_P(SyncExchange, SendingsResultStatusAndReply)
{
    const exchange_case& c = GetParam();
    linked_watch w(c.sim_args);
    uint16_t status = 1;
    watch_reply reply{};
    reply.fill(UNTOUCHED);
    const bool ok = sync_exchange(status, make_command(CMD_READ_EXTRA0), reply, c.retries, c.expected_tag);
    EXPECT_EQ(ok, c.result);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(w.sendings(CMD_READ_EXTRA0), c.sendings);
    const auto replies = w.replies();
    if (c.status == 0) {
        // Every attempt polled to the end; one more poll before the first
        // sending looked for stale replies.
        const auto polls = frames_of(w.sim.wire(), "pc>ap", 1, AP_SYNC_GET_BUFFER_STATUS).size();
        EXPECT_EQ(polls, static_cast<std::size_t>(c.sendings * POLL_EXCHANGE.polls + 1));
    }
    if (!c.read) {
        EXPECT_TRUE(std::all_of(reply.begin(), reply.end(), [](uint8_t b) { return b == UNTOUCHED; }));
        return;
    }
    // What comes back is the last reply read, whatever its tag.
    EXPECT_EQ(std::vector<uint8_t>(reply.begin(), reply.end()), replies.back().bytes);
    EXPECT_EQ(reply[POS_TAG] == TAG_EXTRA0, c.tag_matches);
}

std::string case_name(const testing::TestParamInfo<exchange_case>& i) { return i.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Watches, SyncExchange,
    testing::Values(
        exchange_case{"AnsweringRetry0SendsOnce", {}, 0, TAG_EXTRA0, 1, true, 1, true, true},
        exchange_case{"AnsweringRetry4SendsOnce", {}, 4, TAG_EXTRA0, 1, true, 1, true, true},
        exchange_case{"AnswersThirdSending", {sim_arg("answer-on", CMD_READ_EXTRA0, ":3")}, 4, TAG_EXTRA0, 3, true, 1, true, true},
        exchange_case{"AnswersFifthSending", {sim_arg("answer-on", CMD_READ_EXTRA0, ":5")}, 4, TAG_EXTRA0, 5, true, 1, true, true},
        // The access point answered every poll: true, with status 0.
        exchange_case{"SilentRetry0", {"--silent-after=0"}, 0, TAG_EXTRA0, 1, true, 0, false, false},
        exchange_case{"SilentNegativeRetriesSendOnce", {"--silent-after=0"}, -3, TAG_EXTRA0, 1, true, 0, false, false},
        exchange_case{"SilentThroughFiveSendings", {sim_arg("answer-on", CMD_READ_EXTRA0, ":6")}, 4, TAG_EXTRA0, 5, true, 0, false, false},
        // The last reply is handed back, but a reply to another command is no answer.
        exchange_case{"WrongTagsRetry2", {"--wrong-tag=100"}, 2, TAG_EXTRA0, 3, false, 1, true, false},
        exchange_case{"FirstTagWrong", {"--wrong-tag=1"}, 2, TAG_EXTRA0, 2, true, 1, true, true},
        exchange_case{"AnyTagTakesFirstReply", {"--wrong-tag=100"}, 4, 0, 1, true, 1, true, false},
        // Polls refused while a reply waits: every poll fails, the result with it.
        exchange_case{"PollsRefused", {sim_refuse(AP_SYNC_GET_BUFFER_STATUS)}, 0, TAG_EXTRA0, 1, false, 1, false, false}),
    case_name);

// A watch that answers extra0 twice: the copy waits in the buffer when the
// next command goes out, and must not pass for its answer.
enum class next_fetch { exchange, single_send, exchange_any_tag };

void PrintTo(next_fetch f, std::ostream* os)
{
    *os << (f == next_fetch::exchange ? "exchange" : f == next_fetch::single_send ? "single sending" : "any tag");
}

class StaleReply : public testing::TestWithParam<next_fetch> {};

TEST_P(StaleReply, IsNotTakenForTheNextAnswer)
{
    linked_watch w({sim_arg("repeat-reply", CMD_READ_EXTRA0)});
    uint16_t status = 1;
    watch_reply reply{};
    ASSERT_TRUE(sync_exchange(status, make_command(CMD_READ_EXTRA0), reply, 0, TAG_EXTRA0));
    ASSERT_EQ(status, 1);
    const watch_command next = make_command(CMD_READ_EXTRA1);
    bool ok = false;
    switch (GetParam()) {
    case next_fetch::exchange:
        ok = sync_exchange(status, next, reply, 0, TAG_EXTRA1);
        break;
    case next_fetch::exchange_any_tag:
        ok = sync_exchange(status, next, reply, 0, 0);
        break;
    case next_fetch::single_send:
        ok = send_and_fetch(status, next, reply, POLL_EXCHANGE);
        break;
    }
    EXPECT_TRUE(ok);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(reply[POS_CODE], CMD_READ_EXTRA1);
    EXPECT_EQ(reply[POS_TAG], TAG_EXTRA1);
    EXPECT_EQ(w.sendings(CMD_READ_EXTRA1), 1);
    const auto replies = w.replies();
    ASSERT_EQ(replies.size(), 3u);  // the repeated one was there to be taken
    EXPECT_EQ(replies[1].bytes[POS_CODE], CMD_READ_EXTRA0);
}

INSTANTIATE_TEST_SUITE_P(Fetches, StaleReply,
                         testing::Values(next_fetch::exchange, next_fetch::single_send, next_fetch::exchange_any_tag));

// Bytes a command does not use are zero, on every sending.
TEST(SyncExchangeFrames, CommandGoesOutUnchangedOnEverySending)
{
    linked_watch w({sim_arg("answer-on", CMD_READ_EXTRA3, ":3")});
    uint16_t status = 1;
    watch_reply reply{};
    ASSERT_TRUE(sync_exchange(status, make_command(CMD_READ_EXTRA3), reply, 2, TAG_EXTRA3));
    const auto sent = frames_of(w.sim.wire(), "ap>watch", POS_CODE, CMD_READ_EXTRA3);
    ASSERT_EQ(sent.size(), 3u);
    for (const wire_frame& f : sent) {
        ASSERT_EQ(f.bytes.size(), static_cast<std::size_t>(WATCH_FRAME_SIZE));
        EXPECT_TRUE(std::all_of(f.bytes.begin() + 1, f.bytes.end(), [](uint8_t b) { return b == 0; }));
    }
}

}  // namespace
