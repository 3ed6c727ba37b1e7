// SPDX-License-Identifier: MIT
// Clock measurement: readings of the watch's clock bracketed by PC time
// stamps, reduced to differences, their mean and spread, and the mean delay.
#pragma once
#include <array>
#include <cstdint>

#include "platform/systime.h"

// Why a sample of a pass is not used.
enum class sample_use { used, out_of_range, delayed, off_median };

struct clock_sample {
    file_time pc_before = 0;  // PC UTC just before the command went out
    file_time pc_after = 0;   // PC UTC just after the reply was read
    // The reply reached the access point's buffer between these two: PC UTC
    // just after the last status poll that found nothing (pc_before when the
    // first found it) and just after the one that found it waiting. The
    // precise offset brackets the watch's reading with them, the printed
    // figures with pc_after.
    file_time pc_empty_poll = 0;
    file_time pc_waiting = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
    uint8_t irq_err = 0;
    uint16_t subsec = 0;  // 1/32768 s; bit 15 is no part of the count
    int64_t diff_ms = 0;  // watch minus PC at the midpoint, filled by the reduction
    sample_use use = sample_use::used;  // filled by the reduction
};

inline constexpr int CLOCK_SAMPLES_MAX = 22;
inline constexpr int CLOCK_SAMPLES_SKIPPED = 2;  // the first two of a pass are not used
extern std::array<clock_sample, CLOCK_SAMPLES_MAX> clock_samples;
extern int clock_sample_count;

// A watch with no reading to give is asked again; this many "not ready"
// replies in a row end the sampling.
inline constexpr int CLOCK_NOT_READY_LIMIT = 250;
// A reading whose reply came short or out of step is taken again, this many
// times in a pass.
inline constexpr int CLOCK_SLIP_LIMIT = 3;
// Every zone offset in use is a whole number of quarter hours, and only
// minute, second and sub-second are compared: differences are known modulo this.
inline constexpr int64_t QUARTER_HOUR_MS = 15 * 60 * 1000;

// Samples that cannot be right are not used. A host that takes the CPU away
// between a sample's send and its read puts the midpoint up to half that
// stall off: a sample whose delay exceeds the pass's least by more than
// PLAUSIBLE_DELAY_EXCESS_MS is not used; nor is one, of the rest, whose
// difference lies more than PLAUSIBLE_DIFF_SPREAD_MS from their median. Radio
// jitter and the tens of ms a busy host adds now and then stay well inside.
// A pass gives a reading only when at least half its used records are usable.
inline constexpr int64_t PLAUSIBLE_DELAY_EXCESS_MS = 100;
inline constexpr int64_t PLAUSIBLE_DIFF_SPREAD_MS = 100;

inline constexpr char MSG_TOO_FEW_SAMPLES[] = "Too few usable clock samples for a reading!\n";
inline constexpr char MSG_CLOCK_NOT_READY[] = "The watch's clock gave no reading!\n";

enum class sampling_end {
    complete,
    no_reply,         // no reply found waiting: the polls ran out, or the last one failed
    read_failed,      // a reply was announced but could not be fetched
    clock_not_ready,  // CLOCK_NOT_READY_LIMIT "not ready" replies in a row
    interrupted,      // a signal asked the run to end
};

// Appends count samples to clock_samples (the sub-second counter at
// subsec_offset of the reply); "." on the standard error stream per sample.
sampling_end take_clock_samples(int count, int subsec_offset, uint16_t& status);

struct clock_statistics {
    int64_t average_diff = 0;  // ms
    double std_dev = 0;        // ms
    int irq_err_min = 0;
    int irq_err_max = 0;
    int64_t average_delay = 0;  // ms, send to read
    int used = 0;               // samples that went into the figures
};

// The line "UTC time = Y-M-D hh:mm:ss" for a PC time, on the standard output.
void print_utc_time(file_time t);

// A difference taken to its representative nearest zero modulo a quarter hour.
int64_t fold_quarter_hours(int64_t diff_ms);

// Prints one "diff" line per used record, saying so when the sample is not
// used and why, and the "UTC time" line, and fills stats from the usable
// samples. False when too few are usable; nothing is filled then. Each
// sample's use is kept in it, for the precise offset.
bool reduce_clock_samples(clock_statistics& stats);
