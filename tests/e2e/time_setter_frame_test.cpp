// SPDX-License-Identifier: MIT
// orv3set runs that never set the time: the temperature-offset mode, and the
// runs that end before the first step. None has the time command's busy
// wait, so these may run beside anything.
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/setter_runs.h"
#include "tools/tools.h"
#include "watchlink/run_frame.h"

namespace {

const tool_frame& SETTER = FRAME_TIME_SETTER;
const tool_frame& TEMPOFF = FRAME_TEMPOFF_MODE;
const char ZONE[] = "Asia/Tokyo";
// The watch's temperature offset before the write: 3.
const std::string OLD_TEMPOFF_3 = "--poke=0:" + std::to_string(EXTRA0_POS_TEMPOFF) + ":0300";
const std::string OLD_LINE = "OLD tempoff=3 NEW tempoff=-12\n";
constexpr int AP_STATUS_REFUSED = 0x15;  // any status but AP_STATUS_ACK

struct tempoff_case {
    const char* name;
    const char* arg;
    int32_t shown_new;  // as given
    uint16_t sent;      // its low 16 bits
    int16_t current;    // as read back
};

void PrintTo(const tempoff_case& c, std::ostream* os) { *os << c.name; }

const tempoff_case TEMPOFF_CASES[] = {
    {"negative", "tempoff=-12", -12, 0xFFF4, -12},
    // Values beyond 16 bits are refused before the run (command line tests).
    {"lowest_of_16_bits", "tempoff=-32768", -32768, 0x8000, -32768},
};

class TempoffMode : public ::testing::TestWithParam<tempoff_case> {};

TEST_P(TempoffMode, WritesTheOffsetAndReadsItBack)
{
    const tempoff_case& c = GetParam();
    // The zone options beside it change nothing: the run is the mode's.
    const run_result r = run_setter({OLD_TEMPOFF_3}, {"tz=5", c.arg, "dst=0"}, ZONE);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string(SETTER.banner) + "\n" + "OLD tempoff=3 NEW tempoff=" + std::to_string(c.shown_new) +
                         "\n" + "CURRENT tempoff=" + std::to_string(c.current) + "\n");
    // No reminder: the mode sets no time.
    EXPECT_EQ(r.err, std::string(TEMPOFF.prompt) + "0" + "2");

    const auto commands = watch_commands(r.wire);
    EXPECT_EQ(codes_text(command_codes(commands)),
              codes_text({CMD_READ_EXTRA0, CMD_READ_EXTRA2, CMD_WRITE_EXTRA0, CMD_READ_EXTRA0, CMD_EXIT_SYNC}));
    ASSERT_EQ(commands.size(), 5u);
    watch_command write{};
    write[POS_CODE] = CMD_WRITE_EXTRA0;
    put_u16(write.data(), EXTRA0_POS_TEMPOFF, c.sent);
    write[POS_SELECT_MASK] = SELECT_TEMPOFF;
    write[POS_TAG] = TAG_EXTRA0;
    EXPECT_EQ(commands[2], write);
    // The read-back is the same frame with the read command's code.
    watch_command read_back = write;
    read_back[POS_CODE] = CMD_READ_EXTRA0;
    EXPECT_EQ(commands[3], read_back);

    const watch_end w = parse_summary(r.summary);
    ASSERT_FALSE(w.blocks.empty()) << r.summary;
    EXPECT_EQ(get_u16(w.blocks[0].data(), EXTRA0_POS_TEMPOFF), c.sent);
    EXPECT_EQ(w.time_sets, 0);
    EXPECT_EQ(ap_requests(r.wire, AP_RESET), 2u);
}

INSTANTIATE_TEST_SUITE_P(Table, TempoffMode, ::testing::ValuesIn(TEMPOFF_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TempoffMode, RefusesRedirectedOutputBeforeTouchingTheAccessPoint)
{
    const std::string out = make_temp_dir() + "/out";
    const run_result r = run_setter({}, {"tempoff=-12"}, ZONE, out);
    EXPECT_EQ(r.status, exit_status(-100));
    EXPECT_EQ(r.out, SETTER.banner);
    EXPECT_EQ(r.err, std::string(SETTER.banner) + MSG_REDIRECT_REFUSED);
    EXPECT_TRUE(frames_of(r.wire, "pc>ap").empty());
}

TEST(TempoffMode, WatchThatKeepsItsOffset)
{
    // The watch drops the first write command it is sent.
    const run_result r = run_setter({OLD_TEMPOFF_3, "--answer-on=" + std::to_string(CMD_WRITE_EXTRA0) + ":2"},
                                    {"tempoff=-12"}, ZONE);
    EXPECT_EQ(r.status, exit_status(-40));
    EXPECT_EQ(r.out, std::string(SETTER.banner) + "\n" + OLD_LINE + "CURRENT tempoff=3\n");
    EXPECT_EQ(r.err, std::string(TEMPOFF.prompt) + "02" + MSG_EXTRA0_NOT_SET);
    EXPECT_EQ(ap_requests(r.wire, AP_RESET), 2u);
}

TEST(TempoffMode, WatchFallsSilentAfterTheReads)
{
    const run_result r = run_setter({OLD_TEMPOFF_3, "--silent-after=2"}, {"tempoff=-12"}, ZONE);
    EXPECT_EQ(r.status, exit_status(-1));
    EXPECT_EQ(r.out, std::string(SETTER.banner) + "\n" + OLD_LINE + MSG_COMM_ERROR);
    EXPECT_EQ(r.err, std::string(TEMPOFF.prompt) + "02" + MSG_COMM_ERROR);
    const auto codes = command_codes(watch_commands(r.wire));
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.back(), CMD_EXIT_SYNC);
    // The link is stopped, the access point reset and its port closed.
    EXPECT_EQ(ap_requests(r.wire, AP_VAM_STOP), 1u);
    EXPECT_EQ(ap_requests(r.wire, AP_RESET), 2u);
}

TEST(TempoffMode, FetchThatFailsWhileTheWatchAnswersIsNoSuccess)
{
    // Every sync buffer read is refused: the watch answers, its replies
    // never arrive.
    const run_result r = run_setter(
        {"--ap-refuse=" + std::to_string(AP_STATUS_REFUSED) + "@" + std::to_string(AP_SYNC_READ_BUFFER)}, {"tempoff=-12"}, ZONE);
    EXPECT_EQ(r.status, exit_status(-1));
    EXPECT_EQ(r.out, std::string(SETTER.banner) + MSG_COMM_ERROR);
    EXPECT_EQ(r.err, std::string(TEMPOFF.prompt) + MSG_COMM_ERROR);
    EXPECT_TRUE(commands_of(watch_commands(r.wire), CMD_WRITE_EXTRA0).empty());
    // Closed in full.
    EXPECT_EQ(ap_requests(r.wire, AP_RESET), 2u);
}

TEST(SetterRun, WatchThatNeverAnswersIsLeftAfterItsFirstBlock)
{
    const run_result r = run_setter({"--silent-after=0"}, {}, ZONE);
    EXPECT_EQ(r.status, exit_status(-1));
    EXPECT_EQ(r.out, std::string(SETTER.banner) + MSG_COMM_ERROR);
    EXPECT_EQ(r.err, std::string(MSG_REMINDER) + SETTER.prompt + MSG_COMM_ERROR);
    // Sent five times (four retries), then the closing.
    EXPECT_EQ(codes_text(command_codes(watch_commands(r.wire))),
              codes_text({CMD_READ_EXTRA3, CMD_READ_EXTRA3, CMD_READ_EXTRA3, CMD_READ_EXTRA3, CMD_READ_EXTRA3,
                          CMD_EXIT_SYNC}));
    EXPECT_EQ(ap_requests(r.wire, AP_RESET), 2u);
}

TEST(SetterRun, NoAccessPoint)
{
    // The simulator's port carries another device's description.
    const run_result r = run_setter({"--description=Another serial device"}, {}, ZONE);
    EXPECT_EQ(r.status, exit_status(-2));
    EXPECT_EQ(r.out, std::string(SETTER.banner) + MSG_NO_ACCESS_POINT);
    EXPECT_EQ(r.err, std::string(MSG_REMINDER) + MSG_NO_ACCESS_POINT);
    EXPECT_TRUE(frames_of(r.wire, "pc>ap").empty());
}

}  // namespace
