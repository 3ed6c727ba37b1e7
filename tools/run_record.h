// SPDX-License-Identifier: MIT
// What a run of the reader or the setter leaves in the record of readings:
// the printed figures, the precise offset from the same samples, the PC
// clock's state and, for a setting, what was sent. A run that cannot record
// says so in one line on the standard error stream and goes on as before.
#pragma once
#include <string>

#include "tools/clock_sampling.h"
#include "watchlink/info_blocks.h"
#include "watchlink/protocol.h"

// The reader, after its figures: one record from clock_samples and stats.
void record_reading(const firmware_id& fw, const clock_statistics& stats);

// The setter notes each step's measurement (stats null when the step
// measured nothing) and each time command it sends; record_setting then
// adds one record when a time command went out.
void note_setter_step(const firmware_id& fw, int step, const clock_statistics* stats);
void note_time_command(const watch_command& cmd);
void record_setting();

// How a watch is told apart in the record: its firmware identification.
std::string watch_identification(const firmware_id& fw);
