// SPDX-License-Identifier: MIT
// The Windows tools under Wine against the simulator, through Wine's serial
// port: each run beside the same run of the Linux tool, which must end the
// same way, print the same lines (figures of the clock aside) and leave the
// watch in the same state.
#include <fstream>
#include <cstdlib>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <vector>

#include "aplink/ap_commands.h"
#include "tests/support/sim_harness.h"
#include "tools/tools.h"
#include "watchlink/protocol.h"
#include "watchlink/run_frame.h"

namespace {

// Every run in one zone, the one the prefix was started in: Wine keeps the
// current zone's name in the prefix's registry, written by whichever of its
// processes last found it changed, so runs in other zones side by side would
// mix one zone's name with another's rules.
constexpr char RUN_ZONE[] = "Europe/Berlin";

// The Windows build and the Wine prefix this build was configured with.
[[maybe_unused]] const bool configured = [] {
    setenv("ORV3_WINE_EXE_DIR", ORV3_WINE_EXE_DIR, 1);
    setenv("WINEPREFIX", ORV3_WINE_PREFIX, 1);
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 0);
    setenv("TZ", RUN_ZONE, 1);
    return true;
}();

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The parameter file's path is in the platform's own form: its name is compared.
constexpr char INI_LINE_START[] = "INI file used: ";

// Lines whose figures come from one run's clock: compared by their shape.
constexpr const char* CLOCK_LINE_STARTS[] = {"diff ", "UTC time = ", "average diff = ", "irq_err_min = "};

// A run cut short at a frame count takes as many samples as its timing
// allows before the cut: then a run of sample lines counts as one.
std::vector<std::string> comparable_lines(const std::string& text, bool cut_by_timing)
{
    static const std::regex number("-?[0-9]+(\\.[0-9]+)?");
    std::vector<std::string> lines;
    for (std::string l : lines_of(text)) {
        for (const char* start : CLOCK_LINE_STARTS)
            if (l.starts_with(start))
                l = std::regex_replace(l, number, "#");
        if (l.starts_with(INI_LINE_START))
            l = INI_LINE_START + l.substr(l.find_last_of("/\\") + 1);
        if (!(cut_by_timing && !lines.empty() && l == lines.back() && l.starts_with(CLOCK_LINE_STARTS[0])))
            lines.push_back(l);
    }
    return lines;
}

// The watch as the simulator left it: every summary line but those that
// count frames or measure the clock.
std::vector<std::string> watch_state(const std::string& summary, bool zone_too)
{
    static const std::regex clock_or_count("frames|commands in sync mode|watch clock|clock reads|left unread");
    static const std::regex zone("zone offset|extra2 ");
    std::vector<std::string> state;
    for (const std::string& l : lines_of(summary))
        if (!std::regex_search(l, clock_or_count) && (zone_too || !std::regex_search(l, zone)))
            state.push_back(l);
    return state;
}

// The zone a setter left in the watch follows from the zone Wine reported,
// which is Wine's own choice: a watch zone ("TZ_NDX n") puts that index in
// the watch; none ("TZ_NDX -1") sends the offset with the daylight-saving
// rules. The offset follows from TZ alone: the same as the Linux tool's.
void expect_zone_as_reported(const run_result& wine_run, const run_result& linux_run)
{
    std::smatch m;
    ASSERT_TRUE(std::regex_search(wine_run.err, m, std::regex("TZ_NDX (-?[0-9]+)"))) << wine_run.err;
    const int index = std::stoi(m[1]);
    std::smatch w, lx;
    const std::regex zone_line("zone offset (-?[0-9]+), zone index (-?[0-9]+)");
    ASSERT_TRUE(std::regex_search(wine_run.summary, w, zone_line)) << wine_run.summary;
    ASSERT_TRUE(std::regex_search(linux_run.summary, lx, zone_line)) << linux_run.summary;
    EXPECT_EQ(w[1], lx[1]);
    EXPECT_EQ(std::stoi(w[2]), index);
    if (index < 0) {
        EXPECT_TRUE(has(wine_run.err, "does not match any in watch")) << wine_run.err;
        EXPECT_TRUE(has(wine_run.summary, "dst rules start")) << wine_run.summary;
    }
}

struct twin_case {
    const char* name = "";
    std::vector<std::string> command{};
    std::vector<std::string> sim_args{};  // each case its own port: the cases run in parallel
    std::string input{};                // answers on the standard input
    const char* ini = nullptr;          // ORV3PARAM.INI in the working directory
    enum class output { pipe, file, tty } to = output::pipe;
    int code = TOOL_DONE;
    const char* says = nullptr;  // a line both print
    bool cut_by_timing = false;  // the simulator vanishes after a number of frames
    bool sets_zone = false;      // the zone comes from what Wine reports
};
void PrintTo(const twin_case& c, std::ostream* os) { *os << c.name; }

struct twin_runs {
    run_result linux_run, wine_run;
};

twin_runs run_twins(const twin_case& c)
{
    twin_runs t;
    for (const bool windows : {false, true}) {
        run_options o;
        o.command = c.command;
        o.sim_args = c.sim_args;
        o.input = c.input;
        o.stdout_tty = c.to == twin_case::output::tty;
        if (c.to == twin_case::output::file)
            o.stdout_file = make_temp_dir() + "/out";
        o.windows = windows;
        // Both sides in the same zone, so that both set the same local time.
        o.env = {{"TZ", RUN_ZONE}, {"LC_ALL", "C"}};
        if (c.ini != nullptr) {
            o.cwd = make_temp_dir();
            std::ofstream(o.cwd + "/ORV3PARAM.INI") << c.ini;
        }
        (windows ? t.wine_run : t.linux_run) = run_tool(o);
    }
    return t;
}

class UnderWine : public testing::TestWithParam<twin_case> {
protected:
    void SetUp() override
    {
        if (wine_exe_dir().empty())
            GTEST_SKIP() << "no Windows build to run (ORV3_WINE_EXE_DIR)";
    }
};

TEST_P(UnderWine, EndsPrintsAndLeavesTheWatchAsOnLinux)
{
    const twin_case& c = GetParam();
    const twin_runs t = run_twins(c);
    const run_result& lx = t.linux_run;
    const run_result& wn = t.wine_run;
    ASSERT_EQ(lx.status, exit_status(c.code)) << lx.err;
    EXPECT_EQ(wn.status, lx.status) << wn.err;
    EXPECT_EQ(comparable_lines(wn.out, c.cut_by_timing), comparable_lines(lx.out, c.cut_by_timing)) << wn.out;
    EXPECT_EQ(watch_state(wn.summary, !c.sets_zone), watch_state(lx.summary, !c.sets_zone)) << wn.err;
    if (c.sets_zone)
        expect_zone_as_reported(wn, lx);
    if (c.says != nullptr) {
        EXPECT_TRUE(has(wn.out, c.says)) << wn.out;
        EXPECT_TRUE(has(wn.err, c.says)) << wn.err;
    }
    // Every run that still has its port closes it: the access point reset last.
    bool hung_up = false;
    for (const wire_frame& f : wn.wire)
        hung_up = hung_up || f.note == "hang-up";
    const std::vector<wire_frame> sent = frames_of(wn.wire, "pc>ap");
    if (!sent.empty() && !hung_up) {
        EXPECT_EQ(sent.back().bytes.at(1), AP_RESET);
    }
}

const char NEW_INI[] =
    "[heq_info]\nheq_a=-1000\nheq_b=5000\nheq_c=-90000\nheq_temp_offset=200\ninhibition_correction=-2\n"
    "TC_flags=128\nT2_b=-10\nT2_a5=30\na_off=900\na_day=-4\n";

std::string case_name(const testing::TestParamInfo<twin_case>& i) { return i.param.name; }

using out = twin_case::output;

INSTANTIATE_TEST_SUITE_P(
    Tools, UnderWine,
    testing::Values(
        twin_case{.name = "AccuracyReading", .command = {"orv3get"}, .sim_args = {"--port=21", "--offset=123.4"}},
        twin_case{.name = "ReadingToAFile", .command = {"orv3get"}, .sim_args = {"--port=22"}, .to = out::file},
        twin_case{.name = "SetterThreeStepsAndZone", .command = {"orv3set"}, .sim_args = {"--port=23", "--offset=-2500"},
                  .sets_zone = true},
        twin_case{.name = "HeqWriteReadBackStoreReset", .command = {"orv3param"}, .sim_args = {"--port=24"},
                  .input = "y\ny\ny\n", .ini = NEW_INI, .to = out::tty},
        twin_case{.name = "TempoffWriteReadBack", .command = {"orv3set", "tempoff=-7"}, .sim_args = {"--port=25"},
                  .to = out::tty},
        twin_case{.name = "DumpAllLines", .command = {"orv3dump"}, .sim_args = {"--port=26"}},
        twin_case{.name = "AccessPointSilent", .command = {"orv3get"}, .sim_args = {"--port=27", "--ap-silent=1"},
                  .code = TOOL_NO_LINK, .says = MSG_NO_LINK},
        twin_case{.name = "WatchNeverInSyncMode", .command = {"orv3dump"},
                  .sim_args = {"--port=28", "--sync-delay=never"}, .code = TOOL_COMM_ERROR, .says = MSG_COMM_ERROR},
        twin_case{.name = "HangUpMidReading", .command = {"orv3get"}, .sim_args = {"--port=29", "--hangup-after=40"},
                  .code = TOOL_COMM_ERROR, .says = MSG_COMM_ERROR, .cut_by_timing = true},
        twin_case{.name = "HangUpMidSetting", .command = {"orv3set"}, .sim_args = {"--port=30", "--hangup-after=60"},
                  .code = TOOL_COMM_ERROR, .says = MSG_COMM_ERROR, .cut_by_timing = true}),
    case_name);

// The port Wine offers is the one ORV3_PORT names; another number finds no
// access point, as on Linux.
TEST(UnderWinePort, NoAccessPointAtAnotherNumber)
{
    if (wine_exe_dir().empty())
        GTEST_SKIP() << "no Windows build to run (ORV3_WINE_EXE_DIR)";
    run_options o;
    o.command = {"orv3get"};
    o.windows = true;
    o.sim_args = {"--port=31"};
    o.env = {{"ORV3_PORT", "32"}};
    const run_result r = run_tool(o);
    EXPECT_EQ(r.status, exit_status(TOOL_NO_LINK)) << r.err;
    EXPECT_TRUE(has(r.out, MSG_NO_ACCESS_POINT)) << r.out;
    EXPECT_TRUE(frames_of(r.wire, "pc>ap").empty());
}

}  // namespace
