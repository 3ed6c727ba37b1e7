// SPDX-License-Identifier: MIT
// The port is free for the next run, by any user, however the last run
// ended: killed outright, or on a communication error.
#include <climits>
#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "aplink/ap_commands.h"
#include "tests/support/sim_harness.h"
#include "tools/tools.h"
#include "watchlink/protocol.h"
#include "watchlink/run_frame.h"

namespace {

constexpr unsigned NOBODY = 65534;

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The simulator's device and tree open to every user, as a udev rule makes
// the real one.
void open_to_everyone(const sim_server& sim)
{
    char pty[PATH_MAX] = {};
    ASSERT_GT(readlink((sim.sysroot + "/dev/ttyACM7").c_str(), pty, sizeof pty - 1), 0);
    ASSERT_EQ(chmod(pty, 0666), 0);
    ASSERT_EQ(chmod(sim.sysroot.c_str(), 0755), 0);
}

struct first_run_case {
    const char* name;
    std::vector<std::string> sim_args;
    int signal;       // sent to the first run during its sampling; 0: none
    int first_status;
    int second_status;  // of the dump that follows, as another user
};
void PrintTo(const first_run_case& c, std::ostream* os) { *os << c.name; }

class PortFree : public testing::TestWithParam<first_run_case> {};

TEST_P(PortFree, ForAnotherUserRightAfterTheRun)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run the second run as another user";
    const first_run_case& c = GetParam();
    sim_server sim(c.sim_args);
    open_to_everyone(sim);

    run_options first;
    first.server = &sim;
    first.command = {"orv3get"};
    first.signal = c.signal;
    first.signal_on = CMD_READ_CLOCK;
    first.signal_after = 5;
    const run_result r1 = run_tool(first);
    EXPECT_EQ(r1.status, c.first_status) << r1.err;

    run_options second;
    second.server = &sim;
    second.command = {"orv3dump"};
    second.user = NOBODY;
    const run_result r2 = run_tool(second);
    EXPECT_EQ(r2.status, c.second_status) << r2.err;
    EXPECT_FALSE(has(r2.err, MSG_NO_ACCESS_POINT)) << r2.err;
    sim.stop();
    EXPECT_EQ(frames_of(sim.wire(), "pc>ap", 1, AP_VAM_START).size(), 2u);
}

std::string case_name(const testing::TestParamInfo<first_run_case>& i) { return i.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Endings, PortFree,
    testing::Values(first_run_case{"AfterSigkill", {}, SIGKILL, 128 + SIGKILL, 0},
                    // The watch falls silent mid-sampling, for the dump as well.
                    first_run_case{"AfterCommunicationError", {"--silent-after=15"}, 0, TOOL_COMM_ERROR & 0xFF,
                                   TOOL_COMM_ERROR & 0xFF}),
    case_name);

}  // namespace
