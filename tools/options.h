// The setter's command-line options name=value: the zone offset, the watch
// zone index and the DST mode it sends, or a new temperature offset.
#pragma once
#include <array>
#include <cstdint>

extern int32_t opt_tzoff;  // quarter hours east of UTC, -96..96
extern bool opt_tzoff_set;
extern int32_t opt_tempoff;
extern bool opt_tempoff_set;
extern int32_t opt_tz;  // watch zone index, -1 none
extern bool opt_tz_set;
extern int32_t opt_dst;  // -1 automatic

// A prefix matched without regard to case, and the handler of the text
// after it; only "tempoff=" can answer true.
struct option_row {
    const char* prefix;
    bool (*handler)(const char* value);
};
extern const std::array<option_row, 4> option_table;

// Reads one decimal integer as "%d" does: blanks skipped, an optional sign,
// digits up to the first other character. Beyond 32 bits the value stays at
// the nearest 32-bit limit. False when no digit was read.
bool read_decimal(const char* text, int32_t& value);

// Runs every argument after the program name through option_table; returns
// how many handlers answered true (above 0: the temperature-offset mode).
int parse_options(int argc, char** argv);
