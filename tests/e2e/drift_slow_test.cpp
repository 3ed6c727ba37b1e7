// SPDX-License-Identifier: MIT
// The watch's rate end to end, slow: two readings a minute apart of one
// simulated watch that gains 50 ppm, then a setting, then orv3drift.
#include <chrono>
#include <cstdlib>
#include <regex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "records/records.h"
#include "tests/support/sim_harness.h"

namespace {

constexpr double DRIFT_PPM = 50;
// Two readings 60 s apart, each good to a few tenths of a millisecond on a
// loaded host.
constexpr double RATE_TOLERANCE_PPM = 10;
constexpr auto APART = std::chrono::seconds(60);

run_result run_against(const sim_server& sim, const std::string& tool, const std::string& db)
{
    run_options o;
    o.server = &sim;
    o.command = {tool};
    o.env = {{RECORD_LOG_ENV, db}};
    return run_tool(o);
}

TEST(DriftSlow, TwoReadingsAMinuteApartThenASetting)
{
    const std::string db = make_temp_dir() + "/readings.sqlite";
    sim_server sim({"--drift=50", "--offset=12.3"});
    const auto first = std::chrono::steady_clock::now();
    ASSERT_EQ(run_against(sim, "orv3get", db).status, 0);
    std::this_thread::sleep_until(first + APART);
    ASSERT_EQ(run_against(sim, "orv3get", db).status, 0);
    ASSERT_EQ(run_against(sim, "orv3set", db).status, 0);
    sim.stop();

    run_options o;
    o.no_sim = true;
    o.command = {"orv3drift", "--db", db};
    const run_result r = run_tool(o);
    ASSERT_EQ(r.status, 0) << r.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.out, m, std::regex(R"(period 1, from the first record\n(?:.*orv3get.*\n){2}.*orv3set.*\n    rate ([-+][0-9.]+) ppm)")))
        << r.out;
    EXPECT_NEAR(std::stod(m[1]), DRIFT_PPM, RATE_TOLERANCE_PPM) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(period 2, since the setting of .*\n.*orv3set.*\n    rate: 1 more reading needed)")))
        << r.out;
}

}  // namespace
