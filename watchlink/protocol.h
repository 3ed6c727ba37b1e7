// SPDX-License-Identifier: MIT
// The watch's side of the sync protocol: 19-byte command and reply frames,
// command codes, reply tags and field positions. One definition, used by the
// tools and by the simulated watch alike.
#pragma once
#include <array>
#include <cstdint>

#include "aplink/ap_commands.h"
#include "platform/bytes.h"

// The access point carries the watch's frames in its SYNC commands.
inline constexpr int WATCH_FRAME_SIZE = AP_WATCH_FRAME_SIZE;
using watch_command = std::array<uint8_t, WATCH_FRAME_SIZE>;
using watch_reply = std::array<uint8_t, WATCH_FRAME_SIZE>;

// Frame positions common to all commands.
inline constexpr int POS_CODE = 0;
inline constexpr int POS_SELECT_MASK = 17;  // write commands: fields to take
inline constexpr int POS_TAG = 18;          // write commands and block replies

// Watch command codes.
inline constexpr uint8_t CMD_READ_CLOCK = 0x02;
inline constexpr uint8_t CMD_READ_MEMORY = 0x05;
inline constexpr uint8_t CMD_EXIT_SYNC = 0x07;
inline constexpr uint8_t CMD_READ_EXTRA0 = 0x40;
inline constexpr uint8_t CMD_READ_EXTRA1 = 0x41;
inline constexpr uint8_t CMD_READ_EXTRA2 = 0x42;
inline constexpr uint8_t CMD_READ_EXTRA3 = 0x43;
inline constexpr uint8_t CMD_READ_EXTRA4 = 0x44;
inline constexpr uint8_t CMD_WRITE_EXTRA0 = 0x50;  // 'P'
inline constexpr uint8_t CMD_WRITE_EXTRA1 = 0x51;  // 'Q'
inline constexpr uint8_t CMD_WRITE_EXTRA2 = 0x52;  // 'R'
inline constexpr uint8_t CMD_WRITE_EXTRA3 = 0x53;  // 'S'
inline constexpr uint8_t CMD_WRITE_EXTRA4 = 0x54;  // 'T'
inline constexpr uint8_t CMD_WRITE_DST = 0x55;     // 'U'

// Reply tags (byte 18).
inline constexpr uint8_t TAG_EXTRA0 = 0x5A;
inline constexpr uint8_t TAG_EXTRA1 = 0xA5;
inline constexpr uint8_t TAG_EXTRA2 = 0xC5;
inline constexpr uint8_t TAG_EXTRA3 = 0x5C;
inline constexpr uint8_t TAG_EXTRA4 = 0x6A;
inline constexpr uint8_t TAG_DST = 0xA6;

inline constexpr int INFO_BLOCKS = 5;
// Read command, write command and tag of block n.
inline constexpr std::array<uint8_t, INFO_BLOCKS> BLOCK_READ_CMD = {
    CMD_READ_EXTRA0, CMD_READ_EXTRA1, CMD_READ_EXTRA2, CMD_READ_EXTRA3, CMD_READ_EXTRA4};
inline constexpr std::array<uint8_t, INFO_BLOCKS> BLOCK_WRITE_CMD = {
    CMD_WRITE_EXTRA0, CMD_WRITE_EXTRA1, CMD_WRITE_EXTRA2, CMD_WRITE_EXTRA3, CMD_WRITE_EXTRA4};
inline constexpr std::array<uint8_t, INFO_BLOCKS> BLOCK_TAG = {TAG_EXTRA0, TAG_EXTRA1, TAG_EXTRA2,
                                                               TAG_EXTRA3, TAG_EXTRA4};

// Clock reply (CMD_READ_CLOCK).
inline constexpr int CLOCK_POS_HOUR = 1;  // bits 0..6
inline constexpr uint8_t CLOCK_HOUR_MASK = 0x7F;
inline constexpr uint8_t CLOCK_NOT_READY = 0x55;  // in byte 1: no reading
inline constexpr int CLOCK_POS_MINUTE = 2;
inline constexpr int CLOCK_POS_SECOND = 3;
inline constexpr int CLOCK_POS_SUBSEC_CC = 14;  // sub-second counter, 1/32768 s
inline constexpr int CLOCK_POS_SUBSEC = 8;      // other firmware
inline constexpr int CLOCK_POS_IRQ_ERR = 18;
inline constexpr unsigned SUBSEC_PER_SECOND = 32768;
inline constexpr uint16_t SUBSEC_FLAG = 0x8000;  // bit 15: not part of the count

// extra0.
inline constexpr int EXTRA0_POS_PRINTED_S8 = 1;   // signed 8-bit, printed
inline constexpr int EXTRA0_POS_PRINTED_HEX = 2;  // four bytes, printed in hex
inline constexpr int EXTRA0_POS_TEMPOFF = 6;      // signed 16-bit
// CMD_WRITE_EXTRA0 time command.
inline constexpr int TIME_POS_SUBSEC = 8;
inline constexpr int TIME_POS_HOUR = 10;
inline constexpr int TIME_POS_MINUTE = 11;
inline constexpr int TIME_POS_SECOND = 12;
inline constexpr int TIME_POS_DAY = 13;
inline constexpr int TIME_POS_YEAR = 14;  // 16-bit
inline constexpr int TIME_POS_MONTH = 16;
inline constexpr uint8_t SELECT_TEMPOFF = 0x04;
inline constexpr uint8_t SELECT_TIME = 0x18;

// extra1: the first HEQ block.
inline constexpr int EXTRA1_POS_HEQ_TEMP_OFFSET = 2;  // signed 16-bit
inline constexpr int EXTRA1_POS_HEQ_A = 4;            // signed 32-bit
inline constexpr int EXTRA1_POS_HEQ_B = 8;            // signed 32-bit
inline constexpr int EXTRA1_POS_HEQ_C = 12;           // signed 32-bit
inline constexpr int EXTRA1_POS_INHIBITION = 16;      // signed 8-bit
inline constexpr uint8_t SELECT_EXTRA1 = 0x3E;

// extra2: zone settings and the second HEQ block.
inline constexpr int EXTRA2_POS_ZONE_OFFSET = 1;  // signed, quarter hours
inline constexpr int EXTRA2_POS_ZONE_INDEX = 2;
inline constexpr int EXTRA2_POS_DST_MODE = 3;
inline constexpr int EXTRA2_POS_PRINTED_U32 = 4;  // two unsigned 32-bit values, printed
inline constexpr int EXTRA2_POS_T2_B = 12;      // signed 16-bit
inline constexpr int EXTRA2_POS_T2_A5 = 14;     // signed 16-bit
inline constexpr int EXTRA2_POS_TC_FLAGS = 16;  // unsigned 8-bit
inline constexpr uint8_t SELECT_EXTRA2_HEQ = 0x1C;
inline constexpr uint8_t SELECT_ZONE_OFFSET = 0x20;
inline constexpr uint8_t SELECT_ZONE_INDEX = 0x40;
inline constexpr uint8_t SELECT_DST_MODE = 0x80;

// extra3: firmware identification.
inline constexpr int EXTRA3_POS_PRINTED_U8 = 1;     // printed in decimal
inline constexpr int EXTRA3_POS_PRINTED_HEX16 = 2;  // unsigned 16-bit, printed in hex
inline constexpr int EXTRA3_POS_PRINTED_S32 = 4;    // two signed 32-bit values, printed
inline constexpr int EXTRA3_POS_PRINTED_HEX = 16;   // printed in hex
inline constexpr int EXTRA3_POS_FW_KIND = 12;
inline constexpr int EXTRA3_POS_FW_FLAGS = 13;
inline constexpr int EXTRA3_POS_FW_VERSION_MONTH = 14;  // version << 4 | month (0 = January)
inline constexpr int EXTRA3_POS_FW_DAY_VARIANT = 15;    // (day - 1) << 3 | variant
inline constexpr uint8_t FW_KIND_CC = 0xCC;
inline constexpr uint8_t FW_KIND_DD = 0xDD;
inline constexpr uint8_t FW_FLAG_ZONE_TABLES = 0x10;  // zone tables of type 2 or 3
inline constexpr uint8_t FW_FLAG_ZENTA = 0x40;        // with kind 0xCC
inline constexpr uint8_t FW_VARIANT_8MHZ = 0x01;
// CMD_WRITE_EXTRA3 actions in byte 1.
inline constexpr int EXTRA3_POS_ACTION = 1;
inline constexpr uint8_t ACTION_STORE_FLASH = 0x01;
inline constexpr uint8_t ACTION_RESET = 0xA5;
inline constexpr uint8_t SELECT_EXTRA3 = 0x04;

// extra4.
inline constexpr int EXTRA4_POS_PRINTED_HEX = 1;  // printed in hex
inline constexpr int EXTRA4_POS_PRINTED_S16 = 2;  // four signed 16-bit values, printed
inline constexpr int EXTRA4_POS_A_OFF = 10;  // unsigned 16-bit
inline constexpr int EXTRA4_POS_A_DAY = 12;  // signed 16-bit
inline constexpr int EXTRA4_POS_S24 = 14;    // signed 24-bit
inline constexpr uint8_t SELECT_EXTRA4 = 0x10;

// CMD_WRITE_DST and its reply.
inline constexpr int DST_POS_START_RULE = 4;  // 16-bit rule words
inline constexpr int DST_POS_END_RULE = 6;
inline constexpr int DST_POS_LETTERS = 8;
inline constexpr std::array<uint8_t, 4> DST_LETTERS = {'U', 'D', 'S', 'T'};
inline constexpr uint8_t SELECT_DST_RULES = 0x01;
inline constexpr int DST_REPLY_POS_INFO_MAX = 1;
inline constexpr uint8_t DST_REPLY_HAS_INFO_MAX = 0x01;  // bit 0 of byte 17

// CMD_READ_MEMORY: 16-byte blocks, indices big-endian.
inline constexpr int MEMORY_BLOCKS_PER_REQUEST = 8;
inline constexpr int MEMORY_POS_FIRST = 1;    // first index of a request
inline constexpr int MEMORY_POS_INDICES = 3;  // eight indices of a request
inline constexpr int MEMORY_REPLY_POS_INDEX = 1;
inline constexpr int MEMORY_REPLY_POS_DATA = 3;
inline constexpr int MEMORY_BLOCK_SIZE = 16;

// The ten HEQ parameters in the information blocks, in the order of the
// parameter record; the names are the keys of the parameter file.
struct heq_field {
    const char* name;
    uint8_t block;  // extra<block>
    uint8_t pos;
    uint8_t size;  // bytes, little-endian
    bool is_signed;
};
inline constexpr int HEQ_FIELD_COUNT = 10;
inline constexpr std::array<heq_field, HEQ_FIELD_COUNT> HEQ_FIELDS = {{
    {"heq_a", 1, EXTRA1_POS_HEQ_A, 4, true},
    {"heq_b", 1, EXTRA1_POS_HEQ_B, 4, true},
    {"heq_c", 1, EXTRA1_POS_HEQ_C, 4, true},
    {"heq_temp_offset", 1, EXTRA1_POS_HEQ_TEMP_OFFSET, 2, true},
    {"inhibition_correction", 1, EXTRA1_POS_INHIBITION, 1, true},
    {"TC_flags", 2, EXTRA2_POS_TC_FLAGS, 1, false},
    {"T2_b", 2, EXTRA2_POS_T2_B, 2, true},
    {"T2_a5", 2, EXTRA2_POS_T2_A5, 2, true},
    {"a_off", 4, EXTRA4_POS_A_OFF, 2, false},
    {"a_day", 4, EXTRA4_POS_A_DAY, 2, true},
}};
