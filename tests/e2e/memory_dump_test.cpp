// SPDX-License-Identifier: MIT
// ORV3DUMP end to end against the simulated watch's configuration memory.
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/support/sim_harness.h"
#include "tools/tools.h"
#include "watchlink/protocol.h"
#include "watchlink/run_frame.h"

namespace {

using bytes = std::vector<uint8_t>;

// The simulated memory: byte k of block i is the low byte of a ^ (a >> 8),
// a = 16 i + k.
std::string expected_line(unsigned index)
{
    char line[128];
    int n = std::snprintf(line, sizeof line, "%04x: ", (index * 16 + 0x8000) % 0x10000);
    for (unsigned k = 0; k < 16; ++k) {
        const unsigned a = index * 16 + k;
        n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), " %02x", (a ^ (a >> 8)) & 0xFF);
    }
    return std::string(line) + "\n";
}

bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// "xxxx: " and sixteen " xx".
bool is_dump_line(const std::string& l)
{
    if (l.size() != 6 + 16 * 3 || l[4] != ':' || l[5] != ' ')
        return false;
    for (std::size_t i = 0; i < l.size(); ++i)
        if (i != 4 && i != 5 && (i < 6 ? !is_hex(l[i]) : (i - 6) % 3 == 0 ? l[i] != ' ' : !is_hex(l[i])))
            return false;
    return true;
}

// The dump's lines, in the order printed.
std::vector<std::string> dump_lines(const std::string& out)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
        if (const std::string l = out.substr(at, end - at); is_dump_line(l))
            lines.push_back(l + "\n");
    return lines;
}

std::vector<std::string> expected_lines(const std::vector<unsigned>& indices)
{
    std::vector<std::string> lines;
    for (unsigned i : indices)
        lines.push_back(expected_line(i));
    return lines;
}

std::vector<unsigned> block_range(unsigned first, unsigned last)
{
    std::vector<unsigned> v;
    for (unsigned i = first; i <= last; ++i)
        v.push_back(i);
    return v;
}

run_result run_dump(std::vector<std::string> sim_args, bool to_file = false)
{
    run_options o;
    o.command = {"orv3dump"};
    o.sim_args = std::move(sim_args);
    if (to_file)
        o.stdout_file = make_temp_dir() + "/dump.txt";
    else
        o.stdout_tty = true;
    return run_tool(o);
}

std::vector<wire_frame> requests(const run_result& r) { return frames_of(r.wire, "ap>watch", POS_CODE, CMD_READ_MEMORY); }

const std::string BANNER = FRAME_MEMORY_DUMP.banner;

TEST(orv3dump, complete_dump_prints_48_lines_from_1800_to_1af0)
{
    const run_result r = run_dump({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, BANNER.size()), BANNER);
    const auto lines = dump_lines(r.out);
    EXPECT_EQ(lines, expected_lines(block_range(0x0980, 0x09AF)));
    EXPECT_EQ(lines.front().substr(0, 6), "1800: ");
    EXPECT_EQ(lines.back().substr(0, 6), "1af0: ");
    EXPECT_EQ(r.out.size(), BANNER.size() + 48 * lines.front().size());

    const auto sent = requests(r);
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[0].bytes, (bytes{0x05, 0x09, 0x80, 0x09, 0x80, 0x09, 0x81, 0x09, 0x82, 0x09, 0x83, 0x09, 0x84,
                                    0x09, 0x85, 0x09, 0x86, 0x09, 0x87}));
    EXPECT_EQ(sent[5].bytes, (bytes{0x05, 0x09, 0xa8, 0x09, 0xa8, 0x09, 0xa9, 0x09, 0xaa, 0x09, 0xab, 0x09, 0xac,
                                    0x09, 0xad, 0x09, 0xae, 0x09, 0xaf}));
    EXPECT_EQ(r.err, FRAME_MEMORY_DUMP.prompt);  // no progress dots on a terminal
    EXPECT_EQ(frames_of(r.wire, "ap>watch").back().bytes.at(POS_CODE), CMD_EXIT_SYNC);
}

// Lines come in the order the replies arrive; a repeated block prints once.
TEST(orv3dump, reversed_replies_and_a_repeated_block)
{
    const run_result r = run_dump({"--memory-order=reversed", "--memory-repeat=0x0983"});
    EXPECT_EQ(r.status, 0);
    std::vector<unsigned> order;
    for (unsigned first = 0x0980; first < 0x09B0; first += 8)
        for (unsigned i = first + 8; i-- > first;)
            order.push_back(i);
    EXPECT_EQ(dump_lines(r.out), expected_lines(order));
    EXPECT_EQ(requests(r).size(), 6u);
}

// Block 0x0985 never comes: four sendings of the first request, seven
// lines, and the dump ends with a communication error.
TEST(orv3dump, a_block_never_sent_ends_the_dump_after_four_sendings)
{
    const run_result r = run_dump({"--memory-drop=0x0985"}, true);
    EXPECT_EQ(r.status, 256 + TOOL_COMM_ERROR);
    EXPECT_TRUE(r.out.ends_with(MSG_COMM_ERROR)) << r.out;
    EXPECT_TRUE(r.err.ends_with(MSG_COMM_ERROR)) << r.err;
    EXPECT_EQ(dump_lines(r.out), expected_lines({0x0980, 0x0981, 0x0982, 0x0983, 0x0984, 0x0986, 0x0987}));
    EXPECT_EQ(r.out.substr(0, BANNER.size()), BANNER);
    const auto sent = requests(r);
    ASSERT_EQ(sent.size(), 4u);
    for (const wire_frame& f : sent)
        EXPECT_EQ(f.bytes, sent[0].bytes);
    EXPECT_EQ(r.err.substr(0, BANNER.size()), BANNER);  // redirected: the banner on both streams
    EXPECT_TRUE(r.err.find(std::string(FRAME_MEMORY_DUMP.prompt) + "....") != std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '.'), 4 + 1);  // the prompt ends in one
}

TEST(orv3dump, no_access_point_is_no_success)
{
    const run_result r = run_dump({"--description=Some other serial device"});
    EXPECT_EQ(r.status, 256 + TOOL_NO_LINK);
    EXPECT_EQ(r.out, BANNER + MSG_NO_ACCESS_POINT);
    EXPECT_EQ(r.err, MSG_NO_ACCESS_POINT);
}

}  // namespace
