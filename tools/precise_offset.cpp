// SPDX-License-Identifier: MIT
#include "tools/precise_offset.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "watchlink/protocol.h"

namespace {

constexpr double US_PER_FILE_TIME = 0.1;
constexpr double US_PER_MS = 1000.0;
// The counter truncates: the watch's time lies in the count's 1/32768 s.
constexpr double COUNT_US = 1e6 / SUBSEC_PER_SECOND;
const double COUNT_NOISE_US = COUNT_US / std::sqrt(12.0);

struct one_sample {
    double offset_us;
    double delay_us;
    double window_us;  // between the poll that found nothing and the one that found the reply
    double found_us;   // send to the poll that found the reply
    file_time mid;
};

// The watch minus the PC at the exact midpoint of the bracket from the send
// to the reply's arrival in the buffer, folded as the printed diffs are;
// false when minute or second make no time. The arrival is taken midway
// between the poll that found nothing and the one that found the reply: the
// polls' cadence is no guide to where it fell between them.
bool sample_offset(const clock_sample& s, one_sample& out)
{
    if (s.pc_empty_poll < s.pc_before || s.pc_waiting < s.pc_empty_poll)
        return false;
    const file_time arrival = s.pc_empty_poll + (s.pc_waiting - s.pc_empty_poll) / 2;
    const int64_t delay = static_cast<int64_t>(arrival - s.pc_before);
    const file_time mid = s.pc_before + static_cast<file_time>(delay / 2);
    SYSTEMTIME st{};
    if (!filetime_to_systime(mid, st))
        return false;
    // As in the reduction, the date and the hour stay the PC's.
    st.wMinute = s.minute;
    st.wSecond = s.second;
    st.wMilliseconds = 0;
    file_time whole_second = 0;
    if (!systime_to_filetime(st, whole_second))
        return false;
    const uint16_t count = s.subsec & static_cast<uint16_t>(~SUBSEC_FLAG);
    const double raw_us = static_cast<double>(static_cast<int64_t>(whole_second - s.pc_before)) * US_PER_FILE_TIME -
                          static_cast<double>(delay) * US_PER_FILE_TIME / 2 + (count + 0.5) * COUNT_US;
    const int64_t raw_ms = std::llround(raw_us / US_PER_MS);
    out.offset_us = raw_us + static_cast<double>(fold_quarter_hours(raw_ms) - raw_ms) * US_PER_MS;
    out.delay_us = static_cast<double>(delay) * US_PER_FILE_TIME;
    out.window_us = static_cast<double>(s.pc_waiting - s.pc_empty_poll) * US_PER_FILE_TIME;
    out.found_us = static_cast<double>(s.pc_waiting - s.pc_before) * US_PER_FILE_TIME;
    out.mid = mid;
    return true;
}

}  // namespace

std::span<const clock_sample> used_clock_samples()
{
    const int n = std::max(clock_sample_count - CLOCK_SAMPLES_SKIPPED, 0);
    return std::span<const clock_sample>(clock_samples).subspan(CLOCK_SAMPLES_SKIPPED, static_cast<std::size_t>(n));
}

bool estimate_precise_offset(std::span<const clock_sample> samples, precise_offset& out)
{
    std::vector<one_sample> ok;
    for (const clock_sample& s : samples) {
        // A sample the printed figures set aside cannot be right.
        one_sample o{};
        if (s.use == sample_use::used && sample_offset(s, o))
            ok.push_back(o);
    }
    if (ok.empty())
        return false;

    precise_offset r;
    r.used = static_cast<int>(ok.size());
    r.delay_min_us = r.delay_max_us = ok[0].delay_us;
    double delay_sum = 0;
    for (const one_sample& o : ok) {
        r.delay_min_us = std::min(r.delay_min_us, o.delay_us);
        r.delay_max_us = std::max(r.delay_max_us, o.delay_us);
        delay_sum += o.delay_us;
    }
    r.delay_mean_us = delay_sum / r.used;

    // A sample that waited longer than the fastest for the poll that found
    // its reply can have spent its extra time on either side of the watch's
    // reading, so its midpoint may be off by up to half the excess: weigh it
    // down by that, and by how little its polls tell of the reply's arrival
    // (a first poll held up by the host tells next to nothing).
    double found_min = ok[0].found_us;
    for (const one_sample& o : ok)
        found_min = std::min(found_min, o.found_us);
    double w_sum = 0, w2_sum = 0, wy_sum = 0, window_sum = 0;
    long double mid_sum = 0;
    std::vector<double> weights;
    for (const one_sample& o : ok) {
        const double half_excess = (o.found_us - found_min) / 2;
        const double window = o.window_us / (4 * std::sqrt(3.0));
        const double w =
            1.0 / (PRECISE_NOISE_FLOOR_US * PRECISE_NOISE_FLOOR_US + half_excess * half_excess + window * window);
        weights.push_back(w);
        w_sum += w;
        w2_sum += w * w;
        wy_sum += w * o.offset_us;
        window_sum += w * o.window_us;
        mid_sum += static_cast<long double>(static_cast<int64_t>(o.mid - ok[0].mid));
    }
    r.offset_us = wy_sum / w_sum;
    r.at = ok[0].mid + static_cast<file_time>(std::llround(static_cast<double>(mid_sum / r.used)));  // modulo 2^64

    // The spread of the weighted samples over the samples it rests on, the
    // counter's own step, and where the replies fell between two polls: a
    // link of steady latency puts them at the same place in every sample,
    // so that error does not average out. Uniform over the window, it
    // moves the reading by up to a quarter of it.
    const double window_error = window_sum / w_sum / (4 * std::sqrt(3.0));
    const double effective = w_sum * w_sum / w2_sum;
    if (effective < 1.5) {
        // Rests on a single sample: all that is known is its bracket.
        r.uncertainty_us = std::hypot(r.delay_min_us / 2, COUNT_NOISE_US);
    } else {
        double scatter = 0;
        for (std::size_t i = 0; i < ok.size(); ++i)
            scatter += weights[i] * (ok[i].offset_us - r.offset_us) * (ok[i].offset_us - r.offset_us);
        const double spread = std::sqrt(scatter / w_sum);
        r.uncertainty_us = std::hypot(spread / std::sqrt(effective - 1), COUNT_NOISE_US, window_error);
    }
    out = r;
    return true;
}
