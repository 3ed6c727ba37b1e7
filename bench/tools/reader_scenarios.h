// SPDX-License-Identifier: MIT
// The watches the reader benchmarks read: offsets with and without radio
// jitter, and one whose minute rolls over in the middle of the sampling.
#pragma once
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"

struct scenario {
    std::string name;
    double offset_ms;  // NAN: chosen so that the sampling straddles a minute
    double jitter_ms;
};

inline const std::vector<scenario> READER_SCENARIOS = {
    {"0", 0.0, 0}, {"+123.4", 123.4, 0}, {"-2500.0", -2500.0, 0}, {"minute", NAN, 0},
    {"0", 0.0, 2}, {"+123.4", 123.4, 2}, {"-2500.0", -2500.0, 2}, {"minute", NAN, 2},
};

// An offset that puts the watch's minute boundary in the middle of the
// sampling of a run started now, given when sampling happens in a run.
inline double straddling_offset(double sampling_mid_s)
{
    const int64_t at = static_cast<int64_t>(plat_utc_now()) + std::llround(sampling_mid_s * FILE_TIME_PER_SECOND);
    const int64_t minute = 60 * static_cast<int64_t>(FILE_TIME_PER_SECOND);
    const double into = static_cast<double>(at % minute) / FILE_TIME_PER_MS;
    return into < 30000 ? -into : 60000 - into;
}
