// SPDX-License-Identifier: MIT
// Serial channel: a static table of port slots over the platform's serial
// port, with the read and write bounds of 20 ms per byte plus 40 ms.
#pragma once
#include <cstdint>

inline constexpr int SERIAL_SLOTS = 1;
inline constexpr int SERIAL_MS_PER_BYTE = 20;
inline constexpr int SERIAL_MS_CONSTANT = 40;

// Opens the device at path into the slot (closing what the slot held).
bool SerialOpen(int port, const char* path);
// Closes the slot; a closed slot stays closed.
void SerialClose(int port);
// Discards both queues of the slot.
void SerialPurge(int port);
// True when all n bytes were written within 20·n + 40 ms.
bool SerialWrite(int port, int n, const uint8_t* data);
// Reads up to n bytes within 20·n + 40 ms; the count received, 0 on failure.
int SerialRead(int port, int n, uint8_t* buf);
// Reads up to n bytes within timeout_ms (0: only what has arrived).
int SerialReadWithin(int port, int n, uint8_t* buf, int timeout_ms);
