// SPDX-License-Identifier: MIT
// The access point's command codes and frame sizes: one table, used by the
// link and by the simulated access point alike.
#pragma once
#include <cstdint>
#include <optional>

inline constexpr uint8_t AP_FRAME_START = 0xFF;
inline constexpr int AP_HEADER_SIZE = 3;    // start mark, code, total length
inline constexpr int AP_MAX_PAYLOAD = 28;   // one bulk-data chunk
inline constexpr int AP_FRAME_SIZE = AP_HEADER_SIZE + AP_MAX_PAYLOAD;
inline constexpr int AP_STATUS_OFFSET = 1;  // reply byte holding the status
inline constexpr uint8_t AP_STATUS_ACK = 6;
inline constexpr int AP_WATCH_FRAME_SIZE = 19;

inline constexpr uint8_t AP_GET_STATUS = 0x00;
inline constexpr uint8_t AP_RESET = 0x01;
inline constexpr uint8_t AP_ROV_START = 0x02;
inline constexpr uint8_t AP_ROV_SET_ID = 0x03;
inline constexpr uint8_t AP_ROV_GET_ID = 0x04;
inline constexpr uint8_t AP_ROV_SET_HEARTRATE = 0x05;
inline constexpr uint8_t AP_ROV_STOP = 0x06;
inline constexpr uint8_t AP_VAM_START = 0x07;
inline constexpr uint8_t AP_VAM_GET_DATA = 0x08;
inline constexpr uint8_t AP_VAM_STOP = 0x09;
inline constexpr uint8_t AP_SET_0A = 0x0A;
inline constexpr uint8_t AP_GET_20 = 0x20;
inline constexpr uint8_t AP_SYNC_START = 0x30;
inline constexpr uint8_t AP_SYNC_SEND_COMMAND = 0x31;
inline constexpr uint8_t AP_SYNC_GET_BUFFER_STATUS = 0x32;
inline constexpr uint8_t AP_SYNC_READ_BUFFER = 0x33;
inline constexpr uint8_t AP_KEPL_START = 0x40;
inline constexpr uint8_t AP_KEPL_GET_STATUS = 0x41;
inline constexpr uint8_t AP_KEPL_STOP = 0x46;
inline constexpr uint8_t AP_KEPL_SEND_DATA = 0x47;
inline constexpr uint8_t AP_KEPL_GET_PACKET_STATUS = 0x48;
inline constexpr uint8_t AP_KEPL_GET_49 = 0x49;
inline constexpr uint8_t AP_SET_70 = 0x70;
inline constexpr uint8_t AP_SEND_71 = 0x71;
inline constexpr uint8_t AP_SET_72 = 0x72;
inline constexpr uint8_t AP_GET_73 = 0x73;

// Sync buffer state in reply byte 3 of AP_SYNC_GET_BUFFER_STATUS.
inline constexpr uint8_t AP_SYNC_REPLY_WAITING = 1;

struct ap_command {
    uint8_t code;
    uint8_t request_payload;  // bytes after the header (bulk data: at most)
    uint8_t reply_payload;    // bytes read after the header
    bool purge_first;         // input purged before the request is written
    uint8_t pause_ms;         // between write and read
};

inline constexpr ap_command AP_COMMANDS[] = {
    {AP_GET_STATUS, 1, 1, true, 1},
    {AP_RESET, 1, 1, false, 1},
    {AP_ROV_START, 0, 0, false, 1},
    {AP_ROV_SET_ID, 4, 4, false, 1},
    {AP_ROV_GET_ID, 4, 4, false, 1},
    {AP_ROV_SET_HEARTRATE, 1, 1, false, 1},
    {AP_ROV_STOP, 0, 0, false, 1},
    {AP_VAM_START, 0, 0, false, 1},
    {AP_VAM_GET_DATA, 4, 4, true, 1},
    {AP_VAM_STOP, 0, 0, false, 1},
    {AP_SET_0A, 3, 3, false, 1},
    {AP_GET_20, 4, 4, false, 1},
    {AP_SYNC_START, 0, 0, false, 0},
    {AP_SYNC_SEND_COMMAND, AP_WATCH_FRAME_SIZE, 0, false, 0},
    {AP_SYNC_GET_BUFFER_STATUS, 0, 1, false, 0},
    {AP_SYNC_READ_BUFFER, 0, AP_WATCH_FRAME_SIZE, false, 0},
    {AP_KEPL_START, 0, 0, false, 1},
    {AP_KEPL_GET_STATUS, 1, 1, true, 1},
    {AP_KEPL_STOP, 0, 0, false, 1},
    {AP_KEPL_SEND_DATA, AP_MAX_PAYLOAD, 0, false, 2},
    {AP_KEPL_GET_PACKET_STATUS, 1, 1, true, 1},
    {AP_KEPL_GET_49, 1, 1, true, 1},
    {AP_SET_70, 2, 2, false, 1},
    {AP_SEND_71, 0, 0, false, 0},
    {AP_SET_72, 3, 3, false, 10},
    {AP_GET_73, 2, 2, false, 0},
};

constexpr std::optional<ap_command> find_ap_command(uint8_t code)
{
    for (const ap_command& c : AP_COMMANDS)
        if (c.code == code)
            return c;
    return std::nullopt;
}
