// SPDX-License-Identifier: MIT
// The simulated watch: sync mode, information blocks, block writes, flash
// store and reset, and the faults a real watch shows (late sync mode,
// silence, lost commands, bad tags, a field that does not take).
#include <algorithm>
#include <cstring>
#include <map>

#include "platform/clock.h"
#include "sim/sim.h"

std::array<watch_reply, INFO_BLOCKS> sim_watch_blocks{};

namespace {

bool in_sync = false;
int commands = 0;  // received in sync mode
int clock_reads = 0;  // clock commands answered
std::map<int, int> sendings;
int wrong_tags_left = 0;
bool dst_rules_set = false;
uint16_t dst_start_rule = 0;
uint16_t dst_end_rule = 0;
int resets = 0;
int64_t restarting_until = 0;  // monotonic ns; silent until then
// A reset restarts the watch; the user still holds it in sync mode.
constexpr int64_t WATCH_RESTART_NS = 2000 * int64_t{1000000};

// Which select bit makes a block write take which field. The tools set the
// bits of whole groups; the single bits are this watch's own.
struct writable_field {
    uint8_t block;
    uint8_t bit;
    uint8_t pos;
    uint8_t size;
};
constexpr writable_field WRITABLE[] = {
    {0, SELECT_TEMPOFF, EXTRA0_POS_TEMPOFF, 2},
    {1, 0x02, EXTRA1_POS_HEQ_TEMP_OFFSET, 2},
    {1, 0x04, EXTRA1_POS_HEQ_A, 4},
    {1, 0x08, EXTRA1_POS_HEQ_B, 4},
    {1, 0x10, EXTRA1_POS_HEQ_C, 4},
    {1, 0x20, EXTRA1_POS_INHIBITION, 1},
    {2, 0x04, EXTRA2_POS_T2_B, 2},
    {2, 0x08, EXTRA2_POS_T2_A5, 2},
    {2, 0x10, EXTRA2_POS_TC_FLAGS, 1},
    {2, SELECT_ZONE_OFFSET, EXTRA2_POS_ZONE_OFFSET, 1},
    {2, SELECT_ZONE_INDEX, EXTRA2_POS_ZONE_INDEX, 1},
    {2, SELECT_DST_MODE, EXTRA2_POS_DST_MODE, 1},
    {4, SELECT_EXTRA4, EXTRA4_POS_A_OFF, 2},
    {4, SELECT_EXTRA4, EXTRA4_POS_A_DAY, 2},
};

void default_blocks()
{
    for (int n = 0; n < INFO_BLOCKS; ++n) {
        sim_watch_blocks[n].fill(0);
        sim_watch_blocks[n][POS_CODE] = BLOCK_READ_CMD[n];
        sim_watch_blocks[n][POS_TAG] = BLOCK_TAG[n];
    }
    uint8_t* b = sim_watch_blocks[0].data();
    b[EXTRA0_POS_PRINTED_S8] = 0x05;
    put_u32(b, EXTRA0_POS_PRINTED_HEX, 0x78563412);  // 12 34 56 78
    put_u16(b, EXTRA0_POS_TEMPOFF, 3);

    b = sim_watch_blocks[1].data();
    put_u16(b, EXTRA1_POS_HEQ_TEMP_OFFSET, 250);
    put_u32(b, EXTRA1_POS_HEQ_A, static_cast<uint32_t>(-1234));
    put_u32(b, EXTRA1_POS_HEQ_B, 5678);
    put_u32(b, EXTRA1_POS_HEQ_C, static_cast<uint32_t>(-91011));
    b[EXTRA1_POS_INHIBITION] = static_cast<uint8_t>(-3);

    b = sim_watch_blocks[2].data();
    b[EXTRA2_POS_ZONE_OFFSET] = 4;
    b[EXTRA2_POS_ZONE_INDEX] = 21;
    b[EXTRA2_POS_DST_MODE] = 1;
    put_u32(b, EXTRA2_POS_PRINTED_U32, 100000);
    put_u32(b, EXTRA2_POS_PRINTED_U32 + 4, 200000);
    put_u16(b, EXTRA2_POS_T2_B, static_cast<uint16_t>(-12));
    put_u16(b, EXTRA2_POS_T2_A5, 34);
    b[EXTRA2_POS_TC_FLAGS] = 128;

    b = sim_watch_blocks[3].data();
    b[EXTRA3_POS_PRINTED_U8] = 7;
    put_u16(b, EXTRA3_POS_PRINTED_HEX16, 0x1234);
    put_u32(b, EXTRA3_POS_PRINTED_S32, 123456);
    put_u32(b, EXTRA3_POS_PRINTED_S32 + 4, static_cast<uint32_t>(-654321));
    b[EXTRA3_POS_FW_KIND] = sim_settings.fw_kind;
    b[EXTRA3_POS_FW_FLAGS] = sim_settings.fw_flags;
    b[EXTRA3_POS_FW_VERSION_MONTH] = static_cast<uint8_t>(sim_settings.fw_version << 4 | (sim_settings.fw_month & 0x0F));
    b[EXTRA3_POS_FW_DAY_VARIANT] = static_cast<uint8_t>((sim_settings.fw_day - 1) << 3 | (sim_settings.fw_variant & 0x07));
    b[EXTRA3_POS_PRINTED_HEX] = 0x42;

    b = sim_watch_blocks[4].data();
    b[EXTRA4_POS_PRINTED_HEX] = 0x21;
    put_u16(b, EXTRA4_POS_PRINTED_S16, 10);
    put_u16(b, EXTRA4_POS_PRINTED_S16 + 2, static_cast<uint16_t>(-20));
    put_u16(b, EXTRA4_POS_PRINTED_S16 + 4, 30);
    put_u16(b, EXTRA4_POS_PRINTED_S16 + 6, static_cast<uint16_t>(-40));
    put_u16(b, EXTRA4_POS_A_OFF, 1000);
    put_u16(b, EXTRA4_POS_A_DAY, static_cast<uint16_t>(-5));
    put_le(b, EXTRA4_POS_S24, 3, static_cast<uint32_t>(-2));

    for (const sim_poke& p : sim_settings.pokes)
        std::copy(p.bytes.begin(), p.bytes.end(), sim_watch_blocks[p.block].begin() + p.offset);
}

void send_block(int n, uint8_t code)
{
    watch_reply r = sim_watch_blocks[n];
    r[POS_CODE] = code;
    sim_watch_send(r);
}

bool is_stuck(const writable_field& f)
{
    if (sim_settings.stuck_field < 0)
        return false;
    const heq_field& h = HEQ_FIELDS[static_cast<std::size_t>(sim_settings.stuck_field)];
    return f.block == h.block && f.pos == h.pos;
}

void write_block(int n, const watch_command& cmd)
{
    const uint8_t mask = cmd[POS_SELECT_MASK];
    for (const writable_field& f : WRITABLE)
        if (f.block == n && (mask & f.bit) && !is_stuck(f))
            std::copy_n(cmd.begin() + f.pos, f.size, sim_watch_blocks[n].begin() + f.pos);
}

void extra3_action(const watch_command& cmd)
{
    if (!(cmd[POS_SELECT_MASK] & SELECT_EXTRA3))
        return;
    if (cmd[EXTRA3_POS_ACTION] == ACTION_STORE_FLASH) {
        sim_watch_flash_store();
    } else if (cmd[EXTRA3_POS_ACTION] == ACTION_RESET) {
        ++resets;
        restarting_until = plat_monotonic_ns() + WATCH_RESTART_NS;
        sim_watch_flash_restore();
        sim_transcript_note("watch resets");
    }
}

}  // namespace

void sim_watch_init()
{
    default_blocks();
    sim_watch_flash_init();
    wrong_tags_left = sim_settings.wrong_tag;
    sim_watch_clock_init();
}

void sim_watch_link_started()
{
    if (sim_settings.sync_delay_ms < 0)
        return;
    sim_event e;
    e.at = plat_monotonic_ns() + int64_t{sim_settings.sync_delay_ms} * 1000000;
    e.kind = sim_event_kind::enter_sync;
    e.epoch = sim_link_epoch;
    sim_schedule(std::move(e));
}

void sim_watch_enter_sync()
{
    in_sync = true;
    sim_transcript_note("watch enters sync mode");
}

void sim_watch_send(const watch_reply& r, int64_t held_ns)
{
    watch_reply out = r;
    // Clock and memory replies carry data in byte 18, not a tag.
    const bool tagged = out[POS_CODE] != CMD_READ_CLOCK && out[POS_CODE] != CMD_READ_MEMORY;
    if (wrong_tags_left > 0 && tagged && out[POS_TAG] != 0) {
        --wrong_tags_left;
        out[POS_TAG] ^= 0x01;
    }
    // A repeated reply stays in the sync buffer after the first is read.
    const int copies = out[POS_CODE] == sim_settings.repeat_code ? 2 : 1;
    for (int i = 0; i < copies; ++i) {
        sim_event e;
        e.at = plat_monotonic_ns() + held_ns + sim_radio_delay_ns();
        e.kind = sim_event_kind::to_buffer;
        e.epoch = sim_link_epoch;
        e.bytes.assign(out.begin(), out.end());
        sim_schedule(std::move(e));
    }
}

void sim_watch_receive(const watch_command& cmd)
{
    sim_transcript_bytes("ap>watch", cmd.data(), cmd.size());
    if (!in_sync || plat_monotonic_ns() < restarting_until)
        return;
    ++commands;
    if (sim_settings.silent_after >= 0 && commands > sim_settings.silent_after)
        return;
    const uint8_t code = cmd[POS_CODE];
    if (code == sim_settings.answer_code && ++sendings[code] < sim_settings.answer_on)
        return;

    switch (code) {
    case CMD_READ_CLOCK: {
        watch_reply r{};
        r[POS_CODE] = code;
        sim_watch_clock_reply(r);
        ++clock_reads;
        const bool stalled = std::any_of(sim_settings.clock_stall_reads.begin(), sim_settings.clock_stall_reads.end(),
                                         [](const auto& k) { return clock_reads >= k.first && clock_reads <= k.second; });
        sim_watch_send(r, stalled ? int64_t{sim_settings.clock_stall_ms} * 1000000 : 0);
        break;
    }
    case CMD_READ_EXTRA0:
    case CMD_READ_EXTRA1:
    case CMD_READ_EXTRA2:
    case CMD_READ_EXTRA3:
    case CMD_READ_EXTRA4:
        send_block(code - CMD_READ_EXTRA0, code);
        break;
    case CMD_WRITE_EXTRA0:
        write_block(0, cmd);
        if (cmd[POS_SELECT_MASK] & SELECT_TIME) {
            sim_watch_clock_set(cmd);
            send_block(0, code);
        }
        break;
    case CMD_WRITE_EXTRA1:
        write_block(1, cmd);
        break;
    case CMD_WRITE_EXTRA2:
        write_block(2, cmd);
        send_block(2, code);
        break;
    case CMD_WRITE_EXTRA3:
        extra3_action(cmd);
        break;
    case CMD_WRITE_EXTRA4:
        write_block(4, cmd);
        break;
    case CMD_WRITE_DST: {
        if (cmd[POS_SELECT_MASK] & SELECT_DST_RULES) {
            dst_rules_set = true;
            dst_start_rule = get_u16(cmd.data(), DST_POS_START_RULE);
            dst_end_rule = get_u16(cmd.data(), DST_POS_END_RULE);
        }
        watch_reply r{};
        r[POS_CODE] = code;
        r[POS_TAG] = TAG_DST;
        if (sim_settings.dst_info_max >= 0) {
            r[POS_SELECT_MASK] = DST_REPLY_HAS_INFO_MAX;
            r[DST_REPLY_POS_INFO_MAX] = static_cast<uint8_t>(sim_settings.dst_info_max);
        }
        sim_watch_send(r);
        break;
    }
    case CMD_READ_MEMORY:
        sim_watch_memory_request(cmd);
        break;
    case CMD_EXIT_SYNC:
        in_sync = false;
        sim_transcript_note("watch leaves sync mode");
        break;
    default:
        break;
    }
}

void sim_watch_summary(FILE* out)
{
    std::fprintf(out, "orv3sim: watch commands in sync mode: %d%s\n", commands,
                 in_sync ? " (still in sync mode)" : "");
    sim_watch_clock_summary(out);
    const watch_reply& e2 = sim_watch_blocks[2];
    std::fprintf(out, "orv3sim: zone offset %d, zone index %d, dst mode %d",
                 static_cast<int8_t>(e2[EXTRA2_POS_ZONE_OFFSET]), static_cast<int8_t>(e2[EXTRA2_POS_ZONE_INDEX]),
                 static_cast<int8_t>(e2[EXTRA2_POS_DST_MODE]));
    if (dst_rules_set)
        std::fprintf(out, ", dst rules start 0x%04x end 0x%04x", dst_start_rule, dst_end_rule);
    std::fprintf(out, "\n");
    sim_watch_memory_summary(out);
    std::fprintf(out, "orv3sim: watch resets: %d\n", resets);
    for (int n = 0; n < INFO_BLOCKS; ++n) {
        std::fprintf(out, "orv3sim: extra%d", n);
        for (uint8_t b : sim_watch_blocks[n])
            std::fprintf(out, " %02x", b);
        std::fprintf(out, "\n");
    }
}
