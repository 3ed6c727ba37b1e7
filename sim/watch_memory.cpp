// SPDX-License-Identifier: MIT
// The watch's memories: the flash copy of its HEQ parameters, which a flash
// store writes and a reset reads back, and its configuration memory, which
// memory requests read in 16-byte blocks.
#include <algorithm>
#include <random>

#include "sim/sim.h"

namespace {

std::array<watch_reply, INFO_BLOCKS> flash{};  // only the HEQ fields' bytes are used
int flash_stores = 0;

// Byte k of memory block i: from its address a = 16 i + k, so that every
// line of a dump is told apart and predictable.
uint8_t memory_byte(uint32_t a) { return static_cast<uint8_t>(a ^ (a >> 8)); }

std::mt19937& shuffle_rng()
{
    static std::mt19937 r(static_cast<unsigned>(sim_settings.seed));
    return r;
}

void copy_heq_fields(const std::array<watch_reply, INFO_BLOCKS>& from, std::array<watch_reply, INFO_BLOCKS>& to)
{
    for (const heq_field& f : HEQ_FIELDS)
        std::copy_n(from[f.block].begin() + f.pos, f.size, to[f.block].begin() + f.pos);
}

int64_t field_value(const heq_field& f)
{
    const uint32_t raw = get_le(sim_watch_blocks[f.block].data(), f.pos, f.size);
    const int bits = 8 * f.size;
    int64_t v = raw;
    if (f.is_signed && (raw >> (bits - 1) & 1))
        v -= int64_t{1} << bits;
    return v;
}

}  // namespace

void sim_watch_flash_init() { copy_heq_fields(sim_watch_blocks, flash); }

void sim_watch_flash_store()
{
    copy_heq_fields(sim_watch_blocks, flash);
    ++flash_stores;
    sim_transcript_note("watch stores its HEQ parameters in flash");
}

void sim_watch_flash_restore() { copy_heq_fields(flash, sim_watch_blocks); }

void sim_watch_memory_request(const watch_command& cmd)
{
    std::vector<uint16_t> blocks;
    for (int k = 0; k < MEMORY_BLOCKS_PER_REQUEST; ++k) {
        const uint16_t index = get_be16(cmd.data(), MEMORY_POS_INDICES + 2 * k);
        if (index == sim_settings.memory_drop)
            continue;
        blocks.push_back(index);
        if (index == sim_settings.memory_repeat)
            blocks.push_back(index);
    }
    if (sim_settings.memory_order == sim_memory_order::reversed)
        std::reverse(blocks.begin(), blocks.end());
    else if (sim_settings.memory_order == sim_memory_order::shuffled)
        std::shuffle(blocks.begin(), blocks.end(), shuffle_rng());
    for (uint16_t index : blocks) {
        watch_reply r{};
        r[POS_CODE] = CMD_READ_MEMORY;
        put_be16(r.data(), MEMORY_REPLY_POS_INDEX, index);
        for (int k = 0; k < MEMORY_BLOCK_SIZE; ++k)
            r[static_cast<std::size_t>(MEMORY_REPLY_POS_DATA + k)] =
                memory_byte(uint32_t{index} * MEMORY_BLOCK_SIZE + static_cast<uint32_t>(k));
        sim_watch_send(r);
    }
}

void sim_watch_memory_summary(FILE* out)
{
    std::fprintf(out, "orv3sim: heq fields:");
    for (const heq_field& f : HEQ_FIELDS)
        std::fprintf(out, " %s=%lld", f.name, static_cast<long long>(field_value(f)));
    std::fprintf(out, "\n");
    std::fprintf(out, "orv3sim: flash stores: %d\n", flash_stores);
}
