#include "watchlink/info_blocks.h"

#include <cstdio>
#include <cstring>

#include "aplink/ap_commands.h"
#include "platform/locale_names.h"
#include "platform/sleep.h"
#include "watchlink/exchange.h"
#include "watchlink/run_frame.h"

namespace {

constexpr unsigned BLOCK_TONE_STEP_HZ = 1000;  // block n: (n + 1) kHz
// Retries of each block's sync_exchange, extra0 first.
constexpr std::array<int, INFO_BLOCKS> BLOCK_RETRIES = {4, 2, 2, 2, 2};
constexpr int MONTH_NAME_SIZE = 256;

// One block: tone, fetch into its buffer, digit. True when it was read.
bool fetch_block(int n, block_fetch style, info_blocks& blocks, uint16_t& status)
{
    plat_tone(BLOCK_TONE_STEP_HZ * static_cast<unsigned>(n + 1), BLOCK_TONE_MS);
    const watch_command cmd = make_command(BLOCK_READ_CMD[n]);
    bool ok;
    if (style == block_fetch::exchange || n == 4) {
        ok = sync_exchange(status, cmd, blocks[n], BLOCK_RETRIES[n], BLOCK_TAG[n]) && status == AP_SYNC_REPLY_WAITING;
        if (!ok && style == block_fetch::exchange)
            return false;
    } else {
        ok = send_and_fetch(status, cmd, blocks[n], n == 3 ? POLL_SLOW : POLL_EXCHANGE);
    }
    std::fprintf(stderr, "%d", n);
    return ok;
}

int8_t s8(const watch_reply& b, int pos) { return static_cast<int8_t>(b[pos]); }
int16_t s16(const watch_reply& b, int pos) { return static_cast<int16_t>(get_u16(b.data(), pos)); }
int32_t s32(const watch_reply& b, int pos) { return static_cast<int32_t>(get_u32(b.data(), pos)); }

}  // namespace

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

int32_t get_s24(const uint8_t* f, int pos)
{
    uint32_t v = f[pos] | f[pos + 1] << 8 | uint32_t{f[pos + 2]} << 16;
    if (v & 0x800000)
        v |= 0xFF000000;
    return static_cast<int32_t>(v);
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
    const watch_reply& e0 = blocks[0];
    std::printf("extra0 info %02x %02x %02x %02x %d %d\n", e0[2], e0[3], e0[4], e0[5], s8(e0, 1),
                s16(e0, EXTRA0_POS_TEMPOFF));
    const watch_reply& e1 = blocks[1];
    std::printf("extra1 info %d %d %d %d %d\n", s16(e1, EXTRA1_POS_HEQ_TEMP_OFFSET), s32(e1, EXTRA1_POS_HEQ_A),
                s32(e1, EXTRA1_POS_HEQ_B), s32(e1, EXTRA1_POS_HEQ_C), s8(e1, EXTRA1_POS_INHIBITION));
    const watch_reply& e2 = blocks[2];
    std::printf("extra2 info %u %u %d %d %02x %d\n", get_u32(e2.data(), 4), get_u32(e2.data(), 8),
                s16(e2, EXTRA2_POS_T2_B), s16(e2, EXTRA2_POS_T2_A5), e2[EXTRA2_POS_TC_FLAGS],
                s8(e2, EXTRA2_POS_ZONE_OFFSET));

    char month_name[MONTH_NAME_SIZE] = "month";
    if (!plat_month_name(fw.month, month_name, sizeof month_name))
        std::strcpy(month_name, "month");
    const watch_reply& e3 = blocks[3];
    std::printf("extra3 info %d %d %02x %02x %d firmware: %02x %02x %d [%s %d] %d  %s\n", s32(e3, 4), s32(e3, 8),
                get_u16(e3.data(), 2), e3[16], e3[1], fw.kind, fw.flags, fw.version, month_name, fw.day,
                fw.variant, fw.clock_8mhz ? "[ 8 MHz]" : "[12 MHz]");
    if (fw.has_extra4) {
        const watch_reply& e4 = blocks[4];
        std::printf("extra4 info %02x %d %d %d %d %d %d  %d\n", e4[1], s16(e4, 2), s16(e4, 4), s16(e4, 6),
                    s16(e4, 8), get_u16(e4.data(), EXTRA4_POS_A_OFF), s16(e4, EXTRA4_POS_A_DAY),
                    get_s24(e4.data(), EXTRA4_POS_S24));
    }
}
