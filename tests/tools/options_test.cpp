// SPDX-License-Identifier: MIT
// The setter's options: the table's prefixes and handlers, the count that
// selects the temperature-offset mode, and "%d" reading.
#include <climits>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/options.h"

namespace {

struct settings {
    int32_t tzoff = 0;
    bool tzoff_set = false;
    int32_t tempoff = 0;
    bool tempoff_set = false;
    int32_t tz = -1;
    bool tz_set = false;
    int32_t dst = -1;
    int count = 0;
};

struct options_case {
    const char* name;
    std::vector<std::string> args;  // after the program name
    settings expected;
};

void PrintTo(const options_case& c, std::ostream* os) { *os << c.name; }

settings parsed(std::vector<std::string> args)
{
    // The settings are process-wide: every case starts from the initial values.
    reset_options();
    args.insert(args.begin(), "orv3set");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    settings s;
    s.count = parse_options(static_cast<int>(args.size()), argv.data());
    s.tzoff = opt_tzoff;
    s.tzoff_set = opt_tzoff_set;
    s.tempoff = opt_tempoff;
    s.tempoff_set = opt_tempoff_set;
    s.tz = opt_tz;
    s.tz_set = opt_tz_set;
    s.dst = opt_dst;
    return s;
}

settings with_tzoff(int32_t quarters) { settings s; s.tzoff = quarters; s.tzoff_set = true; return s; }
settings with_tempoff(int32_t v, int count) { settings s; s.tempoff = v; s.tempoff_set = true; s.count = count; return s; }
settings with_tz(int32_t v) { settings s; s.tz = v; s.tz_set = true; return s; }
settings with_dst(int32_t v) { settings s; s.dst = v; return s; }

const options_case OPTION_CASES[] = {
    {"upper_case_prefix", {"TZOFF=60"}, with_tzoff(4)},
    {"mixed_case_prefix", {"TzOff=60"}, with_tzoff(4)},
    {"tzoff_limited_above", {"tzoff=2000"}, with_tzoff(96)},
    {"tzoff_limited_below", {"tzoff=-2000"}, with_tzoff(-96)},
    {"tzoff_truncates_toward_zero", {"tzoff=-37"}, with_tzoff(-2)},
    {"tzoff_text_after_digits_ignored", {"tzoff=90min"}, with_tzoff(6)},
    {"tzoff_leading_blanks_and_sign", {"tzoff= \t+45"}, with_tzoff(3)},
    {"tzoff_at_limit", {"tzoff=1440"}, with_tzoff(96)},
    {"tzoff_beyond_32_bits", {"tzoff=99999999999"}, with_tzoff(96)},
    {"tz_without_value", {"tz="}, settings{}},
    {"tz_letters_only", {"tz=abc"}, settings{}},
    {"tz_sign_without_digits", {"tz=-"}, settings{}},
    {"tz_unreadable_keeps_earlier", {"tz=7", "tz=x"}, with_tz(7)},
    {"tz_later_value_counts", {"tz=7", "tz=12"}, with_tz(12)},
    {"tz_below_32_bits", {"tz=-99999999999"}, with_tz(INT32_MIN)},
    {"dst_read", {"dst=1"}, with_dst(1)},
    {"dst_unreadable_is_automatic", {"dst=1", "dst=x"}, with_dst(-1)},
    {"dst_out_of_range_kept", {"dst=5"}, with_dst(5)},
    {"tzoffset_matches_no_row", {"tzoffset=3"}, settings{}},
    {"tz_needs_its_equals_sign", {"tz5"}, settings{}},
    {"unknown_argument_passed_over", {"--help", "x"}, settings{}},
    {"tempoff_counts", {"tempoff=12"}, with_tempoff(12, 1)},
    {"tempoff_unreadable_counts_earlier_mark", {"tempoff=12", "tempoff=x"}, with_tempoff(12, 2)},
    {"tempoff_unreadable_alone", {"tempoff=x"}, settings{}},
    {"tempoff_beyond_32_bits_saturates", {"tempoff=4294967308"}, with_tempoff(INT32_MAX, 1)},
    {"zone_options_alone_count_nothing",
     {"tz=5", "tzoff=60", "dst=0"},
     settings{4, true, 0, false, 5, true, 0, 0}},
};

class OptionsTest : public ::testing::TestWithParam<options_case> {};

TEST_P(OptionsTest, SettingsAndCount)
{
    const options_case& c = GetParam();
    const settings s = parsed(c.args);
    EXPECT_EQ(s.tzoff, c.expected.tzoff);
    EXPECT_EQ(s.tzoff_set, c.expected.tzoff_set);
    EXPECT_EQ(s.tempoff, c.expected.tempoff);
    EXPECT_EQ(s.tempoff_set, c.expected.tempoff_set);
    EXPECT_EQ(s.tz, c.expected.tz);
    EXPECT_EQ(s.tz_set, c.expected.tz_set);
    EXPECT_EQ(s.dst, c.expected.dst);
    EXPECT_EQ(s.count, c.expected.count);
}

INSTANTIATE_TEST_SUITE_P(Table, OptionsTest, ::testing::ValuesIn(OPTION_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OptionsTest, ProgramNameIsNotAnOption)
{
    opt_tempoff_set = false;
    char name[] = "tempoff=5";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(parse_options(1, argv), 0);
    EXPECT_FALSE(opt_tempoff_set);
}

struct decimal_case {
    const char* text;
    bool read;
    int32_t value;
};

TEST(ReadDecimalTest, AsPercentD)
{
    const decimal_case cases[] = {
        {"", false, 0},
        {"-", false, 0},
        {"- 5", false, 0},
        {"x12", false, 0},
        {"+7", true, 7},
        {" \t\n-3x", true, -3},
        {"007", true, 7},
        {"2147483647", true, INT32_MAX},
        {"2147483648", true, INT32_MAX},
        {"-2147483648", true, INT32_MIN},
        {"-2147483649", true, INT32_MIN},
        // Long enough to overflow any wider type on the way.
        {"99999999999999999999999999", true, INT32_MAX},
        {"-99999999999999999999999999", true, INT32_MIN},
    };
    for (const decimal_case& c : cases) {
        int32_t v = 42;
        EXPECT_EQ(read_decimal(c.text, v), c.read) << '"' << c.text << '"';
        EXPECT_EQ(v, c.read ? c.value : 42) << '"' << c.text << "\" leaves the value alone unless read";
    }
}

// What the setter takes before its run: rows it matches, with values that
// fit what the watch keeps; a value without digits keeps its row's rule.
TEST(OptionRefusalTest, RangesAndUnknownArguments)
{
    const struct {
        const char* arg;
        bool taken;
    } cases[] = {
        {"tz=255", true},          {"tz=256", false},        {"tz=-1", true},
        {"tz=-99999999999", true}, {"tz=4294967297", false}, {"Tz=300abc", false},
        {"tz=", true},             {"tz=abc", true},         {"tempoff=32767", true},
        {"tempoff=32768", false},  {"tempoff=-32768", true}, {"tempoff=-32769", false},
        {"tempoff=x", true},       {"TEMPOFF=99999999999", false},
        {"tzoff=99999", true},  // limited by its own rule
        {"dst=7", true},           {"tzoffset=3", false},    {"tz5", false},
        {"--help", false},         {"", false},
    };
    for (const auto& c : cases) {
        const std::string why = option_refusal(c.arg);
        EXPECT_EQ(why.empty(), c.taken) << "[" << c.arg << "] " << why;
        if (!c.taken) {
            EXPECT_NE(why.find(std::string("'") + c.arg + "'"), std::string::npos) << why;
        }
    }
}

}  // namespace
