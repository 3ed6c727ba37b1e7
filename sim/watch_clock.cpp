// The watch's clock: a calendar time that runs from a base with an offset and
// a rate error against the PC's clock, read at the moment a command arrives.
#include <cmath>
#include <ctime>

#include "platform/clock.h"
#include "sim/sim.h"

namespace {

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
    if (cfg.watch_utc)
        return 0;
    const time_t t = static_cast<time_t>((utc - static_cast<int64_t>(FILE_TIME_UNIX_EPOCH)) /
                                         static_cast<int64_t>(FILE_TIME_PER_SECOND));
    tm local{};
    localtime_r(&t, &local);
    return int64_t{local.tm_gmtoff} * static_cast<int64_t>(FILE_TIME_PER_SECOND);
}

int64_t watch_at(int64_t utc)
{
    const int64_t elapsed = utc - base_pc;
    return base_watch + elapsed + static_cast<int64_t>(std::llround(static_cast<double>(elapsed) * cfg.drift_ppm * 1e-6));
}

double offset_ms_at(int64_t utc)
{
    return static_cast<double>(watch_at(utc) - (utc + reference_offset(utc))) / 1e4;
}

}  // namespace

void watch_clock_init()
{
    base_pc = static_cast<int64_t>(plat_utc_now());
    base_watch = base_pc + reference_offset(base_pc) + std::llround(cfg.offset_ms * 1e4);
    not_ready_left = cfg.not_ready;
}

void watch_clock_reply(watch_reply& r)
{
    if (not_ready_left > 0) {
        --not_ready_left;
        r[CLOCK_POS_HOUR] = CLOCK_NOT_READY;
        return;
    }
    const int64_t utc = static_cast<int64_t>(plat_utc_now());
    const int64_t w = watch_at(utc);
    SYSTEMTIME st{};
    filetime_to_systime(static_cast<file_time>(w), st);
    r[CLOCK_POS_HOUR] = static_cast<uint8_t>(st.wHour);
    r[CLOCK_POS_MINUTE] = static_cast<uint8_t>(cfg.clock_minute >= 0 ? cfg.clock_minute : st.wMinute);
    r[CLOCK_POS_SECOND] = static_cast<uint8_t>(st.wSecond);
    const int64_t in_second = w % static_cast<int64_t>(FILE_TIME_PER_SECOND);
    uint16_t subsec = static_cast<uint16_t>(in_second * SUBSEC_PER_SECOND / FILE_TIME_PER_SECOND);
    if (cfg.subsec_flag)
        subsec |= SUBSEC_FLAG;
    put_u16(r.data(), cfg.fw_kind == FW_KIND_CC ? CLOCK_POS_SUBSEC_CC : CLOCK_POS_SUBSEC, subsec);
    r[CLOCK_POS_IRQ_ERR] = cfg.irq_err[irq_next++ % cfg.irq_err.size()];

    const double off = offset_ms_at(utc);
    if (reads == 0)
        offset_first_ms = off;
    offset_last_ms = off;
    offset_sum_ms += off;
    ++reads;
}

void watch_clock_set(const watch_command& cmd)
{
    SYSTEMTIME st{};
    st.wYear = get_u16(cmd.data(), TIME_POS_YEAR);
    st.wMonth = cmd[TIME_POS_MONTH];
    st.wDay = cmd[TIME_POS_DAY];
    st.wHour = cmd[TIME_POS_HOUR];
    st.wMinute = cmd[TIME_POS_MINUTE];
    st.wSecond = cmd[TIME_POS_SECOND];
    file_time ft = 0;
    if (!systime_to_filetime(st, ft)) {
        transcript_note("time command with a date out of range: ignored");
        return;
    }
    const uint16_t subsec = get_u16(cmd.data(), TIME_POS_SUBSEC) & static_cast<uint16_t>(~SUBSEC_FLAG);
    base_pc = static_cast<int64_t>(plat_utc_now());
    base_watch = static_cast<int64_t>(ft) + int64_t{subsec} * static_cast<int64_t>(FILE_TIME_PER_SECOND) / SUBSEC_PER_SECOND;
    ++time_sets;
    // What the command achieved, for a reader of the transcript.
    char note[80];
    std::snprintf(note, sizeof note, "clock set: watch clock - PC %s = %+.3f ms", cfg.watch_utc ? "UTC" : "local time",
                  offset_ms_at(base_pc));
    transcript_note(note);
}

void watch_clock_summary(FILE* out)
{
    const char* against = cfg.watch_utc ? "UTC" : "local time";
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
