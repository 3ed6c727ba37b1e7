// SPDX-License-Identifier: MIT
// orv3set run under orv3sim with TZ set: the three steps, the zone settings
// for each zone table type, the zone options, and watches that stop answering.
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/setter_runs.h"
#include "tests/support/scoped_tz.h"
#include "tools/clock_sampling.h"
#include "tools/time_setter.h"
#include "watchlink/run_frame.h"

namespace {

const tool_frame& SETTER = FRAME_TIME_SETTER;
// The final clock error is the correction constant on an ideal link; the
// rest is scheduling on a loaded machine.
constexpr double CLOCK_TOLERANCE_MS = 50;

// Zones: one in every table, one absent with daylight-saving dates, one
// absent without.
const char TOKYO[] = "Asia/Tokyo";  // type 1 row 25, type 3 row 37; no DST
constexpr long TOKYO_UTC_OFFSET_S = 9 * 3600;
const char PARIS[] = "Europe/Paris";  // type 2 row 20, type 3 row 21
const char AZORES[] = "Atlantic/Azores";
const char AZORES_NAME[] = "Azores Standard Time";
// Daylight time from the last Sunday of March, 00:00, to the last Sunday of
// October, 01:00, as rule words.
constexpr unsigned AZORES_START_RULE = 3 + 256 * 5;
constexpr unsigned AZORES_END_RULE = 10 + 256 * 5 + 2048 * 1;
const char CAPE_VERDE[] = "Atlantic/Cape_Verde";
const char CAPE_VERDE_NAME[] = "Cape Verde Standard Time";
constexpr int OFFSET_MINUS_1H = -4;  // quarter hours

const std::vector<std::string> TYPE1 = {"--fw-flags=0"};
const std::vector<std::string> TYPE2 = {"--fw-flags=" + std::to_string(FW_FLAG_ZONE_TABLES), "--fw-version=2"};
const std::vector<std::string> TYPE3 = {"--fw-flags=" + std::to_string(FW_FLAG_ZONE_TABLES), "--fw-version=3"};

std::vector<std::string> plus(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Whether daylight time is in force in zone tz now, as the C library says.
bool daylight_now(const char* tz)
{
    const ScopedTz zone(tz);
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return local.tm_isdst > 0;
}

std::string step_marks(int samples) { return std::string(static_cast<std::size_t>(samples), '.'); }

// Standard error up to the third step's measurement.
std::string opening_and_two_steps(const char* clock)
{
    const std::string step = step_marks(STEP_SAMPLES) + "0\n";
    return std::string(MSG_REMINDER) + SETTER.prompt + "3\n" + clock + step + "1\nsecond step\n" + step +
           "1\nthird step\n" + step;
}

// Watch commands of a complete run of three steps, up to the third step's
// extra2 read.
std::vector<uint8_t> three_steps()
{
    std::vector<uint8_t> codes = {CMD_READ_EXTRA3};
    for (int step = 0; step < 3; ++step) {
        codes.insert(codes.end(), STEP_SAMPLES, CMD_READ_CLOCK);
        codes.push_back(CMD_READ_EXTRA2);
        if (step < 2)
            codes.push_back(CMD_WRITE_EXTRA0);
    }
    return codes;
}

// The extra2 block before the zone command: the watch's reply to the first read.
watch_reply first_extra2(const std::vector<wire_frame>& wire)
{
    watch_reply r{};
    const auto replies = frames_of(wire, "watch>ap", POS_CODE, CMD_READ_EXTRA2);
    if (!replies.empty())
        std::copy(replies.front().bytes.begin(), replies.front().bytes.end(), r.begin());
    return r;
}

double subsec_ms(const watch_command& c) { return get_u16(c.data(), TIME_POS_SUBSEC) * 1000.0 / SUBSEC_PER_SECOND; }

// The time command's date and time as seconds, its fields read as UTC.
time_t command_seconds(const watch_command& c)
{
    tm t{};
    t.tm_year = get_u16(c.data(), TIME_POS_YEAR) - 1900;
    t.tm_mon = c[TIME_POS_MONTH] - 1;
    t.tm_mday = c[TIME_POS_DAY];
    t.tm_hour = c[TIME_POS_HOUR];
    t.tm_min = c[TIME_POS_MINUTE];
    t.tm_sec = c[TIME_POS_SECOND];
    return timegm(&t);
}

TEST(SetterRun, ThreeStepsSetTheClockAndTheZone)
{
    const time_t start = time(nullptr);
    const run_result r = run_setter(TYPE1, {}, TOKYO);
    const time_t end = time(nullptr);
    EXPECT_EQ(r.status, 0);

    // Progress on the standard error stream, results on the standard output.
    EXPECT_EQ(r.err, opening_and_two_steps("12 MHz\n") + "\nDST 0\nTZ_NDX 25" + "\nDONE!\n");
    ASSERT_EQ(r.out.rfind(SETTER.banner, 0), 0u) << r.out;
    EXPECT_EQ(step_summaries(r.out).size(), 3u) << r.out;
    EXPECT_EQ(count_of(r.out, "diff 02 = "), 3u);
    EXPECT_EQ(count_of(r.out, "diff 11 = "), 3u);
    EXPECT_EQ(count_of(r.out, "diff 12 = "), 0u);
    EXPECT_EQ(count_of(r.out, "UTC time = "), 3u);

    // The order of operations, exactly.
    const auto commands = watch_commands(r.wire);
    std::vector<uint8_t> expected = three_steps();
    expected.push_back(CMD_WRITE_EXTRA2);
    expected.push_back(CMD_EXIT_SYNC);
    EXPECT_EQ(codes_text(command_codes(commands)), codes_text(expected));

    // Two time commands from readings in the 250-300 ms window: the first
    // plus half the delay, the second also corrected.
    const auto times = commands_of(commands, CMD_WRITE_EXTRA0);
    ASSERT_EQ(times.size(), 2u);
    for (const watch_command& t : times) {
        EXPECT_EQ(t[POS_SELECT_MASK], SELECT_TIME);
        EXPECT_EQ(t[POS_TAG], TAG_EXTRA0);
        for (int i = 1; i < TIME_POS_SUBSEC; ++i)
            EXPECT_EQ(t[static_cast<std::size_t>(i)], 0) << "byte " << i;
        const time_t local = command_seconds(t);
        EXPECT_GE(local, start + TOKYO_UTC_OFFSET_S - 1);
        EXPECT_LE(local, end + TOKYO_UTC_OFFSET_S + 1);
    }
    // The count is the milliseconds truncated to 1/32768 s.
    EXPECT_GE(subsec_ms(times[0]), SEND_WINDOW_FIRST_MS - 1);
    EXPECT_LE(subsec_ms(times[0]), SEND_WINDOW_LAST_MS + CLOCK_TOLERANCE_MS);
    EXPECT_GE(subsec_ms(times[1]), SEND_WINDOW_FIRST_MS + CORRECTION_12MHZ_MS - CLOCK_TOLERANCE_MS);
    EXPECT_LE(subsec_ms(times[1]), SEND_WINDOW_LAST_MS + CORRECTION_12MHZ_MS + CLOCK_TOLERANCE_MS);

    const watch_end w = parse_summary(r.summary);
    ASSERT_TRUE(w.clock_found) << r.summary;
    EXPECT_EQ(w.time_sets, 2);
    EXPECT_NEAR(w.clock_error_ms, CORRECTION_12MHZ_MS, CLOCK_TOLERANCE_MS);
    ASSERT_TRUE(w.zone_found);
    EXPECT_EQ(w.zone_offset, static_cast<int8_t>(first_extra2(r.wire)[EXTRA2_POS_ZONE_OFFSET]));
    EXPECT_EQ(w.zone_index, 25);
    EXPECT_EQ(w.dst_mode, -2);

    // The run frame: opened once, closed once.
    EXPECT_EQ(ap_requests(r.wire, AP_RESET), 2u);
    EXPECT_EQ(ap_requests(r.wire, AP_VAM_START), 1u);
    EXPECT_EQ(ap_requests(r.wire, AP_VAM_STOP), 1u);
}

TEST(SetterRun, EightMhzWatchOfAnotherKindGetsNoZoneCommand)
{
    const run_result r =
        run_setter({"--fw-kind=" + std::to_string(FW_KIND_DD), "--fw-variant=" + std::to_string(FW_VARIANT_8MHZ)},
                   {"tz=5", "dst=1"}, TOKYO);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, opening_and_two_steps("8 MHz\n") + "\nDONE!\n");
    std::vector<uint8_t> expected = three_steps();
    expected.push_back(CMD_EXIT_SYNC);
    EXPECT_EQ(codes_text(command_codes(watch_commands(r.wire))), codes_text(expected));
    // Its clock replies carry the sub-second count at the other position; a
    // wrong one would spoil the measurement and the final error with it.
    const watch_end w = parse_summary(r.summary);
    EXPECT_NEAR(w.clock_error_ms, CORRECTION_8MHZ_MS, CLOCK_TOLERANCE_MS);
    EXPECT_EQ(w.time_sets, 2);
}

// The zone command of the third step, by zone table type, PC zone and options.
constexpr int DAYLIGHT_NOW = 100;  // DST mode byte -1 in daylight time, -2 otherwise
constexpr int NOT_PRINTED = 101;

struct zone_case {
    const char* name;
    const char* tz;
    std::vector<std::string> sim_args;
    std::vector<std::string> args;
    uint8_t select;  // no zone command at all when 0
    int offset, index, dst_mode;  // bytes 1-3 (signed), checked where selected
    int dst_printed;              // "\nDST %d"; DAYLIGHT_NOW: 1 or 0
    const char* no_match;         // the zone name of the no-match message
    bool dst_rules;               // CMD_WRITE_DST first
    int info_max;                 // "\nDST_INFO_MAX %d"; NOT_PRINTED
};

void PrintTo(const zone_case& c, std::ostream* os) { *os << c.name; }

const uint8_t FOUND_T23 = SELECT_ZONE_INDEX;
const uint8_t NOT_FOUND = SELECT_ZONE_OFFSET | SELECT_ZONE_INDEX | SELECT_DST_MODE;

const zone_case ZONE_CASES[] = {
    // Automatic DST, no options: the outcomes by zone table type.
    {"type2_found", PARIS, TYPE2, {}, FOUND_T23, 0, 20, 0, NOT_PRINTED, nullptr, false, NOT_PRINTED},
    {"type3_found_by_rules", PARIS, TYPE3, {}, FOUND_T23, 0, 21, 0, NOT_PRINTED, nullptr, false, NOT_PRINTED},
    {"type1_not_found", AZORES, TYPE1, {}, NOT_FOUND, OFFSET_MINUS_1H, -1, DAYLIGHT_NOW, DAYLIGHT_NOW, AZORES_NAME,
     false, NOT_PRINTED},
    {"type3_not_found_dst_info_max", AZORES, plus(TYPE3, {"--dst-info-max=9"}), {}, NOT_FOUND, OFFSET_MINUS_1H, -1,
     9, 8, AZORES_NAME, true, 9},
    {"type3_not_found_dst_rules", AZORES, TYPE3, {}, NOT_FOUND, OFFSET_MINUS_1H, -1, 6, 8, AZORES_NAME, true,
     NOT_PRINTED},
    {"type3_not_found_without_dst", CAPE_VERDE, TYPE3, {}, NOT_FOUND, OFFSET_MINUS_1H, -1, -2, 0, CAPE_VERDE_NAME,
     false, NOT_PRINTED},
    // Options. (Type 2 without a match: the offset of the PC's zone too.)
    {"tzoff_tz_dst_override_a_found_zone", TOKYO, TYPE1, {"TZOFF=60", "tz=7", "dst=1"}, NOT_FOUND, 4, 7, -1, 1,
     nullptr, false, NOT_PRINTED},
    {"tz_with_no_match_sends_the_offset_too", AZORES, TYPE2, {"tz=7", "dst=1"},
     SELECT_ZONE_OFFSET | SELECT_ZONE_INDEX, OFFSET_MINUS_1H, 7, -1, NOT_PRINTED, AZORES_NAME, false, NOT_PRINTED},
    {"dst_given_takes_no_rules", AZORES, TYPE3, {"dst=0"}, NOT_FOUND, OFFSET_MINUS_1H, -1, -2, 0, AZORES_NAME, false,
     NOT_PRINTED},
    {"out_of_range_values_select_nothing", TOKYO, TYPE1, {"dst=5", "tz=-2"}, 0, 0, 0, 0, NOT_PRINTED, nullptr, false,
     NOT_PRINTED},
};

class SetterZone : public ::testing::TestWithParam<zone_case> {};

TEST_P(SetterZone, ZoneCommandAndMessages)
{
    const zone_case& c = GetParam();
    const bool daylight = daylight_now(c.tz);
    const int dst_mode = c.dst_mode == DAYLIGHT_NOW ? (daylight ? -1 : -2) : c.dst_mode;
    const int dst_printed = c.dst_printed == DAYLIGHT_NOW ? (daylight ? 1 : 0) : c.dst_printed;
    const run_result r = run_setter(c.sim_args, c.args, c.tz);
    EXPECT_EQ(r.status, 0);

    // The zone messages close the third step, before "DONE!".
    std::string messages;
    if (c.no_match)
        messages += std::string("\nWindows TZ info does not match any in watch = ") + c.no_match + "\n";
    if (c.info_max != NOT_PRINTED)
        messages += "\nDST_INFO_MAX " + std::to_string(c.info_max);
    if (c.select & SELECT_DST_MODE)
        messages += "\nDST " + std::to_string(dst_printed);
    if (c.select & SELECT_ZONE_INDEX)
        messages += "\nTZ_NDX " + std::to_string(c.index);
    EXPECT_TRUE(ends_with(r.err, step_marks(STEP_SAMPLES) + "0\n" + messages + "\nDONE!\n")) << r.err;
    EXPECT_EQ(r.err.rfind(MSG_REMINDER, 0), 0u) << "the zone options do not divert the run";

    const auto commands = watch_commands(r.wire);
    const auto codes = command_codes(commands);
    std::vector<uint8_t> expected = three_steps();
    if (c.dst_rules)
        expected.push_back(CMD_WRITE_DST);
    if (c.select != 0)
        expected.push_back(CMD_WRITE_EXTRA2);
    expected.push_back(CMD_EXIT_SYNC);
    ASSERT_EQ(codes_text(codes), codes_text(expected));

    const watch_end w = parse_summary(r.summary);
    ASSERT_TRUE(w.zone_found) << r.summary;
    if (c.dst_rules) {
        watch_command rules{};
        rules[POS_CODE] = CMD_WRITE_DST;
        put_u16(rules.data(), DST_POS_START_RULE, AZORES_START_RULE);
        put_u16(rules.data(), DST_POS_END_RULE, AZORES_END_RULE);
        std::copy(DST_LETTERS.begin(), DST_LETTERS.end(), rules.begin() + DST_POS_LETTERS);
        rules[POS_SELECT_MASK] = SELECT_DST_RULES;
        rules[POS_TAG] = TAG_DST;
        EXPECT_EQ(commands_of(commands, CMD_WRITE_DST).at(0), rules);
        EXPECT_TRUE(w.dst_rules);
        EXPECT_EQ(w.start_rule, AZORES_START_RULE);
        EXPECT_EQ(w.end_rule, AZORES_END_RULE);
    }
    const watch_reply before = first_extra2(r.wire);
    if (c.select == 0) {
        EXPECT_EQ(w.zone_offset, static_cast<int8_t>(before[EXTRA2_POS_ZONE_OFFSET]));
        EXPECT_EQ(w.zone_index, static_cast<int8_t>(before[EXTRA2_POS_ZONE_INDEX]));
        EXPECT_EQ(w.dst_mode, static_cast<int8_t>(before[EXTRA2_POS_DST_MODE]));
        return;
    }
    const watch_command zone = commands_of(commands, CMD_WRITE_EXTRA2).at(0);
    EXPECT_EQ(zone[POS_SELECT_MASK], c.select);
    EXPECT_EQ(zone[POS_TAG], TAG_EXTRA2);
    for (int i = EXTRA2_POS_DST_MODE + 1; i < POS_SELECT_MASK; ++i)
        EXPECT_EQ(zone[static_cast<std::size_t>(i)], 0) << "byte " << i;
    // Each field as sent where selected, and the watch keeps it; unselected
    // fields stay as the watch had them.
    struct {
        uint8_t bit;
        int pos, expected, summary;
    } const fields[] = {
        {SELECT_ZONE_OFFSET, EXTRA2_POS_ZONE_OFFSET, c.offset, w.zone_offset},
        {SELECT_ZONE_INDEX, EXTRA2_POS_ZONE_INDEX, c.index, w.zone_index},
        {SELECT_DST_MODE, EXTRA2_POS_DST_MODE, dst_mode, w.dst_mode},
    };
    for (const auto& f : fields) {
        const auto pos = static_cast<std::size_t>(f.pos);
        if (c.select & f.bit) {
            EXPECT_EQ(static_cast<int8_t>(zone[pos]), f.expected) << "byte " << f.pos;
            EXPECT_EQ(f.summary, f.expected) << "byte " << f.pos;
        } else {
            EXPECT_EQ(f.summary, static_cast<int8_t>(before[pos])) << "byte " << f.pos;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SetterZone, ::testing::ValuesIn(ZONE_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

// A watch that stops answering: the step's reduction still runs (on fewer
// samples than it can divide by), no time command is built on a guess, the
// zone settings of a third step are still sent, the closing runs in full,
// and the run ends with a communication error.
TEST(SetterRun, WatchFallsSilentInTheSecondStep)
{
    // extra3, then 14 commands of the first step; the second step's first
    // clock read is the last one answered.
    const run_result r = run_setter(plus(TYPE1, {"--silent-after=16"}), {}, TOKYO);
    EXPECT_EQ(r.status, 255);
    const std::string step = step_marks(STEP_SAMPLES) + "0\n";
    EXPECT_EQ(r.err, std::string(MSG_REMINDER) + SETTER.prompt + "3\n12 MHz\n" + step + "1\nsecond step\n" +
                         step_marks(1) + "\n" + MSG_TOO_FEW_SAMPLES + "\n" + MSG_COMM_ERROR);
    EXPECT_EQ(count_of(r.out, MSG_TOO_FEW_SAMPLES), 1u);
    EXPECT_EQ(count_of(r.out, "average diff = "), 1u);
    EXPECT_TRUE(ends_with(r.out, MSG_COMM_ERROR)) << r.out;

    const auto codes = command_codes(watch_commands(r.wire));
    std::vector<uint8_t> expected = {CMD_READ_EXTRA3};
    expected.insert(expected.end(), STEP_SAMPLES, CMD_READ_CLOCK);
    expected.insert(expected.end(), {CMD_READ_EXTRA2, CMD_WRITE_EXTRA0, CMD_READ_CLOCK, CMD_READ_CLOCK, CMD_EXIT_SYNC});
    EXPECT_EQ(codes_text(codes), codes_text(expected));
    EXPECT_EQ(parse_summary(r.summary).time_sets, 1);
    EXPECT_EQ(ap_requests(r.wire, AP_RESET), 2u);
    EXPECT_EQ(ap_requests(r.wire, AP_VAM_STOP), 1u);
}

TEST(SetterRun, WatchFallsSilentInTheThirdStep)
{
    // Two clock reads of the third step answered: nothing to divide by.
    const run_result r = run_setter(plus(TYPE1, {"--silent-after=31"}), {}, TOKYO);
    EXPECT_EQ(r.status, 255);
    const std::string step = step_marks(STEP_SAMPLES) + "0\n";
    EXPECT_EQ(r.err, std::string(MSG_REMINDER) + SETTER.prompt + "3\n12 MHz\n" + step + "1\nsecond step\n" + step +
                         "1\nthird step\n" + step_marks(2) + "\n" + MSG_TOO_FEW_SAMPLES + "\nDST 0\nTZ_NDX 25\n" +
                         MSG_COMM_ERROR);
    EXPECT_TRUE(ends_with(r.out, MSG_COMM_ERROR)) << r.out;
    const auto codes = command_codes(watch_commands(r.wire));
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(codes[codes.size() - 2], CMD_WRITE_EXTRA2);
    EXPECT_EQ(codes.back(), CMD_EXIT_SYNC);
    EXPECT_EQ(parse_summary(r.summary).time_sets, 2);
    EXPECT_EQ(ap_requests(r.wire, AP_RESET), 2u);
}

}  // namespace
