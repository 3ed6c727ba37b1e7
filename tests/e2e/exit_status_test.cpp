// SPDX-License-Identifier: MIT
// Every executable's exit status says whether it did its job: no access
// point, no link, a watch that stops answering, results that cannot be written.
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "aplink/ap_commands.h"
#include "tests/support/sim_harness.h"
#include "tools/tools.h"
#include "watchlink/protocol.h"
#include "watchlink/run_frame.h"

namespace {

int exit_status(int code) { return code & 0xFF; }
bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const std::string NO_ACCESS_POINT = "--description=Some other serial device";
const std::string NO_LINK = sim_refuse(AP_VAM_START);

struct frame_case {
    const char* name;
    std::vector<std::string> command;
    bool console;  // needs a terminal as standard output and a parameter file
    std::string fault;
    int code;
    const char* message;
};
void PrintTo(const frame_case& c, std::ostream* os) { *os << c.name; }

class ToolWithoutLink : public testing::TestWithParam<frame_case> {};

TEST_P(ToolWithoutLink, SaysSoOnBothStreamsAndFails)
{
    const frame_case& c = GetParam();
    run_options o;
    o.command = c.command;
    o.sim_args = {c.fault};
    o.stdout_tty = c.console;
    if (c.console) {
        o.cwd = make_temp_dir();
        std::ofstream(o.cwd + "/ORV3PARAM.INI") << "[heq_info]\nheq_a=1\n";
    }
    const run_result r = run_tool(o);
    EXPECT_EQ(r.status, exit_status(c.code)) << r.err;
    EXPECT_TRUE(has(r.out, c.message)) << r.out;
    EXPECT_TRUE(has(r.err, c.message)) << r.err;
    EXPECT_TRUE(frames_of(r.wire, "pc>ap", 1, AP_SYNC_SEND_COMMAND).empty());
}

std::string case_name(const testing::TestParamInfo<frame_case>& i) { return i.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Tools, ToolWithoutLink,
    testing::Values(frame_case{"GetNoAccessPoint", {"orv3get"}, false, NO_ACCESS_POINT, TOOL_NO_LINK, MSG_NO_ACCESS_POINT},
                    frame_case{"GetNoLink", {"orv3get"}, false, NO_LINK, TOOL_NO_LINK, MSG_NO_LINK},
                    frame_case{"SetNoAccessPoint", {"orv3set"}, false, NO_ACCESS_POINT, TOOL_NO_LINK, MSG_NO_ACCESS_POINT},
                    frame_case{"SetNoLink", {"orv3set"}, false, NO_LINK, TOOL_NO_LINK, MSG_NO_LINK},
                    frame_case{"TempoffNoAccessPoint", {"orv3set", "tempoff=5"}, true, NO_ACCESS_POINT, TEMPOFF_NO_LINK,
                               MSG_NO_ACCESS_POINT},
                    frame_case{"TempoffNoLink", {"orv3set", "tempoff=5"}, true, NO_LINK, TEMPOFF_NO_LINK, MSG_NO_LINK},
                    frame_case{"DumpNoAccessPoint", {"orv3dump"}, false, NO_ACCESS_POINT, TOOL_NO_LINK, MSG_NO_ACCESS_POINT},
                    frame_case{"DumpNoLink", {"orv3dump"}, false, NO_LINK, TOOL_NO_LINK, MSG_NO_LINK},
                    frame_case{"ParamNoAccessPoint", {"orv3param"}, true, NO_ACCESS_POINT, TOOL_NO_LINK, MSG_NO_ACCESS_POINT},
                    frame_case{"ParamNoLink", {"orv3param"}, true, NO_LINK, TOOL_NO_LINK, MSG_NO_LINK}),
    case_name);

// The watch falls silent after extra3 and a few clock readings: the setter
// says so on both streams, sends no time command, and closes in full.
TEST(SetterExitStatus, WatchFallsSilentMidStep)
{
    run_options o;
    o.command = {"orv3set"};
    o.sim_args = {"--silent-after=6"};
    o.env = {{"TZ", "Asia/Tokyo"}};
    const run_result r = run_tool(o);
    EXPECT_EQ(r.status, exit_status(TOOL_COMM_ERROR));
    EXPECT_TRUE(r.out.ends_with(MSG_COMM_ERROR)) << r.out;
    EXPECT_TRUE(has(r.err, MSG_COMM_ERROR)) << r.err;
    EXPECT_FALSE(has(r.err, "DONE!"));
    EXPECT_EQ(watch_sendings(r.wire, CMD_WRITE_EXTRA0), 0);
    const auto sent = frames_of(r.wire, "pc>ap");
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().bytes[1], AP_RESET);
}

// Every result lost on a full device: said on the standard error stream,
// and no success.
TEST(OutputExitStatus, FullDeviceAsStandardOutput)
{
    run_options o;
    o.command = {"orv3get"};
    o.stdout_file = "/dev/full";
    const run_result r = run_tool(o);
    EXPECT_EQ(r.status, exit_status(TOOL_OUTPUT_FAILED)) << r.err;
    EXPECT_TRUE(has(r.err, "Results could not be written to the standard output")) << r.err;
    // The run itself went to its end.
    EXPECT_EQ(watch_sendings(r.wire, CMD_EXIT_SYNC), 1);
    EXPECT_EQ(frames_of(r.wire, "pc>ap").back().bytes[1], AP_RESET);
}

// A tool started without one of its standard streams: the port does not
// take the stream's place, so nothing meant for the console reaches the line
// and no answer is read from it.
struct stream_case {
    const char* name;
    int closed;
    std::vector<std::string> command;
};
void PrintTo(const stream_case& c, std::ostream* os) { *os << c.name; }

class ClosedStandardStream : public testing::TestWithParam<stream_case> {};

TEST_P(ClosedStandardStream, LeavesTheLineToTheAccessPoint)
{
    const stream_case& c = GetParam();
    sim_server sim;  // the command starts as its own child, streams and all
    run_options o;
    o.server = &sim;
    o.command = c.command;
    o.closed_stream = c.closed;
    o.input = "y\ny\ny\n";  // unread when the standard input is closed
    if (c.command[0] == "orv3param") {
        o.stdout_tty = true;
        o.cwd = make_temp_dir();
        std::ofstream(o.cwd + "/ORV3PARAM.INI") << "[heq_info]\nheq_a=7\n";
    }
    run_result r = run_tool(o);
    EXPECT_EQ(r.status, 0) << r.err;
    sim.stop();
    r.wire = sim.wire();
    for (const wire_frame& f : frames_of(r.wire, "note"))
        EXPECT_FALSE(has(f.note, "stray bytes")) << f.note;
    EXPECT_EQ(closing_codes(r.wire), (std::vector<uint8_t>{AP_SYNC_SEND_COMMAND, AP_VAM_STOP, AP_RESET}));
    // Without its input the HEQ tool hears no to every question.
    if (c.closed == 0) {
        EXPECT_EQ(watch_sendings(r.wire, CMD_WRITE_EXTRA1), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, ClosedStandardStream,
                         testing::Values(stream_case{"Input", 0, {"orv3param"}}, stream_case{"Output", 1, {"orv3get"}},
                                         stream_case{"Error", 2, {"orv3get"}}),
                         [](const auto& i) { return std::string(i.param.name); });

}  // namespace
