// Access point frames and the one request/reply transaction every command
// is built on. State is module-wide: one access point, one transaction at a time.
#pragma once
#include <cstdint>

#include "aplink/ap_commands.h"

extern uint8_t txFrame[AP_FRAME_SIZE];  // request being sent
extern uint8_t rxFrame[AP_FRAME_SIZE];  // reply being received, zeroed first
extern bool portOpen;                    // the access point's port is open
extern uint8_t lastStatus;               // status byte of the latest reply

// Header and payload into txFrame; clears rxFrame.
void BuildRequestFrame(uint8_t code, int payload_len, const uint8_t* payload);
// Writes the request, pauses, reads the reply into rxFrame, purges; returns
// the byte count read (never used to decide anything).
int Transact(uint16_t request_len, uint16_t reply_len, uint16_t pause_ms);
// One command of the table: build, purge first where the table says, transact,
// take the status. True when the access point acknowledged (status 6).
bool RunCommand(uint8_t code, const uint8_t* payload, int payload_len);
