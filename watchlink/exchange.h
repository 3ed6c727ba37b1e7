// SPDX-License-Identifier: MIT
// Commands to the watch and its replies, through the access point's sync
// buffer: the standard exchange with retries, and the polling pieces the
// tools run with their own counts.
#pragma once
#include <cstdint>

#include "platform/systime.h"
#include "watchlink/protocol.h"

// How long to wait for a reply: polls of the buffer status, each after a sleep.
struct poll_plan {
    unsigned sleep_ms;
    int polls;
};
inline constexpr poll_plan POLL_EXCHANGE = {10, 150};  // sync_exchange, block reads
inline constexpr poll_plan POLL_CLOCK = {1, 1500};     // clock samples
inline constexpr poll_plan POLL_MEMORY = {5, 50};      // one memory reply slot
inline constexpr poll_plan POLL_SLOW = {100, 150};     // HEQ extra3 read and read-backs

// Polls until a reply waits (a poll succeeds with status 1) or the polls run
// out; returns the flag of the last poll. status keeps the last polled value.
// A poll whose reply came short or out of step fails with status 0 and ends
// the polls: what it said belongs to no known request. last_empty, when
// given, gets the PC time just after each poll that found nothing: the
// reply reached the buffer after the last of them.
bool poll_for_reply(uint16_t& status, poll_plan plan, file_time* last_empty = nullptr);

// Fetches a reply that poll_for_reply found waiting; reply stays untouched
// when the read fails, and a read that came short or out of step fails.
bool read_reply(watch_reply& reply);

// The latest poll or read failed because its reply came short or out of
// step; the link has been brought back in step since.
bool link_slipped();

// Stale replies taken away, one sending, the polls of plan, and a read when a reply waits. True when
// a reply was read; status tells the caller whether the watch answered.
bool send_and_fetch(uint16_t& status, const watch_command& command, watch_reply& reply, poll_plan plan);

// Takes away replies still waiting from earlier commands, so that none is
// taken for the answer to the next one. Does not touch the caller's status.
void discard_stale_replies();

// Stale replies taken away, then sends command at most retries + 1 times (once for 0 or less) until a reply
// whose tag is expected_tag (0: any) is read. Done when the result is true
// and status is 1; after the last attempt a reply with another tag is
// handed back with false and status 1.
bool sync_exchange(uint16_t& status, const watch_command& command, watch_reply& reply, int retries,
                   uint8_t expected_tag);

// The exchange as its callers count it done: sync_exchange returned true and
// a reply waits (status 1).
bool exchange_done(uint16_t& status, const watch_command& command, watch_reply& reply, int retries,
                   uint8_t expected_tag);

// A block write as the writing tools send it: the write command, whose reply
// is not read; settle_ms for the watch to take it; then the same frame with
// byte 0 the block's read command (the written payload still in it), which
// the caller sends to read the block back.
watch_command send_block_write(const watch_command& write, uint8_t read_code, unsigned settle_ms);

// A command frame of all zeros but its code.
watch_command make_command(uint8_t code);
