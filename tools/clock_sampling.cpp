// SPDX-License-Identifier: MIT
#include "tools/clock_sampling.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "aplink/ap_commands.h"
#include "aplink/qx_internal.h"
#include "platform/clock.h"
#include "watchlink/exchange.h"
#include "watchlink/run_frame.h"

std::array<clock_sample, CLOCK_SAMPLES_MAX> clock_samples{};
int clock_sample_count = 0;

sampling_end take_clock_samples(int count, int subsec_offset, uint16_t& status)
{
    int not_ready_in_row = 0;
    int slips = 0;
    for (int i = 0; i < count && clock_sample_count < CLOCK_SAMPLES_MAX;) {
        if (run_interrupted())
            return sampling_end::interrupted;
        // Outside the bracket: a reply left over from an earlier command
        // would pass for this reading.
        discard_stale_replies();
        watch_command cmd = make_command(CMD_READ_CLOCK);
        clock_sample& s = clock_samples[static_cast<std::size_t>(clock_sample_count)];
        s.pc_before = plat_utc_now();
        QX_SYNC_SendCommand(cmd.data());
        s.pc_empty_poll = s.pc_before;
        const bool waiting = poll_for_reply(status, POLL_CLOCK, &s.pc_empty_poll) && status == AP_SYNC_REPLY_WAITING;
        s.pc_waiting = plat_utc_now();
        watch_reply reply{};
        const bool read = waiting && read_reply(reply);
        // The link slipped out of step and is back: this reading is lost, not wrong.
        if (!read && link_slipped() && ++slips <= CLOCK_SLIP_LIMIT)
            continue;
        if (!waiting)
            return sampling_end::no_reply;
        if (!read)
            return sampling_end::read_failed;
        if (reply[CLOCK_POS_HOUR] == CLOCK_NOT_READY) {
            if (++not_ready_in_row >= CLOCK_NOT_READY_LIMIT)
                return sampling_end::clock_not_ready;
            continue;
        }
        not_ready_in_row = 0;
        s.pc_after = plat_utc_now();
        s.minute = reply[CLOCK_POS_MINUTE];
        s.second = reply[CLOCK_POS_SECOND];
        s.subsec = get_u16(reply.data(), subsec_offset);
        s.irq_err = reply[CLOCK_POS_IRQ_ERR];
        ++clock_sample_count;
        std::fputc('.', stderr);
        ++i;
    }
    return sampling_end::complete;
}

void print_utc_time(file_time t)
{
    SYSTEMTIME utc{};
    filetime_to_systime(t, utc);
    std::printf("UTC time = %d-%d-%d %02d:%02d:%02d\n", utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute,
                utc.wSecond);
}

int64_t fold_quarter_hours(int64_t diff_ms)
{
    int64_t r = ((diff_ms % QUARTER_HOUR_MS) + QUARTER_HOUR_MS) % QUARTER_HOUR_MS;
    if (r >= QUARTER_HOUR_MS / 2)
        r -= QUARTER_HOUR_MS;
    return r;
}

bool reduce_clock_samples(clock_statistics& stats)
{
    const int n = clock_sample_count;
    std::array<int64_t, CLOCK_SAMPLES_MAX> delay{};  // 100 ns units
    int64_t least_delay = INT64_MAX;
    for (int i = CLOCK_SAMPLES_SKIPPED; i < n; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        clock_sample& s = clock_samples[k];
        s.use = sample_use::used;
        delay[k] = static_cast<int64_t>(s.pc_after - s.pc_before);
        const file_time ft1 = s.pc_before + static_cast<file_time>(delay[k] / 2);
        SYSTEMTIME st{};
        filetime_to_systime(ft1, st);
        // The date and the hour stay the PC's: the watch's hour is not compared.
        st.wMinute = s.minute;
        st.wSecond = s.second;
        if (s.subsec >= SUBSEC_FLAG)
            s.subsec = static_cast<uint16_t>(s.subsec - SUBSEC_FLAG);
        st.wMilliseconds = static_cast<uint16_t>(s.subsec * 1000u / SUBSEC_PER_SECOND);
        file_time ft2 = 0;
        if (!systime_to_filetime(st, ft2)) {
            s.use = sample_use::out_of_range;
            continue;
        }
        s.diff_ms = fold_quarter_hours((static_cast<int64_t>(ft2) - static_cast<int64_t>(ft1)) /
                                       static_cast<int64_t>(FILE_TIME_PER_MS));
        least_delay = std::min(least_delay, delay[k]);
    }

    constexpr int64_t PER_MS = static_cast<int64_t>(FILE_TIME_PER_MS);
    std::array<int64_t, CLOCK_SAMPLES_MAX> prompt_diffs{};
    std::size_t prompt = 0;
    for (int i = CLOCK_SAMPLES_SKIPPED; i < n; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        clock_sample& s = clock_samples[k];
        if (s.use != sample_use::used)
            continue;
        if (delay[k] - least_delay > PLAUSIBLE_DELAY_EXCESS_MS * PER_MS)
            s.use = sample_use::delayed;
        else
            prompt_diffs[prompt++] = s.diff_ms;
    }
    std::sort(prompt_diffs.begin(), prompt_diffs.begin() + static_cast<std::ptrdiff_t>(prompt));
    const int64_t median = prompt > 0 ? prompt_diffs[(prompt - 1) / 2] : 0;

    int64_t sum = 0;
    int64_t delay_sum = 0;
    int used = 0;
    int irq_max = 0;
    int irq_min = clock_samples[0].irq_err;
    for (int i = CLOCK_SAMPLES_SKIPPED; i < n; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        clock_sample& s = clock_samples[k];
        if (s.use == sample_use::used && std::llabs(s.diff_ms - median) > PLAUSIBLE_DIFF_SPREAD_MS)
            s.use = sample_use::off_median;
        switch (s.use) {
        case sample_use::out_of_range:
            std::printf("diff %02d: watch time %u:%u is out of range, not used\n", i, s.minute, s.second);
            continue;
        case sample_use::delayed:
            std::printf("diff %02d = %" PRId64 "  not used: delay %" PRId64 " ms, least %" PRId64 " ms\n", i,
                        s.diff_ms, delay[k] / PER_MS, least_delay / PER_MS);
            continue;
        case sample_use::off_median:
            std::printf("diff %02d = %" PRId64 "  not used: %" PRId64 " ms from the median %" PRId64 "\n", i,
                        s.diff_ms, s.diff_ms - median, median);
            continue;
        case sample_use::used:
            break;
        }
        std::printf("diff %02d = %" PRId64 "\n", i, s.diff_ms);
        sum += s.diff_ms;
        delay_sum += delay[k];
        irq_max = std::max<int>(irq_max, s.irq_err);
        irq_min = std::min<int>(irq_min, s.irq_err);
        ++used;
    }
    if (n > CLOCK_SAMPLES_SKIPPED)
        print_utc_time(clock_samples[CLOCK_SAMPLES_SKIPPED].pc_before);
    if (used == 0 || used * 2 < n - CLOCK_SAMPLES_SKIPPED)
        return false;
    stats.used = used;
    stats.average_diff = sum / used;
    int64_t square_sum = 0;
    for (int i = CLOCK_SAMPLES_SKIPPED; i < n; ++i)
        if (const clock_sample& s = clock_samples[static_cast<std::size_t>(i)]; s.use == sample_use::used) {
            const int64_t d = s.diff_ms - stats.average_diff;
            square_sum += d * d;
        }
    stats.std_dev = std::sqrt(static_cast<double>(square_sum / used));
    stats.irq_err_min = irq_min;
    stats.irq_err_max = irq_max;
    stats.average_delay = delay_sum / used / PER_MS;
    return true;
}
