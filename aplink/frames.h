// SPDX-License-Identifier: MIT
// Access point frames and the one request/reply transaction every command
// is built on. State is module-wide: one access point, one transaction at a time.
#pragma once
#include <cstdint>

#include "aplink/ap_commands.h"

extern uint8_t txFrame[AP_FRAME_SIZE];  // request being sent
extern uint8_t rxFrame[AP_FRAME_SIZE];  // reply being received, zeroed first
extern bool portOpen;                    // the access point's port is open
extern uint8_t lastStatus;               // status byte of the latest reply
// The latest reply came whole and nothing followed it: the line is in step.
extern bool lastReplyWhole;

// After a reply that came short, or with bytes beyond it, the rest of it
// may still be on its way and would pass for the next command's reply:
// the line is read until it has been quiet this long, then purged.
inline constexpr int LINE_QUIET_MS = 200;
inline constexpr int LINE_QUIET_LIMIT_MS = 2000;  // a line that never goes quiet

// Header and payload into txFrame; clears rxFrame.
void BuildRequestFrame(uint8_t code, int payload_len, const uint8_t* payload);
// Writes the request, pauses, reads the reply into rxFrame, purges; returns
// the byte count read (never used to decide anything). Sets lastReplyWhole;
// when it is false the purge waits for a quiet line first.
int Transact(uint16_t request_len, uint16_t reply_len, uint16_t pause_ms);
// One command of the table: build, purge first where the table says, transact,
// take the status. True when the access point acknowledged (status 6).
bool RunCommand(uint8_t code, const uint8_t* payload, int payload_len);
