// SPDX-License-Identifier: MIT
// The PC clock line: formatting from given kernel values, and the kernel's own.
#include <gtest/gtest.h>

#include "tools/pc_clock_check.h"

namespace {

struct line_case {
    const char* name;
    pc_clock_state state;
    bool known;
    const char* line;
};
void PrintTo(const line_case& c, std::ostream* os) { *os << c.name; }
class PcClockLine : public testing::TestWithParam<line_case> {};

TEST_P(PcClockLine, SaysWhetherReadingsCanBeTrusted)
{
    EXPECT_EQ(pc_clock_line(GetParam().state, GetParam().known), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    States, PcClockLine,
    testing::Values(
        line_case{"Synchronised", {true, 512, 16250}, true,
                  "PC clock: synchronised, estimated error 0.512 ms (at most 16.250 ms)\n"},
        line_case{"SynchronisedWithinAMicrosecond", {true, 0, 1}, true,
                  "PC clock: synchronised, estimated error 0.000 ms (at most 0.001 ms)\n"},
        // The kernel's values for a clock nobody disciplines: 16 s each.
        line_case{"NotSynchronised", {false, 16000000, 16000000}, true,
                  "PC clock: NOT synchronised: readings are only as good as the PC clock\n"},
        line_case{"Unknown", {true, 1, 2}, false,
                  "PC clock: synchronisation unknown: readings are only as good as the PC clock\n"}),
    [](const auto& i) { return std::string(i.param.name); });

TEST(PcClockState, KernelTellsIt)
{
    pc_clock_state s{true, -1, -1};
    ASSERT_TRUE(plat_pc_clock_state(s));
    EXPECT_GE(s.est_error_us, 0);
    EXPECT_GE(s.max_error_us, s.est_error_us);
}

}  // namespace
