// SPDX-License-Identifier: MIT
#include "tools/run_record.h"

#include <cstdio>
#include <string>

#include "platform/clock.h"
#include "platform/pc_clock.h"
#include "records/records.h"
#include "tools/precise_offset.h"
#include "tools/time_setter.h"

namespace {

// The setter's run, gathered until it ends.
drift_record setting;
bool setting_noted = false;

std::string utc_text(file_time t)
{
    SYSTEMTIME st{};
    filetime_to_systime(t, st);
    char b[48];
    std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                  st.wSecond);
    return b;
}

void start_record(drift_record& r, const char* tool, const firmware_id& fw)
{
    r = drift_record{};
    r.tool = tool;
    r.watch = watch_identification(fw);
    pc_clock_state pc;
    if (plat_pc_clock_state(pc)) {
        r.pc_synchronised = pc.synchronised;
        r.pc_est_error_us = pc.est_error_us;
        r.pc_max_error_us = pc.max_error_us;
    }
}

// The printed figures and the precise offset of the samples now in the table.
void take_measurement(drift_record& r, const clock_statistics& stats)
{
    r.average_diff_ms = stats.average_diff;
    r.std_dev_ms = stats.std_dev;
    r.irq_err_min = stats.irq_err_min;
    r.irq_err_max = stats.irq_err_max;
    r.average_delay_ms = stats.average_delay;
    precise_offset p;
    if (estimate_precise_offset(used_clock_samples(), p)) {
        r.offset = offset_measurement{filetime_to_unix_seconds(p.at), p.offset_us, p.uncertainty_us};
        r.samples = p.used;
        r.delay_min_us = p.delay_min_us;
        r.delay_mean_us = p.delay_mean_us;
        r.delay_max_us = p.delay_max_us;
    }
}

void add(const drift_record& r)
{
    std::string path, problem;
    if (!rec_log_path(path))
        return;
    drift_record stamped = r;
    stamped.recorded_at = utc_text(plat_utc_now());
    if (!rec_add(path, stamped, problem))
        std::fprintf(stderr, "%s: run not recorded: %s\n", r.tool.c_str(), problem.c_str());
}

}  // namespace

std::string watch_identification(const firmware_id& fw)
{
    char b[32];
    std::snprintf(b, sizeof b, "%02x %02x %d %02d-%02d %d", fw.kind, fw.flags, fw.version, fw.month + 1, fw.day,
                  fw.variant);
    return b;
}

void record_reading(const firmware_id& fw, const clock_statistics& stats)
{
    drift_record r;
    start_record(r, TOOL_NAME_READER, fw);
    take_measurement(r, stats);
    add(r);
}

void note_setter_step(const firmware_id& fw, int step, const clock_statistics* stats)
{
    if (step == 0) {
        start_record(setting, TOOL_NAME_SETTER, fw);
        setting_noted = true;
    }
    if (!stats)
        return;
    if (step == 0) {
        drift_record before;
        take_measurement(before, *stats);
        setting.before = before.offset;
    } else if (step == SETTER_STEPS - 1) {
        // Only the last step measures what the setting left.
        take_measurement(setting, *stats);
    }
}

void note_time_command(const watch_command& cmd)
{
    const unsigned ms = get_u16(cmd.data(), TIME_POS_SUBSEC) * 1000u / SUBSEC_PER_SECOND;
    char b[64];
    std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d.%03u", get_u16(cmd.data(), TIME_POS_YEAR),
                  cmd[TIME_POS_MONTH], cmd[TIME_POS_DAY], cmd[TIME_POS_HOUR], cmd[TIME_POS_MINUTE],
                  cmd[TIME_POS_SECOND], ms);
    setting.sent_time = b;
    ++setting.time_commands;
}

void record_setting()
{
    // Nothing was set: the watch's clock runs on as before, in its period.
    if (setting_noted && setting.time_commands > 0)
        add(setting);
    setting_noted = false;
}
