// SPDX-License-Identifier: MIT
// orv3get against an access point whose replies come late, short or empty,
// and a host that stalls clock samples: no reading is made of another
// command's reply or of samples that cannot be right.
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/faulty_link.h"
#include "tests/e2e/setter_runs.h"
#include "tools/clock_sampling.h"
#include "watchlink/run_frame.h"

namespace {

const std::string TRUE_OFFSET_KEY = "true offset at them: mean ";
const std::string READER_OFFSET = "--offset=12.3";

bool has_line_starting(const std::string& text, const std::string& start)
{
    for (const std::string& l : lines_of(text))
        if (l.rfind(start, 0) == 0)
            return true;
    return false;
}

struct reader_case {
    const char* name;
    std::vector<std::string> sim_args;
    int code;
    const char* message;  // on both streams; none for a reading
    int left_out;         // "diff" lines that say their sample is not used
};

void PrintTo(const reader_case& c, std::ostream* os) { *os << c.name; }

class ReaderOnAFaultyLink : public testing::TestWithParam<reader_case> {};

TEST_P(ReaderOnAFaultyLink, ReadsTrulyOrNotAtAll)
{
    const reader_case& c = GetParam();
    run_options o;
    o.sim_args = c.sim_args;
    o.sim_args.push_back(READER_OFFSET);
    o.command = {"orv3get"};
    const run_result r = run_tool(o);
    EXPECT_EQ(r.status, exit_status(c.code)) << r.out << r.err;
    EXPECT_EQ(count_of(r.out, "  not used: "), static_cast<std::size_t>(c.left_out)) << r.out;
    if (c.code != 0) {
        EXPECT_FALSE(has_line_starting(r.out, "average diff")) << r.out;
        EXPECT_EQ(count_of(r.out, c.message), 1u) << r.out;
        EXPECT_TRUE(ends_with(r.err, c.message)) << r.err;
        return;
    }
    double truth = NAN;
    ASSERT_TRUE(number_after(r.summary, TRUE_OFFSET_KEY, truth)) << r.summary;
    double average = NAN;
    ASSERT_TRUE(number_after(r.out, "average diff = ", average)) << r.out;
    EXPECT_NEAR(average, truth, AGREEMENT_MS) << r.out;
}

std::string reader_name(const testing::TestParamInfo<reader_case>& i) { return i.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Faults, ReaderOnAFaultyLink,
    testing::Values(
        reader_case{"StatusLate130", {STATUS_LATE_130}, TOOL_COMM_ERROR, MSG_COMM_ERROR, 0},
        reader_case{"StatusLate250", {STATUS_LATE_250}, TOOL_COMM_ERROR, MSG_COMM_ERROR, 0},
        reader_case{"ReadLate500", {READ_LATE_500}, TOOL_COMM_ERROR, MSG_COMM_ERROR, 0},
        reader_case{"ReadLate650", {READ_LATE_650}, TOOL_COMM_ERROR, MSG_COMM_ERROR, 0},
        reader_case{"ReadEmpty", {READ_EMPTY}, TOOL_COMM_ERROR, MSG_COMM_ERROR, 0},
        reader_case{"ReadShort", {READ_SHORT}, TOOL_COMM_ERROR, MSG_COMM_ERROR, 0},
        // A few slips on the way: the link comes back in step, the reading is true.
        reader_case{"StatusLateThrice", {fault("ap-late", 200, AP_SYNC_GET_BUFFER_STATUS, ":3")}, 0, "", 0},
        reader_case{"ReadShortTwice", {fault("ap-short", AP_HEADER_SIZE + 9, AP_SYNC_READ_BUFFER, ":2")}, 0, "",
                    0},
        // Records 2 on are clock reads 3 on.
        reader_case{"ThreeSamplesStalled", {stall("5,9,14")}, 0, "", 3},
        reader_case{"MostSamplesStalled", {stall("3-13")}, TOOL_NO_READING, MSG_TOO_FEW_SAMPLES, 11}),
    reader_name);

}  // namespace
