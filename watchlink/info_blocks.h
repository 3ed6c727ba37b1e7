// SPDX-License-Identifier: MIT
// The watch's five information blocks extra0..extra4: reading them, the
// firmware identification in extra3, and their printed lines.
#pragma once
#include <array>
#include <cstdint>

#include "watchlink/protocol.h"

using info_blocks = std::array<watch_reply, INFO_BLOCKS>;

// The tone before each block's fetch, extra<n> at (n + 1) kHz, so that the
// blocks are told apart by ear.
inline constexpr unsigned BLOCK_TONE_MS = 100;

// What extra3 says about the firmware.
struct firmware_id {
    uint8_t kind = 0;
    uint8_t flags = 0;
    uint8_t version = 0;  // 0..15
    uint8_t month = 0;    // month of the firmware date, 0 = January
    uint8_t day = 0;      // day of the firmware date, 1..32
    uint8_t variant = 0;  // bit 0: an 8 MHz clock
    bool clock_8mhz = false;
    int subsec_offset = CLOCK_POS_SUBSEC;  // of the sub-second counter in a clock reply
    bool has_extra4 = false;
};

// Whether firmware of this kind, version and variant has the block extra4.
bool fw_has_extra4(uint8_t kind, uint8_t version, uint8_t variant);
firmware_id identify_firmware(const watch_reply& extra3);

// How the blocks are fetched: each through sync_exchange with retries and a
// tag check (the accuracy reader), or by one sending without a tag check
// (the HEQ parameter tool, which checks extra3's tag itself).
enum class block_fetch { exchange, single_send };

// Reads extra0..extra3 while status is 1, identifies the firmware, then
// extra4 where it exists; a tone before and a digit after each block on the
// standard error stream, "\r" at the end. With block_fetch::exchange the
// reading stops at the first failed fetch. True when every fetch succeeded.
bool read_info_blocks(block_fetch style, info_blocks& blocks, firmware_id& fw, uint16_t& status);

// One block n through sync_exchange with retries and its tag check: its tone
// first, its digit on the standard error stream once read. True when read.
bool exchange_block(int n, int retries, watch_reply& block, uint16_t& status);

// The lines "extra0 info ..." to "extra3 info ..." and, where the firmware
// has it, "extra4 info ...", on the standard output.
void print_info_blocks(const info_blocks& blocks, const firmware_id& fw);
