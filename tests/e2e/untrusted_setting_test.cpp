// SPDX-License-Identifier: MIT
// orv3set against an access point whose replies come late, short or empty,
// and a host that stalls clock samples: no time command is built from what
// could not be read in step or from samples that cannot be right.
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/faulty_link.h"
#include "tests/e2e/setter_runs.h"
#include "tools/clock_sampling.h"

namespace {

struct setter_case {
    const char* name;
    std::vector<std::string> sim_args;
    bool no_reading;  // ends with -4 and the message on both streams
    int time_sets;
};

void PrintTo(const setter_case& c, std::ostream* os) { *os << c.name; }

class SetterOnAFaultyLink : public testing::TestWithParam<setter_case> {};

// The watch starts exactly right and must not end wrong: no time command from
// what could not be read in step, or from samples that fail the rule.
TEST_P(SetterOnAFaultyLink, SendsNoTimeOnAGuess)
{
    const setter_case& c = GetParam();
    const run_result r = run_setter(c.sim_args, {}, "Asia/Tokyo");
    EXPECT_EQ(count_of(r.err, "DONE!"), 0u) << r.err;
    EXPECT_EQ(commands_of(watch_commands(r.wire), CMD_WRITE_EXTRA0).size(), static_cast<std::size_t>(c.time_sets));
    const watch_end w = parse_summary(r.summary);
    EXPECT_EQ(w.time_sets, c.time_sets);
    ASSERT_TRUE(w.clock_found) << r.summary;
    EXPECT_NEAR(w.clock_error_ms, 0.0, c.time_sets == 0 ? 0.001 : AGREEMENT_MS) << r.summary;
    if (c.no_reading) {
        EXPECT_EQ(r.status, exit_status(TOOL_NO_READING));
        EXPECT_EQ(count_of(r.out, MSG_TOO_FEW_SAMPLES), 1u) << r.out;
        EXPECT_EQ(count_of(r.err, MSG_TOO_FEW_SAMPLES), 1u) << r.err;
    }
}

std::string setter_name(const testing::TestParamInfo<setter_case>& i) { return i.param.name; }

// A step takes 12 clock reads: the first step reads 1 to 12, the second 13 to 24.
INSTANTIATE_TEST_SUITE_P(
    Faults, SetterOnAFaultyLink,
    testing::Values(setter_case{"StatusLate250", {STATUS_LATE_250}, false, 0},
                    setter_case{"ReadLate650", {READ_LATE_650}, false, 0},
                    setter_case{"ReadEmpty", {READ_EMPTY}, false, 0},
                    setter_case{"ReadShort", {READ_SHORT}, false, 0},
                    setter_case{"FirstStepStalled", {stall("3-9")}, true, 0},
                    setter_case{"SecondStepStalled", {stall("15-21")}, true, 1}),
    setter_name);

}  // namespace
