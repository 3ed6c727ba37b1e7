// SPDX-License-Identifier: MIT
// The watch's offset from the same clock samples as the printed average
// diff, without its truncations: microseconds, favouring the samples that
// spent the least time on the way, with an uncertainty.
#pragma once
#include <span>

#include "tools/clock_sampling.h"

struct precise_offset {
    double offset_us = 0;       // watch minus PC, folded to the nearest quarter hour like the diffs
    double uncertainty_us = 0;  // one standard deviation
    double delay_min_us = 0;    // send to the reply's arrival, over the samples used
    double delay_mean_us = 0;
    double delay_max_us = 0;
    file_time at = 0;           // mean of the samples' midpoints
    int used = 0;
};

// Below this the spread of the fastest samples is not told apart: every
// sample's reading carries this much noise from the counter and the PC's
// time stamps.
inline constexpr double PRECISE_NOISE_FLOOR_US = 50.0;

// The samples a reduction uses: those after the first two of the pass.
std::span<const clock_sample> used_clock_samples();

// Uses only the samples the reduction used. False when no sample can be
// used (none, or none whose minute and second make a time).
bool estimate_precise_offset(std::span<const clock_sample> samples, precise_offset& out);
