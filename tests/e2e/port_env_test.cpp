// SPDX-License-Identifier: MIT
// ORV3_PORT names the access point's port: the tools open it without looking
// for the access point, and a value that names no usable port opens nothing.
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

#include "aplink/ap_commands.h"
#include "tests/support/sim_harness.h"
#include "tools/tools.h"
#include "watchlink/run_frame.h"

namespace {

const std::string NOT_DISCOVERABLE = "--description=Some other serial device";
// Stands for the real path of the simulator's pseudo-terminal, outside ORV3_SYSROOT.
const std::string PTY = "<pty>";

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string format(const char* fmt, const std::string& a, const std::string& b)
{
    char text[512];
    std::snprintf(text, sizeof text, fmt, a.c_str(), b.c_str());
    return text;
}

std::string pty_of(const sim_server& sim, const std::string& device)
{
    char path[PATH_MAX] = {};
    return readlink((sim.sysroot + device).c_str(), path, sizeof path - 1) > 0 ? path : "";
}

struct chosen_case {
    const char* name;
    std::vector<std::string> sim_args;
    std::string value;
};
void PrintTo(const chosen_case& c, std::ostream* os) { *os << c.name; }

class PortChosen : public testing::TestWithParam<chosen_case> {};

TEST_P(PortChosen, RunsThroughThatPort)
{
    const chosen_case& c = GetParam();
    sim_server sim(c.sim_args);
    run_options o;
    o.server = &sim;
    o.command = {"orv3dump"};
    o.env = {{ORV3_PORT_ENV, c.value}};
    if (c.value == PTY) {
        const std::string pty = pty_of(sim, "/dev/ttyACM7");
        ASSERT_FALSE(pty.empty());
        o.env = {{ORV3_PORT_ENV, pty}, {"ORV3_SYSROOT", ""}};
    }
    const run_result r = run_tool(o);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(has(r.out, MSG_NO_ACCESS_POINT)) << r.out;
    sim.stop();
    EXPECT_EQ(frames_of(sim.wire(), "pc>ap", 1, AP_VAM_START).size(), 1u);
}

std::string chosen_name(const testing::TestParamInfo<chosen_case>& i) { return i.param.name; }

// Where the access point could not be discovered, only the variable leads to it.
INSTANTIATE_TEST_SUITE_P(
    Values, PortChosen,
    testing::Values(chosen_case{"Number", {NOT_DISCOVERABLE, "--port=12"}, "12"},
                    chosen_case{"NumberWithLeadingZeros", {NOT_DISCOVERABLE}, "007"},
                    chosen_case{"DevicePath", {NOT_DISCOVERABLE}, PTY},
                    chosen_case{"EmptyLeavesDiscovery", {}, ""}),
    chosen_name);

struct refused_case {
    const char* name;
    std::string value;
    std::string message;  // on the standard error stream besides MSG_NO_ACCESS_POINT
    bool held = false;    // another program holds the simulator's port
    bool tempoff = false;
};
void PrintTo(const refused_case& c, std::ostream* os) { *os << c.name; }

std::string invalid(const std::string& value) { return format(MSG_PORT_ENV_INVALID, ORV3_PORT_ENV, value); }
std::string missing(const std::string& path) { return format(MSG_PORT_ENV_MISSING, path, ORV3_PORT_ENV); }

class PortRefused : public testing::TestWithParam<refused_case> {};

// The access point could be discovered, so a tool that fell back to
// discovery would reach it: every value here must stop the tool unopened.
TEST_P(PortRefused, SaysWhyAndOpensNothing)
{
    const refused_case& c = GetParam();
    sim_server sim;
    int holder = -1;
    if (c.held) {
        holder = open((sim.sysroot + "/dev/ttyACM7").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(holder, 0);
        ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    }
    run_options o;
    o.server = &sim;
    o.command = {"orv3dump"};
    if (c.tempoff) {
        o.command = {"orv3set", "tempoff=5"};
        o.stdout_tty = true;
    }
    o.env = {{ORV3_PORT_ENV, c.value}};
    const run_result r = run_tool(o);
    if (holder >= 0)
        close(holder);
    EXPECT_EQ(r.status, exit_status(c.tempoff ? TEMPOFF_NO_LINK : TOOL_NO_LINK)) << r.err;
    EXPECT_TRUE(has(r.out, MSG_NO_ACCESS_POINT)) << r.out;
    EXPECT_TRUE(has(r.err, std::string(MSG_NO_ACCESS_POINT))) << r.err;
    EXPECT_TRUE(has(r.err, c.message)) << r.err;
    sim.stop();
    EXPECT_TRUE(frames_of(sim.wire(), "pc>ap").empty());
}

std::string refused_name(const testing::TestParamInfo<refused_case>& i) { return i.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Values, PortRefused,
    testing::Values(refused_case{"Letters", "ttyACM", invalid("ttyACM")},
                    refused_case{"TrailingLetter", "7x", invalid("7x")},
                    refused_case{"Blank", " ", invalid(" ")},
                    refused_case{"Negative", "-7", invalid("-7")},
                    refused_case{"AboveOneByte", "263", invalid("263")},
                    refused_case{"RelativePath", "dev/ttyACM7", invalid("dev/ttyACM7")},
                    refused_case{.name = "TempoffKeepsItsCode", .value = "x", .message = invalid("x"), .tempoff = true},
                    refused_case{"NumberNotThere", "9", missing("/dev/ttyACM9")},
                    refused_case{"PathNotThere", "/dev/ttyACM9", missing("/dev/ttyACM9")},
                    refused_case{.name = "Held", .value = "7", .message = format(MSG_PORT_BUSY, "/dev/ttyACM7", ""), .held = true}),
    refused_name);

}  // namespace
