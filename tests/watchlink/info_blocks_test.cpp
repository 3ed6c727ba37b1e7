// SPDX-License-Identifier: MIT
// Firmware identification from extra3 and the printed block lines.
#include <cstdlib>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/stdout_capture.h"
#include "tests/support/test_env.h"
#include "watchlink/info_blocks.h"

namespace {

watch_reply extra3_of(uint8_t kind, uint8_t version, uint8_t variant, uint8_t month = 0, uint8_t day = 1)
{
    watch_reply b{};
    b[EXTRA3_POS_FW_KIND] = kind;
    b[EXTRA3_POS_FW_VERSION_MONTH] = static_cast<uint8_t>(version << 4 | month);
    b[EXTRA3_POS_FW_DAY_VARIANT] = static_cast<uint8_t>((day - 1) << 3 | variant);
    return b;
}

// The printed lines with month names of the C locale.
std::string printed(const info_blocks& blocks)
{
    set_test_env("LC_ALL", "C");
    return capture_stdout([&] { print_info_blocks(blocks, identify_firmware(blocks[3])); });
}

std::string line_starting(const std::string& text, const std::string& start)
{
    const auto at = text.find(start);
    return at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) + 1 - at);
}

struct extra4_case {
    uint8_t kind, version, variant;
    bool has_extra4;
    int subsec_offset;
};

void PrintTo(const extra4_case& c, std::ostream* os)
{
    *os << "kind " << int{c.kind} << " version " << int{c.version} << " variant " << int{c.variant};
}

class FirmwareRule : public testing::TestWithParam<extra4_case> {};

TEST_P(FirmwareRule, Extra4AndSubsecondPosition)
{
    const extra4_case& c = GetParam();
    const firmware_id fw = identify_firmware(extra3_of(c.kind, c.version, c.variant));
    EXPECT_EQ(fw.has_extra4, c.has_extra4);
    EXPECT_EQ(fw_has_extra4(c.kind, c.version, c.variant), c.has_extra4);
    EXPECT_EQ(fw.subsec_offset, c.subsec_offset);
    EXPECT_EQ(fw.kind, c.kind);
    EXPECT_EQ(fw.version, c.version);
    EXPECT_EQ(fw.variant, c.variant);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FirmwareRule,
    testing::Values(extra4_case{FW_KIND_CC, 0, 0, true, CLOCK_POS_SUBSEC_CC},
                    extra4_case{FW_KIND_CC, 8, 0, true, CLOCK_POS_SUBSEC_CC},
                    extra4_case{FW_KIND_CC, 15, 7, true, CLOCK_POS_SUBSEC_CC},
                    extra4_case{FW_KIND_DD, 8, 0, false, CLOCK_POS_SUBSEC},
                    extra4_case{FW_KIND_DD, 8, 1, true, CLOCK_POS_SUBSEC},
                    extra4_case{FW_KIND_DD, 8, 2, true, CLOCK_POS_SUBSEC},  // a 12 MHz variant
                    extra4_case{FW_KIND_DD, 7, 7, false, CLOCK_POS_SUBSEC},
                    extra4_case{FW_KIND_DD, 9, 0, true, CLOCK_POS_SUBSEC},
                    extra4_case{FW_KIND_DD, 15, 0, true, CLOCK_POS_SUBSEC},
                    extra4_case{0xAA, 9, 1, false, CLOCK_POS_SUBSEC},
                    extra4_case{0x00, 15, 7, false, CLOCK_POS_SUBSEC}));

struct day_variant_case {
    uint8_t byte15;
    int day, variant;
    bool clock_8mhz;
    const char* printed_tail;  // end of the extra3 line, month 0
};

void PrintTo(const day_variant_case& c, std::ostream* os) { *os << "byte 15 = " << int{c.byte15}; }

class DayVariantByte : public testing::TestWithParam<day_variant_case> {};

TEST_P(DayVariantByte, DecodesAndPrints)
{
    const day_variant_case& c = GetParam();
    info_blocks blocks{};
    blocks[3] = extra3_of(FW_KIND_DD, 1, 0);
    blocks[3][EXTRA3_POS_FW_DAY_VARIANT] = c.byte15;
    const firmware_id fw = identify_firmware(blocks[3]);
    EXPECT_EQ(fw.day, c.day);
    EXPECT_EQ(fw.variant, c.variant);
    EXPECT_EQ(fw.clock_8mhz, c.clock_8mhz);
    const std::string line = line_starting(printed(blocks), "extra3 info");
    EXPECT_TRUE(line.ends_with(c.printed_tail)) << line;
}

INSTANTIATE_TEST_SUITE_P(Byte15, DayVariantByte,
                         testing::Values(day_variant_case{0x01, 1, 1, true, "[January 1] 1  [ 8 MHz]\n"},
                                         day_variant_case{0xFA, 32, 2, false, "[January 32] 2  [12 MHz]\n"},
                                         day_variant_case{0x00, 1, 0, false, "[January 1] 0  [12 MHz]\n"}));

struct s24_case {
    uint8_t b14, b15, b16;
    int32_t value;
};

void PrintTo(const s24_case& c, std::ostream* os) { *os << c.value; }

class Signed24 : public testing::TestWithParam<s24_case> {};

TEST_P(Signed24, WidensAndPrints)
{
    const s24_case& c = GetParam();
    info_blocks blocks{};
    blocks[3] = extra3_of(FW_KIND_CC, 3, 0);
    blocks[4][EXTRA4_POS_S24] = c.b14;
    blocks[4][EXTRA4_POS_S24 + 1] = c.b15;
    blocks[4][EXTRA4_POS_S24 + 2] = c.b16;
    EXPECT_EQ(get_s24(blocks[4].data(), EXTRA4_POS_S24), c.value);
    const std::string line = line_starting(printed(blocks), "extra4 info");
    EXPECT_TRUE(line.ends_with("  " + std::to_string(c.value) + "\n")) << line;
}

INSTANTIATE_TEST_SUITE_P(Extra4Bytes14To16, Signed24,
                         testing::Values(s24_case{0xFF, 0xFF, 0xFF, -1}, s24_case{0xFF, 0xFF, 0x7F, 8388607},
                                         s24_case{0x00, 0x00, 0x80, -8388608}, s24_case{0x01, 0x00, 0x00, 1},
                                         s24_case{0x00, 0x00, 0x00, 0}));

// Every field at its position, with its width and signedness.
TEST(PrintInfoBlocks, AllFiveLines)
{
    info_blocks b{};
    uint8_t* e0 = b[0].data();
    e0[1] = 0xFB;
    e0[2] = 0x0A, e0[3] = 0xB0, e0[4] = 0x00, e0[5] = 0xFF;
    put_u16(e0, EXTRA0_POS_TEMPOFF, static_cast<uint16_t>(-300));
    uint8_t* e1 = b[1].data();
    put_u16(e1, EXTRA1_POS_HEQ_TEMP_OFFSET, static_cast<uint16_t>(-2));
    put_u32(e1, EXTRA1_POS_HEQ_A, static_cast<uint32_t>(-100000));
    put_u32(e1, EXTRA1_POS_HEQ_B, 2147483647u);
    put_u32(e1, EXTRA1_POS_HEQ_C, 0x80000000u);
    e1[EXTRA1_POS_INHIBITION] = 0x80;
    uint8_t* e2 = b[2].data();
    e2[EXTRA2_POS_ZONE_OFFSET] = static_cast<uint8_t>(-20);
    put_u32(e2, 4, 0xFFFFFFFFu);
    put_u32(e2, 8, 7);
    put_u16(e2, EXTRA2_POS_T2_B, 0xFFFF);
    put_u16(e2, EXTRA2_POS_T2_A5, 32767);
    e2[EXTRA2_POS_TC_FLAGS] = 0x0F;
    b[3] = extra3_of(FW_KIND_CC, 3, 0, 1, 29);
    uint8_t* e3 = b[3].data();
    e3[1] = 200;
    put_u16(e3, 2, 0x000A);
    put_u32(e3, 4, 0xFFFFFFFFu);
    put_u32(e3, 8, 100);
    e3[EXTRA3_POS_FW_FLAGS] = FW_FLAG_ZENTA | FW_FLAG_ZONE_TABLES;
    e3[16] = 0x07;
    uint8_t* e4 = b[4].data();
    e4[1] = 0x09;
    put_u16(e4, 2, 0xFFFF);
    put_u16(e4, 4, 2);
    put_u16(e4, 6, 0x8000);
    put_u16(e4, 8, 32767);
    put_u16(e4, EXTRA4_POS_A_OFF, 65535);
    put_u16(e4, EXTRA4_POS_A_DAY, 0xFFFF);
    e4[EXTRA4_POS_S24 + 2] = 0x80;

    EXPECT_EQ(printed(b), "extra0 info 0a b0 00 ff -5 -300\n"
                          "extra1 info -2 -100000 2147483647 -2147483648 -128\n"
                          "extra2 info 4294967295 7 -1 32767 0f -20\n"
                          "extra3 info -1 100 0a 07 200 firmware: cc 50 3 [February 29] 0  [12 MHz]\n"
                          "extra4 info 09 -1 2 -32768 32767 65535 -1  -8388608\n");
}

TEST(PrintInfoBlocks, NoExtra4LineWithoutTheBlock)
{
    info_blocks b{};
    b[3] = extra3_of(FW_KIND_DD, 8, 0);
    b[4].fill(0x11);
    const std::string out = printed(b);
    EXPECT_EQ(out.find("extra4"), std::string::npos) << out;
    EXPECT_NE(out.find("extra3 info"), std::string::npos) << out;
}

// Months 12 to 15 have no name: the fall-back text stands in.
TEST(PrintInfoBlocks, MonthBeyondDecemberPrintsFallback)
{
    info_blocks b{};
    b[3] = extra3_of(FW_KIND_DD, 9, 0, 15, 3);
    EXPECT_TRUE(line_starting(printed(b), "extra3 info").ends_with("[month 3] 0  [12 MHz]\n"));
    b[3] = extra3_of(FW_KIND_DD, 9, 0, 11, 3);
    EXPECT_TRUE(line_starting(printed(b), "extra3 info").ends_with("[December 3] 0  [12 MHz]\n"));
}

}  // namespace
