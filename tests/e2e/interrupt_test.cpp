// SPDX-License-Identifier: MIT
// Runs ended by a signal: the work in hand is finished or not begun, the
// watch leaves sync mode, the access point is stopped, reset and closed, one
// line says what was left undone, and the exit status is 128 + the signal.
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "aplink/ap_commands.h"
#include "tests/support/sim_harness.h"
#include "watchlink/protocol.h"

namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const std::vector<uint8_t> CLOSED = {AP_SYNC_SEND_COMMAND, AP_VAM_STOP, AP_RESET};

struct interrupt_case {
    const char* name;
    std::vector<std::string> command;
    int signal;
    uint8_t signal_on;  // after this watch command
    int signal_after;   // had reached the watch so many times
    int stdout_lines;   // -1: the output is read to its end
    const char* undone;
    uint8_t never_sent;  // a watch command the closing must not be preceded by
};
void PrintTo(const interrupt_case& c, std::ostream* os) { *os << c.name; }

class Interrupted : public testing::TestWithParam<interrupt_case> {};

TEST_P(Interrupted, ClosesInOrderAndSaysWhatWasLeft)
{
    const interrupt_case& c = GetParam();
    run_options o;
    o.command = c.command;
    o.signal = c.stdout_lines < 0 ? c.signal : 0;  // a broken pipe comes from the reader
    o.signal_on = c.signal_on;
    o.signal_after = c.signal_after;
    o.stdout_lines = c.stdout_lines;
    o.env = {{"TZ", "Asia/Tokyo"}};
    if (c.command[0] == "orv3param") {
        o.stdout_tty = true;
        o.cwd = make_temp_dir();
        std::ofstream(o.cwd + "/ORV3PARAM.INI") << "[heq_info]\nheq_a=7\nT2_b=9\na_day=3\n";
        o.input = "y\ny\ny\n";
    }
    const run_result r = run_tool(o);
    EXPECT_EQ(r.status, 128 + c.signal) << r.err;
    EXPECT_TRUE(r.err.ends_with(std::string("\nInterrupted by ") + c.undone + "\n")) << r.err;
    EXPECT_EQ(closing_codes(r.wire), CLOSED);
    EXPECT_EQ(watch_sendings(r.wire, CMD_EXIT_SYNC), 1);
    EXPECT_EQ(watch_sendings(r.wire, c.never_sent), 0);
    EXPECT_FALSE(has(r.out, "average diff"));
}

std::string case_name(const testing::TestParamInfo<interrupt_case>& i) { return i.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Signals, Interrupted,
    testing::Values(
        interrupt_case{"SigintWhileTheReaderSamples", {"orv3get"}, SIGINT, CMD_READ_CLOCK, 5, -1,
                       "SIGINT: no reading was taken.", CMD_WRITE_EXTRA0},
        interrupt_case{"SighupWhileTheSetterMeasures", {"orv3set"}, SIGHUP, CMD_READ_CLOCK, 5, -1,
                       "SIGHUP: the watch's time was not set.", CMD_WRITE_EXTRA0},
        // The write in hand is finished and checked; the next is not begun.
        interrupt_case{"SigtermDuringAnHeqWrite", {"orv3param"}, SIGTERM, CMD_WRITE_EXTRA1, 1, -1,
                       "SIGTERM: written: extra1 (not stored in flash); not written: extra2, extra4.",
                       CMD_WRITE_EXTRA2},
        // orv3dump | head -3
        interrupt_case{"SigpipeOnTheDump", {"orv3dump"}, SIGPIPE, 0, 0, 3,
                       "SIGPIPE: the blocks from 1800 on were not all printed.", CMD_WRITE_EXTRA0}),
    case_name);

// A second request while the run closes ends it at once: no more frames
// after the exit command, no closing line.
TEST(InterruptedTwice, EndsAtOnceDuringTheClosing)
{
    run_options o;
    o.command = {"orv3get"};
    o.signal = SIGINT;
    o.signal_on = CMD_READ_CLOCK;
    o.signal_after = 5;
    o.signal_again_ms = 300;  // well inside the second after the exit command
    const run_result r = run_tool(o);
    EXPECT_EQ(r.status, 128 + SIGINT);
    EXPECT_FALSE(has(r.err, "Interrupted by")) << r.err;
    EXPECT_EQ(closing_codes(r.wire), std::vector<uint8_t>{AP_SYNC_SEND_COMMAND});
}

}  // namespace
