// SPDX-License-Identifier: MIT
// orv3get run under orv3sim: exit status, both streams, what went on the wire.
#include <cmath>
#include <cstdio>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "aplink/ap_commands.h"
#include "aplink/qxap.h"
#include "platform/port_list.h"
#include "platform/serial_port.h"
#include "platform/sysroot.h"
#include "tests/support/sim_harness.h"
#include "tools/clock_sampling.h"
#include "tools/pc_clock_check.h"
#include "watchlink/protocol.h"
#include "watchlink/run_frame.h"

namespace {

const tool_frame& READER = FRAME_ACCURACY_READER;
constexpr int READER_SAMPLES = 22;
constexpr int USED_SAMPLES = READER_SAMPLES - CLOCK_SAMPLES_SKIPPED;
// The reading names the watch's offset, in the right unit, sign and zone,
// to within this; how close it comes is bench_reader_accuracy's figure.
constexpr double SAME_OFFSET_MS = 100.0;

// What a run puts on the standard error stream before the watch's work.
std::string opening(bool redirected, bool prompted = true)
{
    return std::string(redirected ? READER.banner : "") + MSG_REMINDER + (prompted ? READER.prompt : "");
}
std::string dots(int n) { return std::string(static_cast<std::size_t>(n), '.'); }

struct reading {
    std::vector<int64_t> diffs;
    int64_t average = 0;
    double std_dev = 0;
    std::string irq_line;
    std::vector<std::string> blocks;
};

// A complete reading's standard output, line by line in its fixed order.
reading parse_reading(const std::string& out)
{
    reading r;
    const std::string banner = READER.banner;
    EXPECT_EQ(out.substr(0, banner.size()), banner);
    const std::vector<std::string> lines = lines_of(out.substr(banner.size()));
    std::size_t i = 0;
    std::smatch m;
    const std::regex diff_line(R"(diff (\d\d) = (-?\d+))");
    for (; i < lines.size() && std::regex_match(lines[i], m, diff_line); ++i) {
        EXPECT_EQ(std::stoi(m[1]), static_cast<int>(r.diffs.size()) + CLOCK_SAMPLES_SKIPPED) << lines[i];
        r.diffs.push_back(std::stoll(m[2]));
    }
    EXPECT_EQ(r.diffs.size(), static_cast<std::size_t>(USED_SAMPLES)) << out;
    const std::regex utc_line(R"(UTC time = \d{4}-\d{1,2}-\d{1,2} \d\d:\d\d:\d\d)");
    EXPECT_TRUE(i < lines.size() && std::regex_match(lines[i++], utc_line)) << out;
    const std::regex average_line(R"(average diff = (-?\d+)    std\. dev\. = ( ?\d+\.\d))");
    if (i < lines.size() && std::regex_match(lines[i], m, average_line)) {
        r.average = std::stoll(m[1]);
        r.std_dev = std::stod(m[2]);
        ++i;
    } else {
        ADD_FAILURE() << "no average line in\n" << out;
    }
    const std::regex irq_line(R"(irq_err_min = \d+ irq_err_max = \d+)");
    if (i < lines.size() && std::regex_match(lines[i], irq_line))
        r.irq_line = lines[i++];
    for (; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind("extra" + std::to_string(r.blocks.size()) + " info ", 0), 0u) << lines[i];
        r.blocks.push_back(lines[i]);
    }
    return r;
}

// The printed mean and deviation are those of the printed differences.
void expect_consistent(const reading& r)
{
    int64_t sum = 0;
    for (int64_t d : r.diffs)
        sum += d;
    const int64_t n = static_cast<int64_t>(r.diffs.size());
    ASSERT_GT(n, 0);
    EXPECT_EQ(r.average, sum / n);
    int64_t squares = 0;
    for (int64_t d : r.diffs)
        squares += (d - r.average) * (d - r.average);
    EXPECT_NEAR(r.std_dev, std::sqrt(static_cast<double>(squares / n)), 0.05);
}

double true_offset(const std::string& summary)
{
    std::smatch m;
    const std::regex at_reads(R"(true offset at them: mean ([+-]\d+\.\d+) ms)");
    if (!std::regex_search(summary, m, at_reads)) {
        ADD_FAILURE() << "no true offset in the summary:\n" << summary;
        return NAN;
    }
    return std::stod(m[1]);
}

const std::vector<uint8_t> CLOSED = {AP_SYNC_SEND_COMMAND, AP_VAM_STOP, AP_RESET};
const std::vector<uint8_t> NOT_SENT = {};

run_result run_reader(std::vector<std::string> sim_args, bool stdout_tty = false, std::string stdout_file = "",
                      std::string zone = "")
{
    run_options o;
    if (!zone.empty())
        o.env = {{"TZ", zone}};
    o.sim_args = std::move(sim_args);
    o.command = {"orv3get"};
    o.stdout_tty = stdout_tty;
    o.stdout_file = std::move(stdout_file);
    return run_tool(o);
}

// A watch of kind 0xCC on a console: five blocks, the sub-second counter
// from reply bytes 14-15, the extra4 line. It keeps the local time of
// Kathmandu (+5:45), 45 minutes off the PC's UTC modulo the hour.
TEST(Orv3get, CcWatchOnAConsole)
{
    // irq_err: record 0 lowest, record 1 (not used) highest.
    std::string irq = "--irq-err=1,200";
    for (int v = 10; v < 10 + USED_SAMPLES; ++v)
        irq.append(",").append(std::to_string(v));
    const run_result r = run_reader({"--offset=123.4", sim_poke(4, EXTRA4_POS_S24, {0x00, 0x00, 0x80}), irq}, true, "", "Asia/Kathmandu");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, opening(false) + "01234\r" + dots(READER_SAMPLES) + "\r");
    const reading out = parse_reading(r.out);
    expect_consistent(out);
    EXPECT_NEAR(static_cast<double>(out.average), true_offset(r.summary), SAME_OFFSET_MS) << r.out;
    EXPECT_EQ(out.irq_line, "irq_err_min = 1 irq_err_max = " + std::to_string(10 + USED_SAMPLES - 1));
    ASSERT_EQ(out.blocks.size(), 5u) << r.out;
    EXPECT_NE(out.blocks[3].find(" firmware: cc "), std::string::npos) << out.blocks[3];
    EXPECT_TRUE(out.blocks[4].ends_with("  -8388608")) << out.blocks[4];
    for (uint8_t code : BLOCK_READ_CMD)
        EXPECT_EQ(watch_sendings(r.wire, code), 1) << int{code};
    EXPECT_EQ(watch_sendings(r.wire, CMD_READ_CLOCK), READER_SAMPLES);
    EXPECT_EQ(closing_codes(r.wire), CLOSED);
}

// A watch of kind 0xDD, version 8, variant 0, output into a file: four
// blocks, the counter from bytes 8-9, the banner on both streams. Local
// time of Kolkata (+5:30).
TEST(Orv3get, DdVersion8Variant0IntoAFile)
{
    const std::string file = make_temp_dir() + "/reading.txt";
    const run_result r =
        run_reader({sim_arg("fw-kind", FW_KIND_DD), "--fw-version=8", "--fw-variant=0", "--offset=-2500.0"}, false, file,
                   "Asia/Kolkata");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, opening(true) + "0123\r" + dots(READER_SAMPLES) + "\r");
    const reading out = parse_reading(r.out);
    expect_consistent(out);
    EXPECT_NEAR(static_cast<double>(out.average), true_offset(r.summary), SAME_OFFSET_MS) << r.out;
    ASSERT_EQ(out.blocks.size(), 4u) << r.out;
    EXPECT_NE(out.blocks[3].find(" firmware: dd 10 8 "), std::string::npos) << out.blocks[3];
    EXPECT_EQ(watch_sendings(r.wire, CMD_READ_EXTRA4), 0);
    EXPECT_EQ(closing_codes(r.wire), CLOSED);
}

// extra0 answered only on its fifth sending, three "not ready" replies:
// still a complete reading, and the replies cost no sample.
TEST(Orv3get, SlowWatchIsStillRead)
{
    const run_result r = run_reader({sim_arg("answer-on", CMD_READ_EXTRA0, ":5"), "--not-ready=3"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, opening(true) + "01234\r" + dots(READER_SAMPLES) + "\r");
    const reading out = parse_reading(r.out);
    EXPECT_EQ(out.blocks.size(), 5u) << r.out;
    EXPECT_EQ(watch_sendings(r.wire, CMD_READ_EXTRA0), 5);
    EXPECT_EQ(watch_sendings(r.wire, CMD_READ_CLOCK), READER_SAMPLES + 3);
}

// Readings whose minute is out of range are left out; with none left,
// no figures, but the blocks that were read.
TEST(Orv3get, OutOfRangeReadingsGiveNoFigures)
{
    const run_result r = run_reader({"--clock-minute=60"});
    EXPECT_EQ(r.status, exit_status(-4));
    EXPECT_EQ(r.err, opening(true) + "01234\r" + dots(READER_SAMPLES) + "\r" + MSG_TOO_FEW_SAMPLES);
    EXPECT_FALSE(std::regex_search(r.out, std::regex(R"(diff \d\d = |average diff)"))) << r.out;
    const auto message = r.out.find(MSG_TOO_FEW_SAMPLES);
    ASSERT_NE(message, std::string::npos) << r.out;
    const std::vector<std::string> after = lines_of(r.out.substr(message + std::string(MSG_TOO_FEW_SAMPLES).size()));
    ASSERT_EQ(after.size(), 5u) << r.out;
    for (std::size_t n = 0; n < after.size(); ++n)
        EXPECT_EQ(after[n].rfind("extra" + std::to_string(n) + " info ", 0), 0u) << after[n];
    EXPECT_EQ(closing_codes(r.wire), CLOSED);
}

struct failure_case {
    const char* name;
    std::vector<std::string> sim_args;
    int code;
    const char* message;  // on both streams
    const char* progress;  // standard error between the prompt and the message, a pattern
    std::vector<uint8_t> closing;
    uint8_t counted_command;
    int sendings;  // of counted_command; -1: not counted
};

void PrintTo(const failure_case& c, std::ostream* os) { *os << c.name; }

class Orv3getFails : public testing::TestWithParam<failure_case> {};

TEST_P(Orv3getFails, MessageCodeAndClosing)
{
    const failure_case& c = GetParam();
    const run_result r = run_reader(c.sim_args);
    EXPECT_EQ(r.status, exit_status(c.code));
    // No figures and no blocks: the banner, then the message.
    EXPECT_EQ(r.out, std::string(READER.banner) + c.message);
    const std::string head = opening(true);
    ASSERT_EQ(r.err.substr(0, head.size()), head) << r.err;
    ASSERT_TRUE(r.err.ends_with(c.message)) << r.err;
    const std::string progress = r.err.substr(head.size(), r.err.size() - head.size() - std::string(c.message).size());
    EXPECT_TRUE(std::regex_match(progress, std::regex(c.progress))) << progress;
    EXPECT_EQ(closing_codes(r.wire), c.closing);
    if (c.sendings >= 0) {
        EXPECT_EQ(watch_sendings(r.wire, c.counted_command), c.sendings);
    }
}

std::string failure_name(const testing::TestParamInfo<failure_case>& i) { return i.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Watches, Orv3getFails,
    testing::Values(
        failure_case{"Extra0SilentThroughFiveSendings", {sim_arg("answer-on", CMD_READ_EXTRA0, ":6")}, -1, MSG_COMM_ERROR, "", CLOSED,
                     CMD_READ_EXTRA0, 5},
        failure_case{"NeverInSyncMode", {"--sync-delay=never"}, -1, MSG_COMM_ERROR, "", CLOSED, CMD_READ_EXTRA0,
                     5},
        // Five blocks and ten readings answered.
        failure_case{"SilentMidSampling", {"--silent-after=15"}, -1, MSG_COMM_ERROR, "01234\r\\.{10}\r", CLOSED,
                     CMD_READ_CLOCK, 11},
        // The watch answers, its replies cannot be fetched: status stays 1.
        failure_case{"BlockFetchFailsWhileAnswered", {sim_refuse(AP_SYNC_READ_BUFFER)}, -1, MSG_COMM_ERROR, "", CLOSED,
                     CMD_READ_EXTRA0, 5},
        failure_case{"ClockNeverReady", {"--not-ready=1000000"}, -1, MSG_CLOCK_NOT_READY, "01234\r\r", CLOSED,
                     CMD_READ_CLOCK, CLOCK_NOT_READY_LIMIT},
        // The access point vanishes after some readings.
        failure_case{"AccessPointHangsUp", {"--hangup-after=70"}, -1, MSG_COMM_ERROR, "01234\r\\.+\r", NOT_SENT,
                     CMD_READ_CLOCK, -1}),
    failure_name);

TEST(Orv3getFrame, NoAccessPoint)
{
    run_options o;
    o.command = {"orv3get"};
    o.no_sim = true;
    const run_result r = run_tool(o);
    EXPECT_EQ(r.status, exit_status(-2));
    EXPECT_EQ(r.out, std::string(READER.banner) + MSG_NO_ACCESS_POINT);
    EXPECT_EQ(r.err, opening(true, false) + MSG_NO_ACCESS_POINT);
    // The PC clock's state, told once, before the access point is looked for.
    EXPECT_EQ(r.host.find(PC_CLOCK_LINE_START), 0u);
    EXPECT_EQ(r.host.find(PC_CLOCK_LINE_START, 1), std::string::npos);
}

// A port that another program holds: the usual message, then one line that
// names the device.
TEST(Orv3getFrame, AccessPointHeldByAnotherProgram)
{
    constexpr int PORT = 3;
    sim_server sim({sim_arg("port", PORT)});
    char device[32];
    std::snprintf(device, sizeof device, QXAP_PORT_PATH_FORMAT, PORT);
    const plat_serial holder = plat_serial_open(device);
    ASSERT_NE(holder, PLAT_SERIAL_NONE);
    run_options o;
    o.command = {"orv3get"};
    o.no_sim = true;
    o.env = {{ORV3_SYSROOT_ENV, sim.sysroot}};
    const run_result r = run_tool(o);
    plat_serial_close(holder);
    char why[256];
    std::snprintf(why, sizeof why, MSG_PORT_BUSY, device);
    EXPECT_EQ(r.status, exit_status(-2));
    EXPECT_EQ(r.out, std::string(READER.banner) + MSG_NO_ACCESS_POINT);
    EXPECT_EQ(r.err, opening(true, false) + MSG_NO_ACCESS_POINT + why);
}

TEST(Orv3getFrame, LinkNotStarted)
{
    const run_result r = run_reader({sim_refuse(AP_VAM_START)});
    EXPECT_EQ(r.status, exit_status(-2));
    EXPECT_EQ(r.out, std::string(READER.banner) + MSG_NO_LINK);
    EXPECT_EQ(r.err, opening(true, false) + MSG_NO_LINK);
    // Reset and closed, and never a watch command.
    const std::vector<wire_frame> sent = frames_of(r.wire, "pc>ap");
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().bytes[1], AP_RESET);
    EXPECT_TRUE(frames_of(r.wire, "pc>ap", 1, AP_SYNC_SEND_COMMAND).empty());
}

}  // namespace
