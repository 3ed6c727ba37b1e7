// SPDX-License-Identifier: MIT
#include "watchlink/info_blocks.h"

#include <cstdio>
#include <cstring>

#include "aplink/ap_commands.h"
#include "platform/locale_names.h"
#include "platform/sleep.h"
#include "watchlink/exchange.h"
#include "watchlink/run_frame.h"

namespace {

constexpr std::array<unsigned, INFO_BLOCKS> BLOCK_TONE_HZ = {1000, 2000, 3000, 4000, 5000};
// Retries of each block's sync_exchange, extra0 first.
constexpr std::array<int, INFO_BLOCKS> BLOCK_RETRIES = {4, 2, 2, 2, 2};
constexpr int MONTH_NAME_SIZE = 256;

void sound_block_tone(int n) { plat_tone(BLOCK_TONE_HZ[n], BLOCK_TONE_MS); }

// One block: tone, fetch into its buffer, digit. True when it was read.
bool fetch_block(int n, block_fetch style, info_blocks& blocks, uint16_t& status)
{
    if (style == block_fetch::exchange)
        return exchange_block(n, BLOCK_RETRIES[n], blocks[n], status);
    sound_block_tone(n);
    const watch_command cmd = make_command(BLOCK_READ_CMD[n]);
    const bool ok = n == 4 ? exchange_done(status, cmd, blocks[n], BLOCK_RETRIES[n], BLOCK_TAG[n])
                           : send_and_fetch(status, cmd, blocks[n], n == 3 ? POLL_SLOW : POLL_EXCHANGE);
    std::fprintf(stderr, "%d", n);
    return ok;
}

}  // namespace

bool exchange_block(int n, int retries, watch_reply& block, uint16_t& status)
{
    sound_block_tone(n);
    if (!exchange_done(status, make_command(BLOCK_READ_CMD[n]), block, retries, BLOCK_TAG[n]))
        return false;
    std::fprintf(stderr, "%d", n);
    return true;
}

bool fw_has_extra4(uint8_t kind, uint8_t version, uint8_t variant)
{
    return kind == FW_KIND_CC || (kind == FW_KIND_DD && (version > 8 || (version == 8 && variant > 0)));
}

firmware_id identify_firmware(const watch_reply& extra3)
{
    firmware_id fw;
    fw.kind = extra3[EXTRA3_POS_FW_KIND];
    fw.flags = extra3[EXTRA3_POS_FW_FLAGS];
    fw.version = extra3[EXTRA3_POS_FW_VERSION_MONTH] >> 4;
    fw.month = extra3[EXTRA3_POS_FW_VERSION_MONTH] & 0x0F;
    fw.day = static_cast<uint8_t>((extra3[EXTRA3_POS_FW_DAY_VARIANT] >> 3) + 1);
    fw.variant = extra3[EXTRA3_POS_FW_DAY_VARIANT] & 0x07;
    fw.clock_8mhz = (extra3[EXTRA3_POS_FW_DAY_VARIANT] & FW_VARIANT_8MHZ) != 0;
    fw.subsec_offset = fw.kind == FW_KIND_CC ? CLOCK_POS_SUBSEC_CC : CLOCK_POS_SUBSEC;
    fw.has_extra4 = fw_has_extra4(fw.kind, fw.version, fw.variant);
    return fw;
}

bool read_info_blocks(block_fetch style, info_blocks& blocks, firmware_id& fw, uint16_t& status)
{
    bool all = true;
    for (int n = 0; n < 4 && status == AP_SYNC_REPLY_WAITING && !run_interrupted(); ++n)
        if (!fetch_block(n, style, blocks, status)) {
            if (style == block_fetch::exchange)
                return false;
            all = false;
        }
    if (status != AP_SYNC_REPLY_WAITING)
        all = false;
    fw = identify_firmware(blocks[3]);
    if (run_interrupted())
        return false;
    if (status == AP_SYNC_REPLY_WAITING && fw.has_extra4 && !fetch_block(4, style, blocks, status))
        all = false;
    if (!all && style == block_fetch::exchange)
        return false;
    std::fputs("\r", stderr);
    return all;
}

void print_info_blocks(const info_blocks& blocks, const firmware_id& fw)
{
    const uint8_t* e0 = blocks[0].data();
    const int hex0 = EXTRA0_POS_PRINTED_HEX;
    std::printf("extra0 info %02x %02x %02x %02x %d %d\n", e0[hex0], e0[hex0 + 1], e0[hex0 + 2], e0[hex0 + 3],
                get_s8(e0, EXTRA0_POS_PRINTED_S8), get_s16(e0, EXTRA0_POS_TEMPOFF));
    const uint8_t* e1 = blocks[1].data();
    std::printf("extra1 info %d %d %d %d %d\n", get_s16(e1, EXTRA1_POS_HEQ_TEMP_OFFSET), get_s32(e1, EXTRA1_POS_HEQ_A),
                get_s32(e1, EXTRA1_POS_HEQ_B), get_s32(e1, EXTRA1_POS_HEQ_C), get_s8(e1, EXTRA1_POS_INHIBITION));
    const uint8_t* e2 = blocks[2].data();
    std::printf("extra2 info %u %u %d %d %02x %d\n", get_u32(e2, EXTRA2_POS_PRINTED_U32),
                get_u32(e2, EXTRA2_POS_PRINTED_U32 + 4), get_s16(e2, EXTRA2_POS_T2_B), get_s16(e2, EXTRA2_POS_T2_A5),
                e2[EXTRA2_POS_TC_FLAGS], get_s8(e2, EXTRA2_POS_ZONE_OFFSET));

    char month_name[MONTH_NAME_SIZE] = "month";
    if (!plat_month_name(fw.month, month_name, sizeof month_name))
        std::strcpy(month_name, "month");
    const uint8_t* e3 = blocks[3].data();
    std::printf("extra3 info %d %d %02x %02x %d firmware: %02x %02x %d [%s %d] %d  %s\n",
                get_s32(e3, EXTRA3_POS_PRINTED_S32), get_s32(e3, EXTRA3_POS_PRINTED_S32 + 4),
                get_u16(e3, EXTRA3_POS_PRINTED_HEX16), e3[EXTRA3_POS_PRINTED_HEX], e3[EXTRA3_POS_PRINTED_U8], fw.kind,
                fw.flags, fw.version, month_name, fw.day, fw.variant, fw.clock_8mhz ? "[ 8 MHz]" : "[12 MHz]");
    if (fw.has_extra4) {
        const uint8_t* e4 = blocks[4].data();
        const int s16 = EXTRA4_POS_PRINTED_S16;
        std::printf("extra4 info %02x %d %d %d %d %d %d  %d\n", e4[EXTRA4_POS_PRINTED_HEX], get_s16(e4, s16),
                    get_s16(e4, s16 + 2), get_s16(e4, s16 + 4), get_s16(e4, s16 + 6), get_u16(e4, EXTRA4_POS_A_OFF),
                    get_s16(e4, EXTRA4_POS_A_DAY), get_s24(e4, EXTRA4_POS_S24));
    }
}
