// SPDX-License-Identifier: MIT
// Frames and transactions on a real pseudo-terminal, checked on the wire.
#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <thread>

#include "aplink/frames.h"
#include "aplink/qx_internal.h"
#include "aplink/qxap.h"
#include "aplink/serial.h"
#include "platform/clock.h"
#include "tests/support/ap_session.h"

namespace {

TEST(ApFrames, RequestFramesCarryStartMarkCodeAndTotalLength)
{
    ap_session ap;
    ASSERT_TRUE(QX_SYNC_Start());
    std::array<unsigned char, AP_WATCH_FRAME_SIZE> cmd{};
    std::iota(cmd.begin(), cmd.end(), 0x40);
    ASSERT_TRUE(QX_SYNC_SendCommand(cmd.data()));
    std::array<unsigned char, AP_MAX_PAYLOAD> chunk{};
    std::iota(chunk.begin(), chunk.end(), 0x80);
    unsigned long sent = 0;
    ASSERT_TRUE(QX_KEPL_Send_Data(chunk.data(), AP_MAX_PAYLOAD, sent));

    const auto req = ap.requests();
    ASSERT_EQ(req.size(), 3u);
    EXPECT_EQ(req[0].bytes, (std::vector<uint8_t>{0xFF, AP_SYNC_START, 0x03}));

    ASSERT_EQ(req[1].bytes.size(), 22u);
    EXPECT_EQ(req[1].bytes[0], 0xFF);
    EXPECT_EQ(req[1].bytes[1], AP_SYNC_SEND_COMMAND);
    EXPECT_EQ(req[1].bytes[2], 0x16);
    EXPECT_TRUE(std::equal(cmd.begin(), cmd.end(), req[1].bytes.begin() + 3));

    ASSERT_EQ(req[2].bytes.size(), 31u);
    EXPECT_EQ(req[2].bytes[1], AP_KEPL_SEND_DATA);
    EXPECT_EQ(req[2].bytes[2], 0x1F);
    EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), req[2].bytes.begin() + 3));
}

// A command that gets no reply fails with status 0 once the read bound of
// its reply size has run out, and no later than that by much.
struct silent_case {
    const char* name;
    bool (*call)();
    int reply_size;
};
bool reset() { return QX_Reset(); }
bool read_buffer()
{
    unsigned char r[AP_WATCH_FRAME_SIZE];
    return QX_SYNC_ReadBuffer(r);
}
void PrintTo(const silent_case& c, std::ostream* os) { *os << c.name; }
class ApSilent : public testing::TestWithParam<silent_case> {};

TEST_P(ApSilent, FailsWithStatusZeroAfterTheReadBound)
{
    ap_session ap({"--ap-silent=1"});
    ASSERT_EQ(lastStatus, AP_STATUS_ACK);
    const int64_t start = plat_monotonic_ns();
    EXPECT_FALSE(GetParam().call());
    const double ms = ms_since(start);
    EXPECT_EQ(lastStatus, 0);
    EXPECT_GE(ms, read_bound_ms(GetParam().reply_size) - 2);
    EXPECT_LT(ms, 1000);
}
INSTANTIATE_TEST_SUITE_P(Replies, ApSilent,
                         testing::Values(silent_case{"Reset", reset, 4}, silent_case{"ReadBuffer", read_buffer, 22}),
                         [](const auto& i) { return std::string(i.param.name); });

// The status value is reply byte 3 alone, whatever bytes 0 and 2 hold.
class ApHeaderBytes : public testing::TestWithParam<int> {};

TEST_P(ApHeaderBytes, StatusValueIsByteThree)
{
    ap_session ap({"--ap-value=0x2A", "--ap-header=" + hex_arg(GetParam())});
    unsigned short status = 0;
    ASSERT_TRUE(QX_GetStatus(status));
    EXPECT_EQ(status, 0x2A);
    const auto replies = frames_of(ap.sim.wire(), "ap>pc");
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].bytes, (std::vector<uint8_t>{static_cast<uint8_t>(GetParam()), AP_STATUS_ACK,
                                                      static_cast<uint8_t>(GetParam()), 0x2A}));
}
INSTANTIATE_TEST_SUITE_P(Values, ApHeaderBytes, testing::Values(0x00, 0x06, 0x2A, 0xFF));

// Short replies: a missing status reads 0; with the status there the command
// succeeds and the missing value reads 0, not what the previous reply left.
struct short_case {
    int sent;
    bool ok;
    int status;
};
void PrintTo(const short_case& c, std::ostream* os) { *os << c.sent << " bytes"; }
class ApShortReply : public testing::TestWithParam<short_case> {};

TEST_P(ApShortReply, MissingBytesReadAsZero)
{
    ap_session ap({"--ap-value=0x2A", "--ap-short=" + std::to_string(GetParam().sent) + "@" + hex_arg(AP_GET_STATUS)});
    unsigned long previous = 0;
    ASSERT_TRUE(QX_KEPL_GetStatus(previous));  // leaves 0x2A in the reply buffer
    ASSERT_EQ(previous, 0x2Au);
    unsigned short status = 0xBEEF;
    EXPECT_EQ(QX_GetStatus(status), GetParam().ok);
    EXPECT_EQ(lastStatus, GetParam().status);
    EXPECT_EQ(status, GetParam().ok ? 0 : 0xBEEF);
}
INSTANTIATE_TEST_SUITE_P(Sizes, ApShortReply,
                         testing::Values(short_case{0, false, 0}, short_case{1, false, 0},
                                         short_case{2, true, AP_STATUS_ACK}, short_case{3, true, AP_STATUS_ACK}),
                         [](const auto& i) { return "sent" + std::to_string(i.param.sent); });

// A reply that comes too late lands after its command gave up; the next
// command that purges first must read its own reply, not that one.
TEST(ApFrames, LateReplyIsNotTakenForTheNextPurgingCommandsReply)
{
    ap_session ap({"--ap-value=0x2A", "--ap-late=200@" + hex_arg(AP_RESET)});
    EXPECT_FALSE(QX_Reset());
    ASSERT_TRUE(ap.wait_for_frames("ap>pc", 1, 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the bytes are queued now
    unsigned short status = 0;
    EXPECT_TRUE(QX_GetStatus(status));
    EXPECT_EQ(status, 0x2A);
    // The stale reply was really there to be mistaken: it went out before the request.
    const auto wire = ap.sim.wire();
    ASSERT_GE(wire.size(), 3u);
    EXPECT_EQ(wire[1].dir, "ap>pc");
    EXPECT_EQ(wire[2].dir, "pc>ap");
    EXPECT_EQ(wire[2].bytes[1], AP_GET_STATUS);
}


// A reply that came short, late or after stray bytes leaves the line out of
// step; the link waits for a quiet line, so that the next command, one that
// does not purge first, reads its own reply. The exported result stays the
// status byte's; the tools learn of the slip from QX_LastReplyWhole.
struct step_case {
    const char* name;
    std::string fault;  // for the first buffer-status or read-buffer reply
    bool read_buffer;
    bool ok;
    bool whole;
};
void PrintTo(const step_case& c, std::ostream* os) { *os << c.name; }
class ApOutOfStep : public testing::TestWithParam<step_case> {};

TEST_P(ApOutOfStep, NextCommandReadsItsOwnReply)
{
    const step_case& c = GetParam();
    const uint8_t code = c.read_buffer ? AP_SYNC_READ_BUFFER : AP_SYNC_GET_BUFFER_STATUS;
    std::vector<std::string> args = {"--ap-value=0x2A"};
    if (!c.fault.empty())
        args.push_back(c.fault + "@" + hex_arg(code) + ":1");
    ap_session ap(args);
    if (c.read_buffer) {
        EXPECT_EQ(read_buffer(), c.ok);
    } else {
        unsigned short status = 0;
        EXPECT_EQ(QX_SYNC_GetBufferStatus(status), c.ok);
    }
    EXPECT_EQ(QX_LastReplyWhole(), c.whole);
    // Long enough for a late reply to have come, had the link not waited for it.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    unsigned short value = 0;
    EXPECT_TRUE(QX_Get73(value));
    EXPECT_EQ(value, 0x2A);
    EXPECT_TRUE(QX_LastReplyWhole());
}
INSTANTIATE_TEST_SUITE_P(
    Replies, ApOutOfStep,
    testing::Values(step_case{"InStep", "", false, true, true},
                    step_case{"StatusLate", "--ap-late=200", false, false, false},
                    step_case{"StatusAfterStrayBytes", "--ap-stray=2", false, false, false},
                    step_case{"ReadLate", "--ap-late=600", true, false, false},
                    // Acknowledged but empty: the exported command succeeds.
                    step_case{"ReadEmpty", "--ap-short=3", true, true, false},
                    step_case{"ReadShort", "--ap-short=12", true, true, false}),
    [](const auto& i) { return std::string(i.param.name); });

}  // namespace
