// SPDX-License-Identifier: MIT
// The record of readings: one entry per run of the accuracy reader and per
// setting, kept in a local database so that the watch's rate can be had
// over days. Nothing here prints; failures come back as text.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr char TOOL_NAME_READER[] = "orv3get";
inline constexpr char TOOL_NAME_SETTER[] = "orv3set";

// A measurement of the watch's offset: when, how much, how sure.
struct offset_measurement {
    double at = 0;              // UTC, seconds since 1970
    double offset_us = 0;       // watch minus PC
    double uncertainty_us = 0;  // one standard deviation
};

struct drift_record {
    int64_t id = 0;            // given by the store
    std::string recorded_at;   // UTC, "YYYY-MM-DD hh:mm:ss", when it was written
    std::string tool;          // TOOL_NAME_READER or TOOL_NAME_SETTER
    std::string watch;         // firmware identification: kind flags version date variant

    // The printed figures (of the setter's last measuring step).
    std::optional<int64_t> average_diff_ms;
    std::optional<double> std_dev_ms;
    std::optional<int64_t> irq_err_min, irq_err_max;
    std::optional<int64_t> average_delay_ms;

    // The precise offset and the delays behind it; for the setter, what its
    // last step measured after the setting.
    std::optional<offset_measurement> offset;
    std::optional<int64_t> samples;
    std::optional<double> delay_min_us, delay_mean_us, delay_max_us;

    // The PC clock, where the platform tells.
    std::optional<bool> pc_synchronised;
    std::optional<int64_t> pc_est_error_us, pc_max_error_us;

    // The setter: how many time commands went out, the last one as the
    // local time it carried, and the offset measured before the first.
    int64_t time_commands = 0;
    std::string sent_time;  // "YYYY-MM-DD hh:mm:ss.mmm", local
    std::optional<offset_measurement> before;
};

// Version of the layout this code writes; a database of a later version is
// read where it can be but never written.
inline constexpr int RECORD_SCHEMA_VERSION = 1;
// How long a run waits for another that is writing.
inline constexpr int RECORD_BUSY_TIMEOUT_MS = 5000;
inline constexpr char RECORD_LOG_ENV[] = "ORV3_LOG";
inline constexpr char RECORD_LOG_OFF[] = "off";

// Where runs are recorded: ORV3_LOG, else the user's state directory.
// False when recording is off (or there is nowhere to record).
bool rec_log_path(std::string& path);

// Adds the record to the database at path, creating the file (and the
// default directory) on first use. False with the reason in problem.
bool rec_add(const std::string& path, const drift_record& r, std::string& problem);

// Every record of the database, oldest first.
bool rec_load(const std::string& path, std::vector<drift_record>& out, std::string& problem);

// The column names in the order rec_csv_row gives them.
std::string rec_csv_header();
std::string rec_csv_row(const drift_record& r);
