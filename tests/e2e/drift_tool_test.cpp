// SPDX-License-Identifier: MIT
// orv3drift on a record made here, and the record orv3get leaves: the
// report, the CSV, the plot, and a record that cannot be written.
#include <csignal>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "orv3_version.h"
#include "records/records.h"
#include "tests/support/sim_harness.h"
#include "tools/tools.h"
#include "watchlink/protocol.h"

namespace {

constexpr double DAY = 86400;
constexpr double T0 = 1.7e9;
constexpr char WATCH[] = "cc 10 3 02-29 0";

int exit_status(int code) { return code & 0xFF; }

drift_record reading_at(double at, double offset_us)
{
    drift_record r;
    r.recorded_at = "2023-11-14 22:13:20";
    r.tool = TOOL_NAME_READER;
    r.watch = WATCH;
    r.offset = offset_measurement{at, offset_us, 15};
    return r;
}

// Gaining 10 ppm over two days, then set, then one reading.
std::string test_record()
{
    const std::string path = make_temp_dir() + "/readings.sqlite";
    std::string problem;
    drift_record set = reading_at(T0 + 2 * DAY + 40, 120);
    set.tool = TOOL_NAME_SETTER;
    set.time_commands = 2;
    set.before = offset_measurement{T0 + 2 * DAY, 20 * DAY, 15};
    for (const drift_record& r : {reading_at(T0, 0), reading_at(T0 + DAY, 10 * DAY), set})
        EXPECT_TRUE(rec_add(path, r, problem)) << problem;
    return path;
}

run_result drift(std::vector<std::string> args, std::vector<std::pair<std::string, std::string>> env = {})
{
    run_options o;
    o.no_sim = true;
    o.command = {"orv3drift"};
    o.command.insert(o.command.end(), args.begin(), args.end());
    o.env = std::move(env);
    return run_tool(o);
}

TEST(DriftTool, ReportsRatePerPeriod)
{
    const run_result r = drift({"--db", test_record()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string expected_start = std::string("watch ") + WATCH + "\n  period 1, from the first record\n"
                                       "    2023-11-14 22:13:20 UTC  orv3get      +0.000 ms +- 0.015\n";
    EXPECT_EQ(r.out.substr(0, expected_start.size()), expected_start) << r.out;
    EXPECT_NE(r.out.find("    rate +10.00 ppm +- 0."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("gains 0.864 s a day"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  period 2, since the setting of 2023-11-16 22:14:00 UTC\n"
                         "    2023-11-16 22:14:00 UTC  orv3set      +0.120 ms +- 0.015\n"
                         "    rate: 1 more reading needed\n"),
              std::string::npos)
        << r.out;
    // A prediction from a period that a setting has ended would mislead.
    EXPECT_EQ(r.out.find("today"), std::string::npos) << r.out;
}

TEST(DriftTool, CsvHasEveryRecord)
{
    const run_result r = drift({"--csv", "--db", test_record()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind(rec_csv_header() + "\n1,", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\n3,\"2023-11-14 22:13:20\",\"orv3set\""), std::string::npos) << r.out;
}

TEST(DriftTool, PlotRendersWithAxesAndPoints)
{
    const std::string dir = make_temp_dir(), db = test_record();
    for (const std::string name : {"plot.svg", "plot.png"}) {
        const run_result r = drift({"--db", db, "--plot", dir + "/" + name});
        EXPECT_EQ(r.status, 0) << name << r.err;
    }
    const std::string svg = read_file(dir + "/plot.svg");
    // Text (the axes' labels) comes as glyphs; the watch's points and
    // line in its colour.
    EXPECT_NE(svg.find("<symbol overflow=\"visible\" id=\"glyph"), std::string::npos);
    EXPECT_NE(svg.find("fill:rgb(12%,47%,71%)"), std::string::npos);
    EXPECT_NE(svg.find("stroke:rgb(12%,47%,71%)"), std::string::npos);
    const std::string png = dir + "/rendered.png";
    ASSERT_EQ(std::system(("rsvg-convert '" + dir + "/plot.svg' -o '" + png + "'").c_str()), 0);
    EXPECT_EQ(read_file(png).substr(1, 3), "PNG");
    EXPECT_EQ(read_file(dir + "/plot.png").substr(1, 3), "PNG");
}

struct refusal {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> env;
    int code;
};

TEST(DriftTool, RefusesWhatItCannotDo)
{
    const std::string dir = make_temp_dir();
    const std::string db = test_record();
    const refusal cases[] = {
        {"unknown argument", {"--db", db, "--fast"}, {}, TOOL_USAGE},
        {"--db without a value", {"--db"}, {}, TOOL_USAGE},
        {"--plot without a value", {"--db", db, "--plot", ""}, {}, TOOL_USAGE},
        {"no such record", {"--db", dir + "/none.sqlite"}, {}, TOOL_NO_RECORD},
        {"recording off, no --db", {}, {{RECORD_LOG_ENV, RECORD_LOG_OFF}}, TOOL_NO_RECORD},
        {"plot not writable", {"--db", db, "--plot", dir + "/no/such/plot.svg"}, {}, TOOL_OUTPUT_FAILED},
    };
    for (const refusal& c : cases) {
        const run_result r = drift(c.args, c.env);
        EXPECT_EQ(r.status, exit_status(c.code)) << c.name << ": " << r.err;
        EXPECT_FALSE(r.err.empty()) << c.name;
    }
    EXPECT_FALSE(std::ifstream(dir + "/none.sqlite").good());
}

TEST(DriftTool, HelpAndVersion)
{
    const run_result help = drift({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: orv3drift", 0), 0u) << help.out;
    const run_result version = drift({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("orv3drift ") + ORV3_VERSION + "\n");
}

// orv3get leaves one record of its reading; a record it cannot write costs
// one warning line and nothing else.
TEST(ReaderRecord, OneRecordPerReading)
{
    const std::string path = make_temp_dir() + "/readings.sqlite";
    run_options o;
    o.sim_args = {"--offset=12.3"};
    o.command = {"orv3get"};
    o.env = {{RECORD_LOG_ENV, path}};
    const run_result r = run_tool(o);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<drift_record> got;
    std::string problem;
    ASSERT_TRUE(rec_load(path, got, problem)) << problem;
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].tool, TOOL_NAME_READER);
    EXPECT_EQ(got[0].watch, WATCH);
    EXPECT_EQ(got[0].time_commands, 0);
    EXPECT_EQ(got[0].samples, 20);
    ASSERT_TRUE(got[0].offset);
    // The printed mean says 11 or 12; a loaded host may stall a sample or two.
    EXPECT_NEAR(got[0].offset->offset_us, 12300, 1000);
    EXPECT_NE(r.out.find("average diff = " + std::to_string(*got[0].average_diff_ms) + " "), std::string::npos);
}

TEST(ReaderRecord, UnwritableRecordOnlyWarns)
{
    const std::string dir = make_temp_dir();
    const std::string corrupt = dir + "/corrupt.sqlite";
    std::ofstream(corrupt) << std::string(2048, 'x');
    for (const std::string& path : {corrupt, dir + "/no/such/dir/readings.sqlite"}) {
        run_options o;
        o.sim_args = {"--offset=12.3"};
        o.command = {"orv3get"};
        o.env = {{RECORD_LOG_ENV, path}};
        const run_result r = run_tool(o);
        EXPECT_EQ(r.status, 0) << path;
        EXPECT_NE(r.out.find("average diff = "), std::string::npos);
        EXPECT_NE(r.out.find("extra4 info "), std::string::npos);
        const std::string warning = "orv3get: run not recorded: " + path;
        const auto at = r.err.find(warning);
        ASSERT_NE(at, std::string::npos) << r.err;
        EXPECT_EQ(r.err.find(warning, at + 1), std::string::npos);
    }
}

// A setting cut short by a signal after its first time command still
// starts a new period: the watch's clock was changed.
TEST(SetterRecord, InterruptedAfterATimeCommandIsRecorded)
{
    const std::string path = make_temp_dir() + "/readings.sqlite";
    run_options o;
    o.sim_args = {"--offset=12.3"};
    o.command = {"orv3set"};
    o.env = {{RECORD_LOG_ENV, path}};
    o.signal = SIGINT;
    o.signal_on = CMD_WRITE_EXTRA0;
    o.signal_after = 1;
    const run_result r = run_tool(o);
    ASSERT_EQ(r.status, 128 + SIGINT) << r.err;
    std::vector<drift_record> got;
    std::string problem;
    ASSERT_TRUE(rec_load(path, got, problem)) << problem;
    ASSERT_EQ(got.size(), 1u) << r.err;
    EXPECT_EQ(got[0].tool, TOOL_NAME_SETTER);
    EXPECT_GE(got[0].time_commands, 1);
}

}  // namespace
