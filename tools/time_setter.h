// SPDX-License-Identifier: MIT
// ORV3SET's constants and arithmetic: its steps and waits, what the time
// command carries and how the second step corrects the first, and which zone
// table the watch's firmware has.
#pragma once
#include <cstdint>

#include "platform/systime.h"
#include "watchlink/info_blocks.h"
#include "watchlink/protocol.h"

inline constexpr int SETTER_STEPS = 3;
inline constexpr int STEP_SAMPLES = 12;  // clock samples per step
// Each step's tone, after its samples and before its extra2 read.
inline constexpr unsigned STEP_TONE_HZ = 1000;
inline constexpr unsigned SETTER_TONE_MS = 100;
// The time command is built from a local-time reading in this window.
inline constexpr uint16_t SEND_WINDOW_FIRST_MS = 250;
inline constexpr uint16_t SEND_WINDOW_LAST_MS = 300;

// The watch keeps the time it is sent this much late: its own delay in
// taking the command, by clock.
inline constexpr int32_t CORRECTION_12MHZ_MS = 25;
inline constexpr int32_t CORRECTION_8MHZ_MS = 220;

int32_t correction_constant(const firmware_id& fw);
// The second step's correction: the constant less how far the first step
// left the watch ahead (average_diff, ms).
int32_t second_step_correction(const firmware_id& fw, int64_t average_diff);

// The time command from one local-time reading: its date and time, and as
// sub-second count the reading's milliseconds + correction + average_delay / 2,
// limited to 0..999 with "\nms = %d\n" on the standard error stream when it
// had to be.
watch_command time_command(const SYSTEMTIME& reading, int32_t correction, int64_t average_delay);

// Zone table type: 1; 2 with the zone-table flag; 3 from this version on.
inline constexpr uint8_t FW_VERSION_DST_DATES = 3;
int zone_table_type(const firmware_id& fw);
