// SPDX-License-Identifier: MIT
// The watch's clock: a calendar time that runs from a base with an offset and
// a rate error against the PC's clock, read at the moment a command arrives.
// Its calendar fields come from the C library, not from the tools' own
// calendar code, so that a fault there cannot cancel out between the two ends.
#include <cmath>
#include <ctime>

#include "platform/clock.h"
#include "sim/sim.h"

namespace {

constexpr int64_t TICKS_PER_SECOND = static_cast<int64_t>(FILE_TIME_PER_SECOND);
// The years a file time holds.
constexpr int FIRST_YEAR = 1601;
constexpr int LAST_YEAR = 30827;

int64_t base_pc = 0;     // PC UTC file time at the base
int64_t base_watch = 0;  // the watch's calendar time then, as a file time
int not_ready_left = 0;
std::size_t irq_next = 0;
int reads = 0;
double offset_sum_ms = 0;
double offset_first_ms = 0;
double offset_last_ms = 0;
int time_sets = 0;

// What the watch's calendar is measured against: PC local time or UTC.
int64_t reference_offset(int64_t utc)
{
    if (sim_settings.watch_utc)
        return 0;
    const time_t t = static_cast<time_t>((utc - static_cast<int64_t>(FILE_TIME_UNIX_EPOCH)) /
                                         TICKS_PER_SECOND);
    tm local{};
    localtime_r(&t, &local);
    return int64_t{local.tm_gmtoff} * TICKS_PER_SECOND;
}

int64_t watch_at(int64_t utc)
{
    const int64_t elapsed = utc - base_pc;
    return base_watch + elapsed + static_cast<int64_t>(std::llround(static_cast<double>(elapsed) * sim_settings.drift_ppm * 1e-6));
}

double offset_ms_at(int64_t utc)
{
    return static_cast<double>(watch_at(utc) - (utc + reference_offset(utc))) / 1e4;
}

// Calendar fields of a file time, whole seconds.
tm calendar_of(int64_t ft)
{
    int64_t since_epoch = ft - static_cast<int64_t>(FILE_TIME_UNIX_EPOCH);
    int64_t seconds = since_epoch / TICKS_PER_SECOND;
    if (since_epoch % TICKS_PER_SECOND < 0)
        --seconds;
    const time_t t = static_cast<time_t>(seconds);
    tm fields{};
    gmtime_r(&t, &fields);
    return fields;
}

// File time of calendar fields; false for a date that does not exist.
bool file_time_of(int year, int month, int day, int hour, int minute, int second, int64_t& ft)
{
    if (year < FIRST_YEAR || year > LAST_YEAR)
        return false;
    tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    const time_t t = timegm(&fields);
    // timegm carries fields over (February 30 becomes March 2); a real date
    // comes back as it went in.
    if (fields.tm_year != year - 1900 || fields.tm_mon != month - 1 || fields.tm_mday != day ||
        fields.tm_hour != hour || fields.tm_min != minute || fields.tm_sec != second)
        return false;
    ft = static_cast<int64_t>(FILE_TIME_UNIX_EPOCH) + int64_t{t} * TICKS_PER_SECOND;
    return true;
}

}  // namespace

void sim_watch_clock_init()
{
    base_pc = static_cast<int64_t>(plat_utc_now());
    base_watch = base_pc + reference_offset(base_pc) + std::llround(sim_settings.offset_ms * 1e4);
    not_ready_left = sim_settings.not_ready;
}

void sim_watch_clock_reply(watch_reply& r)
{
    if (not_ready_left > 0) {
        --not_ready_left;
        r[CLOCK_POS_HOUR] = CLOCK_NOT_READY;
        return;
    }
    const int64_t utc = static_cast<int64_t>(plat_utc_now());
    const int64_t w = watch_at(utc);
    const tm fields = calendar_of(w);
    r[CLOCK_POS_HOUR] = static_cast<uint8_t>(fields.tm_hour);
    r[CLOCK_POS_MINUTE] = static_cast<uint8_t>(sim_settings.clock_minute >= 0 ? sim_settings.clock_minute : fields.tm_min);
    r[CLOCK_POS_SECOND] = static_cast<uint8_t>(fields.tm_sec);
    const int64_t in_second = w % TICKS_PER_SECOND;
    uint16_t subsec = static_cast<uint16_t>(in_second * SUBSEC_PER_SECOND / TICKS_PER_SECOND);
    if (sim_settings.subsec_flag)
        subsec |= SUBSEC_FLAG;
    put_u16(r.data(), sim_settings.fw_kind == FW_KIND_CC ? CLOCK_POS_SUBSEC_CC : CLOCK_POS_SUBSEC, subsec);
    r[CLOCK_POS_IRQ_ERR] = sim_settings.irq_err[irq_next++ % sim_settings.irq_err.size()];

    const double off = offset_ms_at(utc);
    if (reads == 0)
        offset_first_ms = off;
    offset_last_ms = off;
    offset_sum_ms += off;
    ++reads;
}

void sim_watch_clock_set(const watch_command& cmd)
{
    int64_t ft = 0;
    if (!file_time_of(get_u16(cmd.data(), TIME_POS_YEAR), cmd[TIME_POS_MONTH], cmd[TIME_POS_DAY], cmd[TIME_POS_HOUR],
                      cmd[TIME_POS_MINUTE], cmd[TIME_POS_SECOND], ft)) {
        sim_transcript_note("time command with a date out of range: ignored");
        return;
    }
    const uint16_t subsec = get_u16(cmd.data(), TIME_POS_SUBSEC) & static_cast<uint16_t>(~SUBSEC_FLAG);
    base_pc = static_cast<int64_t>(plat_utc_now());
    base_watch = ft + int64_t{subsec} * TICKS_PER_SECOND / SUBSEC_PER_SECOND;
    ++time_sets;
    // What the command achieved, for a reader of the transcript.
    char note[80];
    std::snprintf(note, sizeof note, "clock set: watch clock - PC %s = %+.3f ms", sim_settings.watch_utc ? "UTC" : "local time",
                  offset_ms_at(base_pc));
    sim_transcript_note(note);
}

void sim_watch_clock_summary(FILE* out)
{
    const char* against = sim_settings.watch_utc ? "UTC" : "local time";
    const int64_t utc = static_cast<int64_t>(plat_utc_now());
    std::fprintf(out, "orv3sim: watch clock - PC %s = %+.3f ms now", against, offset_ms_at(utc));
    if (time_sets > 0)
        std::fprintf(out, " (clock set %d times)", time_sets);
    std::fprintf(out, "\n");
    if (reads > 0)
        std::fprintf(out,
                     "orv3sim: clock reads: %d, true offset at them: mean %+.3f ms, first %+.3f ms, last %+.3f ms\n",
                     reads, offset_sum_ms / reads, offset_first_ms, offset_last_ms);
}
