// SPDX-License-Identifier: MIT
// The watch's rate from its recorded offsets: the records split per watch
// and per period between settings, and a weighted least-squares line
// through each period's offsets.
#pragma once
#include <string>
#include <vector>

#include "records/records.h"

struct drift_point {
    offset_measurement m;
    int64_t record_id = 0;
    std::string tool;
};

struct drift_period {
    std::string watch;
    int number = 1;        // per watch, from 1
    bool set = false;      // begun by a setting (else by the first record)
    double set_at = 0;     // when, seconds since 1970
    std::vector<drift_point> points;  // in time order
};

// Readings closer together than this are taken as one moment: no rate from them.
inline constexpr double SAME_MOMENT_S = 1.0;
inline constexpr double SECONDS_PER_DAY = 86400.0;
inline constexpr double DAYS_PER_MONTH = 365.2425 / 12;

// Periods of every watch, watches in the order they first appear. A
// setting's measurement before it closes the period it ends; its
// measurement after it opens the next.
std::vector<drift_period> drift_periods(const std::vector<drift_record>& records);

// How many more readings a period needs for a rate: 0 when it has one.
int readings_needed(const std::vector<drift_point>& points);

struct rate_fit {
    double rate_ppm = 0;  // watch gains this many microseconds per second
    double rate_uncertainty_ppm = 0;
    double ref_at = 0;    // weighted mean time of the readings
    double offset_us = 0;  // the line's offset at ref_at
    double offset_variance = 0;  // us^2, at ref_at
    double rate_variance = 0;    // ppm^2
};

// False when readings_needed is not 0.
bool fit_rate(const std::vector<drift_point>& points, rate_fit& fit);
// The line's offset at a time, with its uncertainty.
double fitted_offset_us(const rate_fit& fit, double at, double& uncertainty_us);
