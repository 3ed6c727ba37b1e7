// SPDX-License-Identifier: MIT
// The reduction of clock samples taken around a realistic PC time: any
// watch fields, delays from none to seconds (a PC clock stepped back now
// and then). The figures stay within a quarter hour and are never NaN.
#include <cmath>
#include <cstdint>

#include "tests/fuzz/fuzz_input.h"
#include "tools/clock_sampling.h"

namespace {

// 2026-12-10 14:05:13 UTC as a file time, and about a year either side.
constexpr file_time BASE = FILE_TIME_UNIX_EPOCH + 1796911513ull * FILE_TIME_PER_SECOND;
constexpr uint64_t SPREAD = 366ull * 24 * 3600 * FILE_TIME_PER_SECOND;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_quiet_output();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    fuzz_input in{data, size};
    file_time t = BASE - SPREAD + in.number<uint64_t>() % (2 * SPREAD);
    clock_sample_count = in.byte() % (CLOCK_SAMPLES_MAX + 1);
    for (int i = 0; i < clock_sample_count; ++i) {
        clock_sample& s = clock_samples[static_cast<std::size_t>(i)];
        s = clock_sample{};
        // Up to about 6.5 s between samples and across a sample.
        t += in.number<uint16_t>() * FILE_TIME_PER_MS / 10;
        s.pc_before = t;
        const uint16_t delay = in.number<uint16_t>();
        // The top bit: the PC clock stepped back across the sample.
        s.pc_after = delay & 0x8000 ? t - (delay & 0x7FFF) * FILE_TIME_PER_MS / 10 : t + delay * FILE_TIME_PER_MS / 10;
        s.minute = in.byte();
        s.second = in.byte();
        s.irq_err = in.byte();
        s.subsec = in.number<uint16_t>();
    }
    clock_statistics stats{};
    if (!reduce_clock_samples(stats))
        return 0;
    FUZZ_CHECK(stats.used >= 1 && stats.used <= clock_sample_count - CLOCK_SAMPLES_SKIPPED);
    FUZZ_CHECK(stats.average_diff >= -QUARTER_HOUR_MS / 2 && stats.average_diff < QUARTER_HOUR_MS / 2);
    FUZZ_CHECK(std::isfinite(stats.std_dev) && stats.std_dev >= 0 && stats.std_dev <= QUARTER_HOUR_MS);
    FUZZ_CHECK(stats.irq_err_min <= stats.irq_err_max || stats.used == 0);
    for (int i = CLOCK_SAMPLES_SKIPPED; i < clock_sample_count; ++i) {
        const int64_t d = clock_samples[static_cast<std::size_t>(i)].diff_ms;
        FUZZ_CHECK(d >= -QUARTER_HOUR_MS / 2 && d < QUARTER_HOUR_MS / 2);
    }
    return 0;
}
