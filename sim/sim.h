// SPDX-License-Identifier: MIT
// orv3sim: a simulated access point with a simulated watch behind it, on a
// pseudo-terminal. One process, one thread, one access point, one watch.
#pragma once
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "watchlink/protocol.h"

// A fault that applies to every access point command, or to one code; to
// every reply, or to the first few.
struct sim_ap_fault {
    int value = -1;  // -1: off
    int code = -1;   // -1: every command
    int times = -1;  // replies it still applies to; -1: every one
    // Whether it applies to this reply; a reply it applies to is counted.
    bool applies(uint8_t c)
    {
        if (value < 0 || (code >= 0 && code != c) || times == 0)
            return false;
        if (times > 0)
            --times;
        return true;
    }
};

// Bytes to place into an information block at start: block, offset, bytes.
struct sim_poke {
    int block = 0;
    int offset = 0;
    std::vector<uint8_t> bytes;
};

// Order of the replies to a memory request.
enum class sim_memory_order { in, reversed, shuffled };

struct sim_config {
    // How the access point presents itself.
    int port = 7;
    std::string description;
    std::string wine_prefix;  // also offered as COM<port> of this Wine prefix
    std::string transcript_path;  // every frame, both directions
    std::string summary_path;     // default: standard error

    // Access point faults.
    sim_ap_fault refuse;  // value: the status to send instead of 6
    sim_ap_fault silent;  // value 1: no reply at all
    sim_ap_fault short_reply;  // value: bytes of the reply actually sent
    sim_ap_fault late;    // value: ms before the reply goes out
    sim_ap_fault stray;   // value: garbage bytes sent before the reply
    sim_ap_fault header;  // value: sent as reply bytes 0 and 2, which the PC ignores
    int hangup_after = -1;  // frames answered before the device vanishes
    bool flash_lost = false;  // the frame carrying the flash store never arrives
    uint8_t ap_value = 0;   // value byte of status and get replies

    // Radio link.
    double latency_ms = 1.0;  // one way
    double jitter_ms = 0.0;   // added per direction, uniform 0..jitter
    int seed = 1;

    // The watch.
    int sync_delay_ms = 0;  // after the link starts; -1: never
    double offset_ms = 0.0;  // watch clock ahead of the PC's local time
    double drift_ppm = 0.0;
    bool watch_utc = false;  // watch keeps UTC rather than local time
    int not_ready = 0;       // clock reads answered CLOCK_NOT_READY first
    bool subsec_flag = false;  // set bit 15 of the sub-second counter
    int clock_minute = -1;     // every clock reading says this minute (-1: the true one)
    int clock_stall_ms = 0;    // replies to the clock reads below reach the buffer this late
    std::vector<std::pair<int, int>> clock_stall_reads;  // ranges of clock reads, counted from 1
    int silent_after = -1;   // commands answered before the watch falls silent
    int answer_code = -1;    // this command is answered only from sending answer_on
    int answer_on = 1;
    int wrong_tag = 0;       // tagged replies sent with a wrong tag first
    int repeat_code = -1;    // every reply to this command is sent twice
    std::vector<uint8_t> irq_err = {3, 4, 5, 4};  // cycled through clock replies
    int dst_info_max = -1;   // reported in the reply to CMD_WRITE_DST; -1: none

    // Firmware identification.
    uint8_t fw_kind = FW_KIND_CC;
    uint8_t fw_flags = FW_FLAG_ZONE_TABLES;
    uint8_t fw_version = 3;
    uint8_t fw_variant = 0;
    uint8_t fw_month = 1;  // 0 = January
    uint8_t fw_day = 29;
    std::vector<sim_poke> pokes;

    // HEQ parameters and configuration memory.
    int stuck_field = -1;  // index into HEQ_FIELDS of a field that writes do not take
    sim_memory_order memory_order = sim_memory_order::in;
    int memory_repeat = -1;  // memory block answered twice
    int memory_drop = -1;    // memory block never answered
};

extern sim_config sim_settings;

// options.cpp: command line into sim_settings; returns the index of the command after
// "--" (argc when there is none), or -1 after printing an error.
int sim_parse_options(int argc, char** argv);
void sim_usage(FILE* out);

// device.cpp: pseudo-terminal and ORV3_SYSROOT tree.
bool sim_create_device();         // sets sim_master_fd, sim_sysroot
void sim_hang_up();               // the device vanishes
void sim_remove_device();
extern int sim_master_fd;         // -1 once hung up
extern std::string sim_sysroot;

// events.cpp: work scheduled for later, in time order (monotonic ns).
enum class sim_event_kind { to_watch, to_buffer, to_wire, enter_sync };
struct sim_event {
    int64_t at = 0;
    sim_event_kind kind = sim_event_kind::to_wire;
    unsigned epoch = 0;  // radio events die with the link that carried them
    std::vector<uint8_t> bytes;
};
void sim_schedule(sim_event e);
int64_t sim_next_event_at();  // INT64_MAX when none
void sim_run_due_events(int64_t now);
void sim_drop_radio_events();  // the link is gone
extern unsigned sim_link_epoch;

// transcript.cpp
bool sim_transcript_open(const std::string& path);
void sim_transcript_bytes(const char* direction, const uint8_t* bytes, std::size_t n);
void sim_transcript_note(const char* text);

// access_point.cpp
void sim_ap_receive_bytes(const uint8_t* bytes, std::size_t n);
void sim_ap_buffer_reply(const watch_reply& r);  // a watch reply lands in the sync buffer
void sim_ap_write_wire(const std::vector<uint8_t>& bytes);
bool sim_ap_link_up();
void sim_ap_summary(FILE* out);

// watch.cpp
void sim_watch_init();
void sim_watch_link_started();
void sim_watch_enter_sync();
void sim_watch_receive(const watch_command& cmd);  // a command arrives over the radio
void sim_watch_send(const watch_reply& r, int64_t held_ns = 0);  // a reply leaves over the radio, held this long first
void sim_watch_summary(FILE* out);
extern std::array<watch_reply, INFO_BLOCKS> sim_watch_blocks;

// watch_memory.cpp: the flash copy of the HEQ parameters, the configuration memory.
void sim_watch_flash_init();     // the flash holds the HEQ fields the watch starts with
void sim_watch_flash_store();    // the current HEQ fields become the flash copy
void sim_watch_flash_restore();  // the HEQ fields come back from the flash copy
void sim_watch_memory_request(const watch_command& cmd);  // one reply per requested block
void sim_watch_memory_summary(FILE* out);

// watch_clock.cpp: the watch's clock against the PC's.
void sim_watch_clock_init();
void sim_watch_clock_reply(watch_reply& r);          // a clock reading, now
void sim_watch_clock_set(const watch_command& cmd);  // a time command, now
void sim_watch_clock_summary(FILE* out);

// Radio delay, one way, with jitter (monotonic time is plat_monotonic_ns).
int64_t sim_radio_delay_ns();
