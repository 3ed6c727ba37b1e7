// SPDX-License-Identifier: MIT
// The setter's arithmetic: the time command from one local-time reading, the
// second step's correction, and the zone table type of a firmware.
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "tools/time_setter.h"
#include "watchlink/info_blocks.h"
#include "watchlink/protocol.h"

namespace {

// extra3 as the watch sends it, with these firmware fields.
firmware_id firmware(uint8_t kind, uint8_t flags, uint8_t version, uint8_t variant)
{
    watch_reply extra3{};
    extra3[EXTRA3_POS_FW_KIND] = kind;
    extra3[EXTRA3_POS_FW_FLAGS] = flags;
    extra3[EXTRA3_POS_FW_VERSION_MONTH] = static_cast<uint8_t>(version << 4);
    extra3[EXTRA3_POS_FW_DAY_VARIANT] = variant;
    extra3[POS_TAG] = TAG_EXTRA3;
    return identify_firmware(extra3);
}

const SYSTEMTIME READING = {2024, 3, 0, 31, 23, 59, 58, 250};

struct ms_case {
    const char* name;
    uint16_t reading_ms;
    int32_t correction;
    int64_t average_delay;
    uint16_t subsec;      // bytes 8-9
    std::string message;  // on the standard error stream
};

void PrintTo(const ms_case& c, std::ostream* os) { *os << c.name; }

const ms_case MS_CASES[] = {
    // 250 + 41 / 2 = 270 ms, 270 * 32768 / 1000 = 8847.36.
    {"half_delay_truncated", 250, 0, 41, 8847, ""},
    {"window_end", SEND_WINDOW_LAST_MS, 0, 0, 9830, ""},
    {"second_step_12mhz", 260, 10, 4, 8912, ""},
    {"second_step_8mhz", 260, 205, 4, 15302, ""},
    {"zero_not_limited", 250, -250, 1, 0, ""},
    {"last_not_limited", 250, 749, 0, 32735, ""},
    {"below_zero_limited", 250, -260, 10, 0, "\nms = -5\n"},
    {"above_999_limited", 300, 705, 10, 32735, "\nms = 1010\n"},
    {"far_below_limited", 250, -450000, 0, 0, "\nms = -449750\n"},
};

class TimeCommandTest : public ::testing::TestWithParam<ms_case> {};

TEST_P(TimeCommandTest, SubsecondCountAndMessage)
{
    const ms_case& c = GetParam();
    SYSTEMTIME reading = READING;
    reading.wMilliseconds = c.reading_ms;
    testing::internal::CaptureStderr();
    const watch_command cmd = time_command(reading, c.correction, c.average_delay);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    EXPECT_EQ(get_u16(cmd.data(), TIME_POS_SUBSEC), c.subsec);
}

INSTANTIATE_TEST_SUITE_P(Table, TimeCommandTest, ::testing::ValuesIn(MS_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TimeCommandTest, FrameCarriesTheReadingAndNothingElse)
{
    const watch_command cmd = time_command(READING, 0, 41);
    watch_command expected{};
    expected[POS_CODE] = CMD_WRITE_EXTRA0;
    put_u16(expected.data(), TIME_POS_SUBSEC, 8847);
    expected[TIME_POS_HOUR] = 23;
    expected[TIME_POS_MINUTE] = 59;
    expected[TIME_POS_SECOND] = 58;
    expected[TIME_POS_DAY] = 31;
    put_u16(expected.data(), TIME_POS_YEAR, 2024);
    expected[TIME_POS_MONTH] = 3;
    expected[POS_SELECT_MASK] = SELECT_TIME;
    expected[POS_TAG] = TAG_EXTRA0;
    // The temperature offset (bytes 6-7) stays 0: its select bit is clear.
    EXPECT_EQ(cmd, expected);
}

TEST(CorrectionTest, ConstantLessWhatTheWatchIsAhead)
{
    const firmware_id mhz12 = firmware(FW_KIND_CC, 0, 3, 0);
    const firmware_id mhz8 = firmware(FW_KIND_CC, 0, 3, FW_VARIANT_8MHZ);
    EXPECT_EQ(second_step_correction(mhz12, 15), 10);
    EXPECT_EQ(second_step_correction(mhz8, 15), 205);
    EXPECT_EQ(second_step_correction(mhz12, -30), 55);
    EXPECT_EQ(second_step_correction(mhz12, 0), CORRECTION_12MHZ_MS);
    // Only bit 0 of the variant tells the clock.
    EXPECT_EQ(correction_constant(firmware(FW_KIND_DD, 0, 8, 0x06)), CORRECTION_12MHZ_MS);
    EXPECT_EQ(correction_constant(firmware(FW_KIND_DD, 0, 8, 0x07)), CORRECTION_8MHZ_MS);
}

TEST(ZoneTableTypeTest, FromFlagAndVersion)
{
    struct {
        uint8_t flags, version;
        int type;
    } const cases[] = {
        {0x00, 0, 1}, {0x00, 5, 1}, {0xEF, 15, 1},  // without the zone-table flag
        {FW_FLAG_ZONE_TABLES, 0, 2}, {FW_FLAG_ZONE_TABLES, 2, 2},
        {FW_FLAG_ZONE_TABLES, 3, 3}, {FW_FLAG_ZONE_TABLES, 15, 3},
        {FW_FLAG_ZONE_TABLES | FW_FLAG_ZENTA, 2, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(zone_table_type(firmware(FW_KIND_CC, c.flags, c.version, 0)), c.type)
            << "flags " << int{c.flags} << " version " << int{c.version};
}

}  // namespace
