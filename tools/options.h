// SPDX-License-Identifier: MIT
// The setter's command-line options name=value: the zone offset, the watch
// zone index and the DST mode it sends, or a new temperature offset.
#pragma once
#include <array>
#include <cstdint>
#include <string>

extern int32_t opt_tzoff;  // quarter hours east of UTC, -96..96
extern bool opt_tzoff_set;
extern int32_t opt_tempoff;
extern bool opt_tempoff_set;
extern int32_t opt_tz;  // watch zone index, -1 none
extern bool opt_tz_set;
extern int32_t opt_dst;  // a DST mode below; other values send none

// DST modes of "dst=": from the PC's zone, standard time, daylight time.
inline constexpr int32_t DST_AUTOMATIC = -1;
inline constexpr int32_t DST_STANDARD = 0;
inline constexpr int32_t DST_DAYLIGHT = 1;
// The setter's own, for automatic DST on a watch that takes the zone's
// dates: the mode byte then says to keep the CMD_WRITE_DST rules.
inline constexpr int32_t DST_FROM_RULES = 8;

// A prefix matched without regard to case, and the handler of the text
// after it; only "tempoff=" can answer true. A value read outside min..max
// does not fit what the watch keeps and is refused before the run.
struct option_row {
    const char* prefix;
    bool (*handler)(const char* value);
    int32_t min;
    int32_t max;
};
extern const std::array<option_row, 4> option_table;

// Reads one decimal integer as "%d" does: blanks skipped, an optional sign,
// digits up to the first other character. Beyond 32 bits the value stays at
// the nearest 32-bit limit. False when no digit was read.
bool read_decimal(const char* text, int32_t& value);

// Why the setter does not take an argument: it matches no row, or its
// value lies outside the row's range. Empty when it is taken (a value
// without digits is taken: the row's handler has a rule for it).
std::string option_refusal(const char* arg);

// The settings as they are before any option is read.
void reset_options();

// Runs every argument after the program name through option_table; returns
// how many handlers answered true (above 0: the temperature-offset mode).
int parse_options(int argc, char** argv);
