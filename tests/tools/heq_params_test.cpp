// SPDX-License-Identifier: MIT
// The HEQ parameter file: which file is found, how its values are read and
// cut to the fields, and that no file, however malformed, reads out of bounds.
#include <climits>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/profile.h"
#include "tests/support/in_temp_dir.h"
#include "tests/support/sim_harness.h"
#include "tools/heq_params.h"
#include "tools/tools.h"

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace {

using file_list = std::vector<std::pair<std::string, std::string>>;  // name, content
using field_values = std::vector<std::pair<std::string, int>>;       // key, value

// The record a file with these keys gives: the defaults, then the values.
heq_params expected_record(const field_values& values)
{
    heq_params p{};
    p.TC_flags = 128;
    for (const auto& entry : values)
        visit_heq_fields(p, [&](int i, auto& field) {
            if (entry.first == HEQ_FIELDS[static_cast<std::size_t>(i)].name)
                field = static_cast<std::remove_reference_t<decltype(field)>>(entry.second);
        });
    return p;
}

std::string describe(const heq_params& p)
{
    std::string s;
    visit_heq_fields(p, [&](int i, const auto& field) {
        s += std::string(HEQ_FIELDS[static_cast<std::size_t>(i)].name) + "=" + std::to_string(field) + " ";
    });
    return s;
}

void write_file(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

struct read_result {
    int result;
    heq_params record;
    std::string out, err;
};

read_result run_read_heq_ini()
{
    read_result r{};
    r.record.heq_a = 0x5EED;  // shows whether the record was touched
    CaptureStdout();
    CaptureStderr();
    r.result = read_heq_ini(r.record);
    r.out = GetCapturedStdout();
    r.err = GetCapturedStderr();
    return r;
}

// ---------------------------------------------------------------------------
// Which file is used, and what the record then holds.

struct ini_case {
    const char* what;
    file_list files;
    const char* used;  // the file that must be read
    field_values values;
};

const std::string ALL_KEYS =
    "[heq_info]\nheq_a=1\nheq_b=2\nheq_c=3\nheq_temp_offset=4\ninhibition_correction=5\n"
    "TC_flags=6\nT2_b=7\nT2_a5=8\na_off=9\na_day=10\n";
const field_values ALL_VALUES = {{"heq_a", 1},    {"heq_b", 2}, {"heq_c", 3}, {"heq_temp_offset", 4},
                                 {"inhibition_correction", 5}, {"TC_flags", 6}, {"T2_b", 7},
                                 {"T2_a5", 8},    {"a_off", 9}, {"a_day", 10}};

const ini_case INI_CASES[] = {
    {"only the third name present", {{"ORV1PARAM.INI", ALL_KEYS}}, "ORV1PARAM.INI", ALL_VALUES},
    {"the first two present: the first wins",
     {{"ORV2PARAM.INI", "[heq_info]\nheq_a=2\n"}, {"ORV3PARAM.INI", "[heq_info]\nheq_a=3\n"}},
     "ORV3PARAM.INI",
     {{"heq_a", 3}}},
    {"an empty first file is passed over",
     {{"ORV3PARAM.INI", ""}, {"ORV2PARAM.INI", "[heq_info]\nheq_b=22\n"}},
     "ORV2PARAM.INI",
     {{"heq_b", 22}}},
    {"a first file with keys but no section is passed over",
     {{"ORV3PARAM.INI", "heq_a=5\n"}, {"ORV1PARAM.INI", "[x]\n"}},
     "ORV1PARAM.INI",
     {}},
    {"only the section [other]: found, every field its default",
     {{"ORV3PARAM.INI", "[other]\nheq_a=5\nTC_flags=1\n"}},
     "ORV3PARAM.INI",
     {}},
    {"names without regard to case",
     {{"ORV3PARAM.INI", "[HEQ_Info]\ntc_flags=5\nHEQ_A=7\nt2_B=-3\n"}},
     "ORV3PARAM.INI",
     {{"TC_flags", 5}, {"heq_a", 7}, {"T2_b", -3}}},
    {"minus one in an unsigned and a signed field",
     {{"ORV3PARAM.INI", "[heq_info]\na_off=-1\nT2_b=-1\n"}},
     "ORV3PARAM.INI",
     {{"a_off", 65535}, {"T2_b", -1}}},
    {"values cut to the fields' widths",
     {{"ORV3PARAM.INI",
       "[heq_info]\nTC_flags=384\na_off=-1\ninhibition_correction=200\nheq_temp_offset=70000\n"
       "a_day=-32769\n"}},
     "ORV3PARAM.INI",
     {{"TC_flags", 128}, {"a_off", 65535}, {"inhibition_correction", -56}, {"heq_temp_offset", 4464},
      {"a_day", 32767}}},
    {"a directory of the first name is passed over",
     {{"ORV3PARAM.INI/", ""}, {"ORV2PARAM.INI", "[heq_info]\nheq_c=9\n"}},
     "ORV2PARAM.INI",
     {{"heq_c", 9}}},
};

void PrintTo(const ini_case& c, std::ostream* os) { *os << c.what; }

class heq_ini_file : public in_temp_dir, public testing::WithParamInterface<ini_case> {};

TEST_P(heq_ini_file, finds_the_file_and_reads_the_record)
{
    const ini_case& c = GetParam();
    for (const auto& [name, content] : c.files) {
        if (name.back() == '/')
            fs::create_directory(name);
        else
            write_file(name, content);
    }
    const read_result r = run_read_heq_ini();
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.out, "INI file used: " + path_of(c.used) + "\n");
    EXPECT_EQ(r.err, "");
    const heq_params want = expected_record(c.values);
    EXPECT_FALSE(heq_params_differ(r.record, want)) << describe(r.record) << "\nwanted " << describe(want);
}

INSTANTIATE_TEST_SUITE_P(cases, heq_ini_file, testing::ValuesIn(INI_CASES),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST_F(in_temp_dir, no_file_at_all_leaves_the_record_and_reports_on_both_streams)
{
    write_file("ORV3PARAM.INI", "");  // exists, but holds no section
    write_file("orv1param.ini.bak", "[heq_info]\n");
    const read_result r = run_read_heq_ini();
    EXPECT_EQ(r.result, TOOL_NO_PARAM_FILE);
    EXPECT_EQ(r.record.heq_a, 0x5EED);
    const std::string line = "Error finding INI file - " + path_of("ORV3PARAM.INI") + ": holds no section\n";
    EXPECT_EQ(r.out, line);
    EXPECT_EQ(r.err, line);
}

// A file that cannot serve: the message names it and says why; nothing of
// a later name is used when the first is too large to be searched.
struct unusable_case {
    const char* what;
    void (*make)();
    const char* named;  // the file the message names
    const char* line;   // the message after the path
};

const std::uintmax_t TOO_LARGE = HEQ_INI_SIZE_MAX + 1;

const unusable_case UNUSABLE_CASES[] = {
    {"none of the names", [] {}, "ORV3PARAM.INI",
     "Error finding INI file - %s: not found, nor ORV2PARAM.INI or ORV1PARAM.INI\n"},
    {"a directory", [] { fs::create_directory("ORV3PARAM.INI"); }, "ORV3PARAM.INI",
     "Error finding INI file - %s: not a regular file\n"},
    // A blocking open would wait here for a writer forever.
    {"a FIFO", [] { ASSERT_EQ(mkfifo("ORV2PARAM.INI", 0644), 0); }, "ORV2PARAM.INI",
     "Error finding INI file - %s: not a regular file\n"},
    {"unreadable", [] { fs::create_symlink("ORV3PARAM.INI", "ORV3PARAM.INI"); }, "ORV3PARAM.INI",
     "Error finding INI file - %s: cannot be read: Too many levels of symbolic links\n"},
    {"the first that is there is named, not the last name tried",
     [] {
         write_file("ORV2PARAM.INI", "no section\n");
         fs::create_directory("ORV1PARAM.INI");
     },
     "ORV2PARAM.INI", "Error finding INI file - %s: holds no section\n"},
    {"one byte too large, a good file after it",
     [] {
         write_file("ORV2PARAM.INI", "[heq_info]\nheq_a=1\n" + std::string(TOO_LARGE - 19, ' '));
         write_file("ORV1PARAM.INI", ALL_KEYS);
     },
     "ORV2PARAM.INI", "INI file refused - %s: larger than 1048576 bytes\n"},
    {"2 GB", [] { write_file("ORV3PARAM.INI", "[heq_info]\n"); fs::resize_file("ORV3PARAM.INI", 2ull << 30); },
     "ORV3PARAM.INI", "INI file refused - %s: larger than 1048576 bytes\n"},
};

void PrintTo(const unusable_case& c, std::ostream* os) { *os << c.what; }

class heq_ini_unusable : public in_temp_dir, public testing::WithParamInterface<unusable_case> {};

TEST_P(heq_ini_unusable, names_the_file_and_why)
{
    const unusable_case& c = GetParam();
    c.make();
    const read_result r = run_read_heq_ini();
    EXPECT_EQ(r.result, TOOL_NO_PARAM_FILE);
    EXPECT_EQ(r.record.heq_a, 0x5EED);
    char line[2048];
    std::snprintf(line, sizeof line, c.line, path_of(c.named).c_str());
    EXPECT_EQ(r.out, line);
    EXPECT_EQ(r.err, line);
}

INSTANTIATE_TEST_SUITE_P(cases, heq_ini_unusable, testing::ValuesIn(UNUSABLE_CASES),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

// The path may hold 1023 characters; one more and the file is not found.
TEST_F(in_temp_dir, path_limit)
{
    const std::string name = "ORV3PARAM.INI";
    for (const std::size_t path_length : {std::size_t{1023}, std::size_t{1024}}) {
        SCOPED_TRACE(path_length);
        fs::current_path(dir);
        std::string cwd = dir;
        const std::size_t want_cwd = path_length - 1 - name.size();
        while (cwd.size() < want_cwd) {
            // Segments of at most 200 characters, none left of length 0.
            const std::size_t left = want_cwd - cwd.size();
            const std::size_t part = left <= 201 ? left - 1 : left - 201 < 2 ? 100 : 200;
            ASSERT_GT(part, 0u);
            const std::string seg(part, 'd');
            fs::create_directory(seg);
            fs::current_path(seg);
            cwd += "/" + seg;
        }
        ASSERT_EQ(fs::current_path().string(), cwd);
        write_file(name, "[heq_info]\nheq_a=77\n");
        const read_result r = run_read_heq_ini();
        const std::string path = cwd + "/" + name;
        ASSERT_EQ(path.size(), path_length);
        if (path_length <= HEQ_INI_PATH_MAX) {
            EXPECT_EQ(r.result, 1);
            EXPECT_EQ(r.record.heq_a, 77);
        } else {
            EXPECT_EQ(r.result, TOOL_NO_PARAM_FILE);
            EXPECT_EQ(r.record.heq_a, 0x5EED);
            EXPECT_EQ(r.err, "Error finding INI file - " + path + ": path longer than 1023 characters\n");
        }
    }
}

// ---------------------------------------------------------------------------
// The syntax of the file beyond section headers and key=value lines, and
// files that are no INI files at all.

struct syntax_case {
    const char* what;
    std::string content;
    field_values values;
};

std::string binary_noise()
{
    std::string s;
    for (int i = 0; i < 2048; ++i)
        s.push_back(static_cast<char>((i * 131 + 7) % 256));
    return s;
}

const syntax_case SYNTAX_CASES[] = {
    {"comments and blanks",
     "; heq_a=5\n  [ heq_info ]  \n;heq_b=6\n  heq_c  =  -42  \n\t T2_b\t=\t9\t\n", {{"heq_c", -42}, {"T2_b", 9}}},
    {"CRLF line ends and no line end at the end", "[heq_info]\r\nheq_a=12\r\nheq_b=-9", {{"heq_a", 12}, {"heq_b", -9}}},
    {"a byte order mark", "\xEF\xBB\xBF[heq_info]\nheq_a=3\n", {{"heq_a", 3}}},
    {"quoted values", "[heq_info]\nheq_a=\"15\"\nheq_b='16'\nheq_c=\"17\n", {{"heq_a", 15}, {"heq_b", 16}}},
    {"the first line of a key counts", "[heq_info]\nheq_a=1\nHEQ_A=2\nheq_a=3\n", {{"heq_a", 1}}},
    {"only the first section of the name is searched",
     "[heq_info]\nheq_a=1\n[other]\nheq_b=5\n[HEQ_INFO]\nheq_a=2\nheq_c=3\n", {{"heq_a", 1}}},
    {"keys before any section and in other sections are not read",
     "heq_a=5\n[heq_infox]\nheq_b=6\n[heq_info]\nheq_c=7\n", {{"heq_c", 7}}},
    {"an empty value gives the default, a missing '=' too",
     "[heq_info]\nTC_flags=\nheq_a=\nheq_b\n", {}},
    {"a value that is no number gives 0, also where the default is not 0",
     "[heq_info]\nTC_flags=abc\nheq_a=-x5\nheq_b= - 5\n", {{"TC_flags", 0}}},
    {"hexadecimal, octal and binary after a lower-case prefix, blanks before the number",
     "[heq_info]\nheq_a=0x7fff\nheq_b=-0x10\nheq_c=0X10\nT2_b=0o17\nT2_a5=0b101\na_day=\" 42 \"\nTC_flags=0xfg\n",
     {{"heq_a", 0x7fff}, {"heq_b", -16}, {"T2_b", 15}, {"T2_a5", 5}, {"a_day", 42}, {"TC_flags", 15}}},
    {"a lone carriage return ends a line", "[heq_info]\rheq_a=3\rheq_b=4", {{"heq_a", 3}, {"heq_b", 4}}},
    {"a number ends at the first other character",
     "[heq_info]\nheq_a=42abc\nheq_b=+17\nheq_c=0x10\nT2_b=12 ; twelve\nT2_a5=1.9e3\n",
     {{"heq_a", 42}, {"heq_b", 17}, {"heq_c", 16}, {"T2_b", 12}, {"T2_a5", 1}}},
    {"numbers beyond 32 bits wrap around",
     "[heq_info]\nheq_a=4294967297\nheq_b=-4294967297\nheq_c=2147483648\n"
     "T2_b=99999999999999999999999999999999999999\na_day=-2147483649\n",
     {{"heq_a", 1}, {"heq_b", -1}, {"heq_c", INT32_MIN}, {"T2_b", -1}, {"a_day", -1}}},
    {"NUL bytes are characters", "[heq_info]\nheq_a\0=5\nheq_b=7\0" "8\n[heq\0info]\nheq_c=1\n"s, {{"heq_b", 7}}},
    {"binary data around the section", binary_noise() + "\n[heq_info]\nheq_a=5\n" + binary_noise(), {{"heq_a", 5}}},
    {"a line of 512 KB, then keys", "[heq_info]\nheq_c=" + std::string(1 << 19, '7') + "\nheq_a=8\n", {{"heq_a", 8}}},
    {"the rest of a cut line is no line of its own",
     "[heq_info]\nheq_b=" + std::string(PROFILE_LINE_MAX, 'x') + "heq_a=99\n", {}},
    {"a line of 512 KB without a line end", "[heq_info]\nheq_a=8\nheq_b=" + std::string(1 << 19, 'x'), {{"heq_a", 8}}},
    {"a file of the largest size taken",
     "[heq_info]\nheq_a=8\n" + std::string(HEQ_INI_SIZE_MAX - 19 - 8, ';') + "\na_day=9", {{"heq_a", 8}, {"a_day", 9}}},
    {"a header without ']' is no header", "[heq_info]\nheq_a=1\n[other\nheq_b=2\n", {{"heq_a", 1}, {"heq_b", 2}}},
};

void PrintTo(const syntax_case& c, std::ostream* os) { *os << c.what; }

class heq_ini_syntax : public in_temp_dir, public testing::WithParamInterface<syntax_case> {};

TEST_P(heq_ini_syntax, reads_the_values)
{
    const syntax_case& c = GetParam();
    write_file("ORV3PARAM.INI", c.content);
    const read_result r = run_read_heq_ini();
    ASSERT_EQ(r.result, 1) << r.err;
    heq_params want = expected_record(c.values);
    if (std::string(c.what).find("512 KB, then keys") != std::string::npos)
        want.heq_c = r.record.heq_c;  // whatever a cut run of digits wraps to
    EXPECT_FALSE(heq_params_differ(r.record, want)) << describe(r.record) << "\nwanted " << describe(want);
}

INSTANTIATE_TEST_SUITE_P(cases, heq_ini_syntax, testing::ValuesIn(SYNTAX_CASES),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

}  // namespace
