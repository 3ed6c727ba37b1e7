// SPDX-License-Identifier: MIT
// ORV3PARAM end to end: the executable under the simulator, a terminal as its
// standard output, scripted answers on its standard input, the parameter
// file in its current directory.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/support/sim_harness.h"
#include "tools/heq_parameter_tool.h"
#include "watchlink/protocol.h"
#include "watchlink/run_frame.h"

namespace {

using bytes = std::vector<uint8_t>;

// The simulated watch's parameters as it starts.
const char EQUAL_INI[] =
    "[heq_info]\nheq_a=-1234\nheq_b=5678\nheq_c=-91011\nheq_temp_offset=250\n"
    "inhibition_correction=-3\nTC_flags=128\nT2_b=-12\nT2_a5=34\na_off=1000\na_day=-5\n";
// Every field other than the watch's.
const char NEW_INI[] =
    "[heq_info]\nheq_a=100000\nheq_b=-7\nheq_c=3\nheq_temp_offset=-300\n"
    "inhibition_correction=12\nTC_flags=129\nT2_b=-2\nT2_a5=77\na_off=-1\na_day=-9\n";

// The frames ORV3PARAM must send for NEW_INI.
const bytes WRITE_EXTRA1 = {0x51, 0x00, 0xd4, 0xfe, 0xa0, 0x86, 0x01, 0x00, 0xf9, 0xff,
                            0xff, 0xff, 0x03, 0x00, 0x00, 0x00, 0x0c, 0x3e, 0xa5};
const bytes WRITE_EXTRA2 = {0x52, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0x00, 0x00, 0xfe, 0xff, 0x4d, 0x00, 0x81, 0x1c, 0xc5};
const bytes WRITE_EXTRA4 = {0x54, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0xff, 0xff, 0xf7, 0xff, 0x00, 0x00, 0x00, 0x10, 0x6a};
const bytes STORE_FLASH = {0x53, 0x01, 0xd4, 0xfe, 0xa0, 0x86, 0x01, 0x00, 0xf9, 0xff,
                           0xff, 0xff, 0x03, 0x00, 0x00, 0x00, 0x0c, 0x04, 0x5c};
const bytes RESET_WATCH = {0x53, 0xa5, 0xd4, 0xfe, 0xa0, 0x86, 0x01, 0x00, 0xf9, 0xff,
                           0xff, 0xff, 0x03, 0x00, 0x00, 0x00, 0x0c, 0x04, 0x5c};

bytes with_code(bytes frame, uint8_t code)
{
    frame[POS_CODE] = code;
    return frame;
}

std::string dir_with_ini(const char* content)
{
    char* real = realpath(make_temp_dir().c_str(), nullptr);
    const std::string dir = real;
    std::free(real);
    if (content != nullptr)
        std::ofstream(dir + "/ORV3PARAM.INI") << content;
    return dir;
}

run_result run_param_in(const std::string& dir, const std::string& answers, std::vector<std::string> sim_args = {})
{
    run_options o;
    o.command = {"orv3param"};
    o.sim_args = std::move(sim_args);
    o.input = answers;
    o.stdout_tty = true;
    o.cwd = dir;
    return run_tool(o);
}
run_result run_param(const char* ini, const std::string& answers, std::vector<std::string> sim_args = {})
{
    return run_param_in(dir_with_ini(ini), answers, std::move(sim_args));
}

// What reached the watch, in order.
std::vector<wire_frame> to_watch(const run_result& r) { return frames_of(r.wire, "ap>watch"); }
std::vector<wire_frame> to_watch(const run_result& r, uint8_t code)
{
    return frames_of(r.wire, "ap>watch", POS_CODE, code);
}
bytes codes_to_watch(const run_result& r)
{
    bytes codes;
    for (const wire_frame& f : to_watch(r))
        codes.push_back(f.bytes.at(POS_CODE));
    return codes;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string table_line(const char* name, int old_value, int new_value)
{
    char line[128];
    std::snprintf(line, sizeof line, "%-24.24s % 20d % 20d\n", name, old_value, new_value);
    return line;
}

const std::string BANNER = FRAME_HEQ_TOOL.banner;

// ---------------------------------------------------------------------------

TEST(orv3param, yes_to_everything_writes_checks_stores_and_resets)
{
    const run_result r = run_param(NEW_INI, "Y\nyes\nY\n");
    EXPECT_EQ(r.status, 0) << r.err;

    // The table: both columns, TC_flags and a_off unsigned.
    EXPECT_TRUE(has(r.out, std::string("                                  OLD (watch)            NEW (INI)\n") +
                               table_line("heq_a", -1234, 100000) + table_line("heq_b", 5678, -7)));
    EXPECT_TRUE(has(r.out, table_line("TC_flags", 128, 129)));
    EXPECT_TRUE(has(r.out, table_line("a_off", 1000, 65535)));
    EXPECT_TRUE(has(r.out, table_line("a_day", -5, -9)));
    EXPECT_TRUE(has(r.out, "UTC time = "));
    EXPECT_TRUE(has(r.out, "extra4 info "));
    EXPECT_TRUE(has(r.out, std::string(QUESTION_SET_VALUES) + QUESTION_WRITE_FLASH + MSG_FLASH_TAKEN +
                               QUESTION_RESET_WATCH + MSG_RESET_TAKEN));
    EXPECT_TRUE(has(r.err, "01234\r"));
    EXPECT_TRUE(has(r.err, "456"));

    // Each write, then its read-back in the same frame; then flash, reset, exit.
    const auto frames = to_watch(r);
    std::size_t first_write = 0;
    while (first_write < frames.size() && frames[first_write].bytes[POS_CODE] != CMD_WRITE_EXTRA1)
        ++first_write;
    const std::vector<bytes> want = {WRITE_EXTRA1, with_code(WRITE_EXTRA1, CMD_READ_EXTRA1),
                                     WRITE_EXTRA2, with_code(WRITE_EXTRA2, CMD_READ_EXTRA2),
                                     WRITE_EXTRA4, with_code(WRITE_EXTRA4, CMD_READ_EXTRA4),
                                     STORE_FLASH,  RESET_WATCH,
                                     with_code(bytes(WATCH_FRAME_SIZE, 0), CMD_EXIT_SYNC)};
    ASSERT_EQ(frames.size() - first_write, want.size()) << r.summary;
    for (std::size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(frames[first_write + i].bytes, want[i]) << "frame " << i;
    // A pause before each read-back, and the watch's restart waited for.
    EXPECT_GE(frames[first_write + 1].t - frames[first_write].t, 0.45);
    EXPECT_GE(frames[first_write + 8].t - frames[first_write + 7].t, 2.4);

    EXPECT_TRUE(has(r.summary, "heq fields: heq_a=100000 heq_b=-7 heq_c=3 heq_temp_offset=-300 "
                               "inhibition_correction=12 TC_flags=129 T2_b=-2 T2_a5=77 a_off=65535 a_day=-9\n"))
        << r.summary;
    EXPECT_TRUE(has(r.summary, "flash stores: 1\n"));
    EXPECT_TRUE(has(r.summary, "watch resets: 1\n"));
}

// A long answer is read whole: its rest does not answer the flash question.
TEST(orv3param, equal_records_write_nothing_and_no_to_flash_skips_the_reset_question)
{
    const run_result r = run_param(EQUAL_INI, "yyyyyyyyyy\nn\ny\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.err, MSG_VALUES_ALREADY_SET));
    EXPECT_TRUE(has(r.out, std::string(QUESTION_SET_VALUES) + QUESTION_WRITE_FLASH));
    EXPECT_FALSE(has(r.out, QUESTION_RESET_WATCH));
    EXPECT_EQ(codes_to_watch(r), (bytes{CMD_READ_EXTRA0, CMD_READ_EXTRA1, CMD_READ_EXTRA2, CMD_READ_EXTRA3,
                                        CMD_READ_EXTRA4, CMD_EXIT_SYNC}));
    EXPECT_TRUE(has(r.summary, "flash stores: 0\n"));
}

TEST(orv3param, a_field_that_does_not_take_stops_before_the_next_block)
{
    const run_result r = run_param(NEW_INI, "y\ny\ny\n", {"--stuck-field=heq_b"});
    EXPECT_EQ(r.status, 256 + TOOL_NOT_SET);  // -40 as an exit status
    EXPECT_TRUE(has(r.err, std::string("4") + MSG_EXTRA1_NOT_SET));
    EXPECT_EQ(to_watch(r, CMD_WRITE_EXTRA1).size(), 1u);
    EXPECT_TRUE(to_watch(r, CMD_WRITE_EXTRA2).empty());
    EXPECT_TRUE(to_watch(r, CMD_WRITE_EXTRA3).empty());
    EXPECT_FALSE(has(r.out, QUESTION_WRITE_FLASH));
    EXPECT_EQ(codes_to_watch(r).back(), CMD_EXIT_SYNC);
    EXPECT_TRUE(has(r.summary, "heq_a=100000 heq_b=5678 ")) << r.summary;
}

// The flash-store frame is lost on the line: said so, no reset question, no success.
TEST(orv3param, a_flash_store_the_access_point_did_not_take_is_reported)
{
    const run_result r = run_param(NEW_INI, "y\ny\ny\n", {"--flash-lost"});
    EXPECT_EQ(r.status, 256 + TOOL_COMM_ERROR);
    EXPECT_TRUE(has(r.err, MSG_FLASH_LOST)) << r.err;
    EXPECT_FALSE(has(r.out, MSG_FLASH_TAKEN));
    EXPECT_FALSE(has(r.out, QUESTION_RESET_WATCH));
    EXPECT_TRUE(has(r.summary, "flash stores: 0\n")) << r.summary;
    EXPECT_EQ(codes_to_watch(r).back(), CMD_EXIT_SYNC);
    EXPECT_EQ(to_watch(r, CMD_WRITE_EXTRA3).size(), 0u);
}

// A read-back that never comes must not pass for a block of zeros.
TEST(orv3param, a_missing_read_back_is_no_success_even_for_zeros)
{
    // The watch falls silent after the write of extra1, whose file values are all 0.
    const run_result r = run_param("[heq_info]\nT2_b=5\n", "y\ny\ny\n", {"--silent-after=6"});
    EXPECT_EQ(r.status, 256 + TOOL_NOT_SET);
    EXPECT_TRUE(has(r.err, MSG_EXTRA1_NOT_SET));
    EXPECT_TRUE(to_watch(r, CMD_WRITE_EXTRA2).empty());
    EXPECT_FALSE(has(r.out, QUESTION_WRITE_FLASH));
}

// ---------------------------------------------------------------------------
// Firmware kinds and versions: warnings, and whether extra4 is read, shown
// and written.

struct firmware_case {
    const char* what;
    std::vector<std::string> sim_args;
    bool extra4;
    bool newer;
    bool zenta;
};
void PrintTo(const firmware_case& c, std::ostream* os) { *os << c.what; }

const firmware_case FIRMWARE_CASES[] = {
    {"0xDD version 8 variant 0", {"--fw-kind=0xDD", "--fw-version=8", "--fw-variant=0"}, false, false, false},
    {"0xDD version 9", {"--fw-kind=0xDD", "--fw-version=9", "--fw-variant=0"}, true, true, false},
    {"0xCC version 3", {"--fw-kind=0xCC", "--fw-version=3"}, true, false, false},
    {"0xCC version 4", {"--fw-kind=0xCC", "--fw-version=4"}, true, true, false},
    {"0xCC ZENTA", {"--fw-kind=0xCC", "--fw-version=3", "--fw-flags=0x50"}, true, false, true},
};

class orv3param_firmware : public testing::TestWithParam<firmware_case> {};

TEST_P(orv3param_firmware, warns_and_handles_extra4)
{
    const firmware_case& c = GetParam();
    const run_result r = run_param(NEW_INI, "y\nn\n", c.sim_args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(has(r.err, MSG_NEWER_FIRMWARE), c.newer);
    EXPECT_EQ(has(r.out, MSG_NEWER_FIRMWARE), c.newer);
    EXPECT_EQ(has(r.err, MSG_ZENTA_FLASH), c.zenta);
    EXPECT_EQ(has(r.out, MSG_ZENTA_FLASH), c.zenta);

    EXPECT_EQ(!to_watch(r, CMD_READ_EXTRA4).empty(), c.extra4);
    EXPECT_EQ(has(r.out, "extra4 info "), c.extra4);
    EXPECT_EQ(!to_watch(r, CMD_WRITE_EXTRA4).empty(), c.extra4);
    EXPECT_EQ(to_watch(r, CMD_WRITE_EXTRA1).size(), 1u);
    EXPECT_EQ(to_watch(r, CMD_WRITE_EXTRA2).size(), 1u);
    // Without extra4 the watch's a_off and a_day are shown as the file's: no
    // false difference.
    if (!c.extra4) {
        EXPECT_TRUE(has(r.out, table_line("a_off", 65535, 65535)));
        EXPECT_TRUE(has(r.out, table_line("a_day", -9, -9)));
    }
    EXPECT_TRUE(has(r.out, QUESTION_WRITE_FLASH));
    EXPECT_TRUE(to_watch(r, CMD_WRITE_EXTRA3).empty());
}

INSTANTIATE_TEST_SUITE_P(kinds, orv3param_firmware, testing::ValuesIn(FIRMWARE_CASES),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

// Without extra4 and with a file equal to the watch's other eight fields,
// the record is equal whatever the file's a_off and a_day.
TEST(orv3param, no_extra4_gives_no_difference_from_a_off_and_a_day)
{
    const run_result r = run_param(EQUAL_INI, "y\nn\n", {"--fw-kind=0xDD", "--fw-version=8", "--fw-variant=0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(has(r.err, MSG_VALUES_ALREADY_SET));
}

// ---------------------------------------------------------------------------
// Runs that end before or without the watch.

TEST(orv3param, watch_not_in_sync_mode)
{
    const run_result r = run_param(NEW_INI, "y\ny\ny\n", {"--sync-delay=never"});
    EXPECT_EQ(r.status, 256 + TOOL_COMM_ERROR);
    EXPECT_TRUE(has(r.err, std::string("0\r") + MSG_WATCH_NOT_ANSWERING)) << r.err;
    EXPECT_TRUE(has(r.out, "UTC time = "));
    EXPECT_FALSE(has(r.out, "extra0 info"));
    EXPECT_FALSE(has(r.out, QUESTION_SET_VALUES));
    EXPECT_EQ(codes_to_watch(r), (bytes{CMD_READ_EXTRA0, CMD_EXIT_SYNC}));
}

TEST(orv3param, redirected_output_is_refused_before_the_file_and_the_port)
{
    run_options o;
    o.command = {"orv3param"};
    o.cwd = dir_with_ini(NEW_INI);
    o.stdout_file = o.cwd + "/out.txt";
    const run_result r = run_tool(o);
    EXPECT_EQ(r.status, 256 + TOOL_REDIRECTED);
    EXPECT_EQ(r.out, BANNER);
    EXPECT_EQ(r.err, BANNER + MSG_REDIRECT_REFUSED);
    EXPECT_TRUE(has(r.summary, "access point frames: 0\n"));
}

TEST(orv3param, no_file_touches_nothing)
{
    const std::string dir = dir_with_ini(nullptr);
    const run_result r = run_param_in(dir, "y\n");
    EXPECT_EQ(r.status, 256 + TOOL_NO_PARAM_FILE);
    const std::string line =
        "Error finding INI file - " + dir + "/ORV3PARAM.INI: not found, nor ORV2PARAM.INI or ORV1PARAM.INI\n";
    EXPECT_EQ(r.out, BANNER + line);
    EXPECT_EQ(r.err, line);
    EXPECT_TRUE(has(r.summary, "access point frames: 0\n"));
}

TEST(orv3param, no_access_point)
{
    const run_result r = run_param(NEW_INI, "y\n", {"--description=Some other serial device"});
    EXPECT_EQ(r.status, 256 + TOOL_NO_LINK);
    EXPECT_TRUE(has(r.out, "INI file used: "));
    EXPECT_TRUE(has(r.out, MSG_NO_ACCESS_POINT));
    EXPECT_TRUE(has(r.err, MSG_NO_ACCESS_POINT));
    EXPECT_TRUE(has(r.summary, "access point frames: 0\n"));
}

}  // namespace
