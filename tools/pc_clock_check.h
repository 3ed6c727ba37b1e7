// SPDX-License-Identifier: MIT
// Whether the PC clock can be trusted, told before the watch is measured.
#pragma once
#include <string>

#include "platform/pc_clock.h"

// Every line begins with this, so it can be told from the tools' other output.
inline constexpr char PC_CLOCK_LINE_START[] = "PC clock: ";

// The line for a state; known false: the system could not tell.
std::string pc_clock_line(const pc_clock_state& state, bool known);
// Reads the state and writes its line to the standard error stream.
void report_pc_clock();
