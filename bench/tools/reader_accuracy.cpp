// SPDX-License-Identifier: MIT
// How well orv3get reads a simulated watch of known offset: the error of its
// average diff, its spread, the delay per sample, and how long the whole
// reading takes against the waits it prescribes. Reported, never asserted.
//
// usage: bench_reader_accuracy [--runs=N] [--load=N] [--latency=MS] [--wine]
//   --runs: readings per scenario (2); --load: busy processes beside (0)
//   --wine: each reading also by the Windows orv3get.exe under Wine, right
//   after the Linux one (ORV3_WINE_EXE_DIR, WINEPREFIX name the build and prefix)
#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "aplink/ap_commands.h"
#include "bench/tools/reader_scenarios.h"
#include "platform/clock.h"
#include "tests/support/sim_harness.h"
#include "tests/support/stdout_capture.h"
#include "tools/clock_sampling.h"
#include "watchlink/exchange.h"
#include "watchlink/info_blocks.h"
#include "watchlink/run_frame.h"

namespace {

constexpr int READER_SAMPLES = 22;
constexpr int REFERENCE_PASSES = 200;

struct wire_figures {
    double delay_ms = 0;      // clock command sent to its reply read back
    double max_delay_ms = 0;
    std::vector<double> delays_ms;  // of the used samples, in order
    double asymmetry_ms = 0;  // watch's reading minus the bracket's midpoint
    double sampling_start_s = 0, sampling_end_s = 0;
    double wall_s = 0;           // first frame to last
    double prescribed_s = 0;     // sleeps, tones and poll sleeps of the run
    int clock_polls = 0, block_polls = 0;
    bool minute_rolled = false;  // between the used readings
};

// CPU time the host took from this machine (steal) and all CPU time, in ticks.
struct cpu_ticks {
    long long steal = 0, total = 0;
};
cpu_ticks read_cpu_ticks()
{
    std::ifstream in("/proc/stat");
    std::string cpu;
    in >> cpu;
    cpu_ticks t;
    long long v = 0;
    for (int i = 0; i < 8 && in >> v; ++i) {
        t.total += v;
        if (i == 7)
            t.steal = v;
    }
    return t;
}
double steal_percent(const cpu_ticks& a, const cpu_ticks& b)
{
    return b.total > a.total ? 100.0 * static_cast<double>(b.steal - a.steal) / static_cast<double>(b.total - a.total) : 0;
}

std::string loadavg()
{
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

bool is_command(const wire_frame& f, uint8_t code)
{
    return f.dir == "pc>ap" && f.bytes.size() > AP_HEADER_SIZE && f.bytes[1] == AP_SYNC_SEND_COMMAND &&
           f.bytes[AP_HEADER_SIZE] == code;
}
bool is_code(const wire_frame& f, uint8_t code) { return f.dir == "pc>ap" && f.bytes.size() > 1 && f.bytes[1] == code; }

wire_figures measure_wire(const std::vector<wire_frame>& wire)
{
    wire_figures w;
    std::vector<const wire_frame*> frames;
    for (const wire_frame& f : wire)
        if (f.dir != "note")
            frames.push_back(&f);
    if (frames.empty())
        return w;
    w.wall_s = frames.back()->t - frames.front()->t;

    int samples = 0, blocks = 0;
    double delay_sum = 0, asym_sum = 0;
    std::vector<int> minutes;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const bool clock = is_command(*frames[i], CMD_READ_CLOCK);
        bool block = false;
        for (uint8_t code : BLOCK_READ_CMD)
            block = block || is_command(*frames[i], code);
        if (!clock && !block)
            continue;
        blocks += block;
        // The polls of this sending, the watch's reading and the read.
        double watch_at = NAN, read_back = NAN;
        int polls = 0;
        for (std::size_t j = i + 1; j < frames.size(); ++j) {
            const wire_frame& f = *frames[j];
            if (f.dir == "ap>watch" && std::isnan(watch_at))
                watch_at = f.t;
            if (f.dir == "watch>ap" && clock && f.bytes.size() > CLOCK_POS_MINUTE)
                minutes.push_back(f.bytes[CLOCK_POS_MINUTE]);
            if (is_code(f, AP_SYNC_GET_BUFFER_STATUS))
                ++polls;
            if (f.dir == "ap>pc" && f.bytes.size() == AP_HEADER_SIZE + AP_WATCH_FRAME_SIZE) {
                read_back = f.t;
                break;
            }
            if (is_code(f, AP_SYNC_SEND_COMMAND))
                break;
        }
        if (clock) {
            if (samples == CLOCK_SAMPLES_SKIPPED)
                w.sampling_start_s = frames[i]->t;
            w.sampling_end_s = read_back;
            w.clock_polls += polls;
            if (samples >= CLOCK_SAMPLES_SKIPPED) {
                delay_sum += read_back - frames[i]->t;
                w.max_delay_ms = std::max(w.max_delay_ms, (read_back - frames[i]->t) * 1e3);
                w.delays_ms.push_back((read_back - frames[i]->t) * 1e3);
                asym_sum += watch_at - (frames[i]->t + read_back) / 2;
            }
            ++samples;
        } else {
            w.block_polls += polls;
        }
    }
    const int used = samples - CLOCK_SAMPLES_SKIPPED;
    if (used > 0) {
        w.delay_ms = delay_sum / used * 1e3;
        w.asymmetry_ms = asym_sum / used * 1e3;
    }
    if (minutes.size() > static_cast<std::size_t>(CLOCK_SAMPLES_SKIPPED))
        w.minute_rolled = std::adjacent_find(minutes.begin() + CLOCK_SAMPLES_SKIPPED, minutes.end(),
                                             std::not_equal_to<>()) != minutes.end();
    const tool_frame& t = FRAME_ACCURACY_READER;
    const double ms = 2.0 * AP_RESET_SETTLE_MS + t.tone_ms + t.pause_ms + blocks * double{BLOCK_TONE_MS} +
                      w.block_polls * double{POLL_EXCHANGE.sleep_ms} + w.clock_polls * double{POLL_CLOCK.sleep_ms} +
                      EXIT_SYNC_SETTLE_MS;
    w.prescribed_s = ms / 1e3;
    return w;
}

// What the reduction prints for readings taken exactly at the true offset:
// the most frequent average over passes of ideal samples at random phases.
int64_t reference_average(double offset_ms, double delay_ms)
{
    std::mt19937_64 rng(7);
    std::map<int64_t, int> votes;
    const int64_t delay = std::llround(delay_ms * FILE_TIME_PER_MS);
    const int64_t offset = std::llround(offset_ms * FILE_TIME_PER_MS);
    for (int pass = 0; pass < REFERENCE_PASSES; ++pass) {
        const file_time base = plat_utc_now() + rng() % FILE_TIME_PER_SECOND;
        clock_samples = {};
        clock_sample_count = 0;
        for (int i = 0; i < READER_SAMPLES; ++i) {
            clock_sample& s = clock_samples[static_cast<std::size_t>(i)];
            const file_time mid = base + static_cast<file_time>(i) * 29371;  // 2.94 ms apart
            s.pc_before = mid - static_cast<file_time>(delay / 2);
            s.pc_after = s.pc_before + static_cast<file_time>(delay);
            const file_time watch = static_cast<file_time>(static_cast<int64_t>(mid) + offset);
            SYSTEMTIME st{};
            filetime_to_systime(watch, st);
            s.minute = static_cast<uint8_t>(st.wMinute);
            s.second = static_cast<uint8_t>(st.wSecond);
            s.subsec = static_cast<uint16_t>(watch % FILE_TIME_PER_SECOND * SUBSEC_PER_SECOND / FILE_TIME_PER_SECOND);
            ++clock_sample_count;
        }
        clock_statistics stats;
        capture_stdout([&] { reduce_clock_samples(stats); });
        ++votes[stats.average_diff];
    }
    return std::max_element(votes.begin(), votes.end(), [](auto& a, auto& b) { return a.second < b.second; })
        ->first;
}

struct reading_figures {
    bool ok = false;
    std::vector<int64_t> diffs;
    int64_t average = 0;
    double std_dev = 0;
    double true_mean = NAN;
};

reading_figures parse(const run_result& r)
{
    reading_figures f;
    std::smatch m;
    if (std::regex_search(r.out, m, std::regex(R"(average diff = (-?\d+)    std\. dev\. = *(\d+\.\d))"))) {
        f.ok = r.status == 0;
        f.average = std::stoll(m[1]);
        f.std_dev = std::stod(m[2]);
    }
    const std::regex diff_line(R"(diff \d\d = (-?\d+))");
    for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), diff_line); it != std::sregex_iterator(); ++it)
        f.diffs.push_back(std::stoll((*it)[1]));
    if (std::regex_search(r.summary, m, std::regex(R"(true offset at them: mean ([+-]\d+\.\d+) ms)")))
        f.true_mean = std::stod(m[1]);
    return f;
}

// What the mean would be over the samples whose delay is within 1 ms of
// the pass's least: those no stall reached.
int64_t unstalled_average(const reading_figures& f, const wire_figures& w)
{
    if (f.diffs.size() != w.delays_ms.size() || f.diffs.empty())
        return f.average;
    const double least = *std::min_element(w.delays_ms.begin(), w.delays_ms.end());
    int64_t sum = 0, n = 0;
    for (std::size_t i = 0; i < f.diffs.size(); ++i)
        if (w.delays_ms[i] <= least + 1.0) {
            sum += f.diffs[i];
            ++n;
        }
    return sum / n;
}

std::vector<pid_t> start_load(int n)
{
    std::vector<pid_t> pids;
    for (int i = 0; i < n; ++i) {
        const pid_t p = fork();
        if (p == 0) {
            volatile unsigned long x = 0;
            for (;;)
                x = x + 1;
        }
        pids.push_back(p);
    }
    return pids;
}

void stop_load(const std::vector<pid_t>& pids)
{
    for (pid_t p : pids) {
        kill(p, SIGKILL);
        waitpid(p, nullptr, 0);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = 2, load = 0;
    std::string latency = "1.0";
    std::vector<bool> windows_sides = {false};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--runs=", 0) == 0)
            runs = std::max(1, std::atoi(a.c_str() + 7));
        else if (a.rfind("--load=", 0) == 0)
            load = std::max(0, std::atoi(a.c_str() + 7));
        else if (a.rfind("--latency=", 0) == 0)
            latency = a.substr(10);
        else if (a == "--wine" && !wine_exe_dir().empty() && std::getenv("WINEPREFIX") != nullptr)
            windows_sides = {false, true};
        else {
            std::fprintf(stderr, "usage: %s [--runs=N] [--load=N] [--latency=MS] [--wine]\n"
                                 "(--wine needs ORV3_WINE_EXE_DIR and WINEPREFIX)\n", argv[0]);
            return 2;
        }
    }
    const std::vector<scenario>& scenarios = READER_SCENARIOS;
    const std::vector<pid_t> load_pids = start_load(load);
    const cpu_ticks bench_start = read_cpu_ticks();
    std::printf("orv3get against orv3sim (radio latency %s ms each way), %d run(s) per scenario, %d busy "
                "process(es) beside, %ld cores\n",
                latency.c_str(), runs, load, sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("load average before: %s\n\n", loadavg().c_str());
    std::printf("%-6s %-8s %6s %10s %7s %5s %8s %8s %8s %7s %8s %8s %8s %9s %6s %5s %6s\n", "tool", "offset", "jitter",
                "true ms", "avg", "ref", "err.true", "err.ref", "err.fast", "stddev", "delay", "maxdelay", "asym",
                "wall/wait", "polls", "min.x", "steal%");

    double sampling_mid_s = 5.8;  // learnt from the first run
    double worst_ref = 0, worst_sd = 0, worst_ratio = 0;
    for (const scenario& sc : scenarios)
        for (int k = 0; k < runs; ++k)
        for (const bool windows : windows_sides) {
            const char* tool = windows ? "wine" : "linux";
            // A straddling run is tried again when a stall moved its sampling.
            const bool straddle = std::isnan(sc.offset_ms);
            run_result r;
            reading_figures f;
            wire_figures w;
            cpu_ticks before, after;
            for (int attempt = 0; attempt < (straddle ? 4 : 1); ++attempt) {
                const double offset = straddle ? straddling_offset(sampling_mid_s) : sc.offset_ms;
                char offset_arg[64], jitter_arg[64], seed_arg[32];
                std::snprintf(offset_arg, sizeof offset_arg, "--offset=%.1f", offset);
                std::snprintf(jitter_arg, sizeof jitter_arg, "--jitter=%.1f", sc.jitter_ms);
                std::snprintf(seed_arg, sizeof seed_arg, "--seed=%d", k + 1);
                run_options o;
                o.sim_args = {offset_arg, jitter_arg, seed_arg, "--latency=" + latency};
                o.command = {"orv3get"};
                o.windows = windows;
                before = read_cpu_ticks();
                r = run_tool(o);
                after = read_cpu_ticks();
                f = parse(r);
                w = measure_wire(r.wire);
                if (w.sampling_end_s > 0)
                    sampling_mid_s = (w.sampling_start_s + w.sampling_end_s) / 2;
                if (!straddle || w.minute_rolled)
                    break;
            }
            if (!f.ok) {
                std::printf("%-6s %-8s %6.1f  reading failed (status %d)\n%s", tool, sc.name.c_str(), sc.jitter_ms, r.status,
                            r.err.c_str());
                continue;
            }
            const int64_t ref = reference_average(f.true_mean, w.delay_ms);
            const double err_true = static_cast<double>(f.average) - f.true_mean;
            const int64_t err_ref = f.average - ref;
            const double ratio = w.wall_s / w.prescribed_s;
            if (sc.jitter_ms == 0) {
                worst_ref = std::max(worst_ref, std::fabs(static_cast<double>(err_ref)));
                worst_sd = std::max(worst_sd, f.std_dev);
            }
            worst_ratio = std::max(worst_ratio, ratio);
            std::printf("%-6s %-8s %6.1f %10.3f %7" PRId64 " %5" PRId64 " %8.2f %8" PRId64 " %8" PRId64
                        " %7.1f %8.2f %8.2f %8.2f %9.3f %6d %5s %6.0f\n",
                        tool, sc.name.c_str(), sc.jitter_ms, f.true_mean, f.average, ref, err_true, err_ref,
                        unstalled_average(f, w) - ref, f.std_dev,
                        w.delay_ms, w.max_delay_ms, w.asymmetry_ms, ratio, w.clock_polls,
                        w.minute_rolled ? "yes" : "no", steal_percent(before, after));
            std::fflush(stdout);
        }
    stop_load(load_pids);
    std::printf("\nload average after: %s; CPU time taken by the host (steal) during the bench: %.0f %%\n",
                loadavg().c_str(), steal_percent(bench_start, read_cpu_ticks()));
    std::printf("without jitter: worst |err.ref| %.0f ms (goal 1), worst std. dev. %.1f ms (goal 1.0); "
                "worst wall/wait %.3f (goal 1.100)\n",
                worst_ref, worst_sd, worst_ratio);
    std::printf("columns: err.true = avg - true offset; ref = what the reduction prints for ideal readings\n"
                "at the true offset; err.ref = avg - ref; err.fast = the same for the mean of the samples\n"
                "whose delay is within 1 ms of the least (what dropping stalled samples would give); delay = clock command sent to its reply read, mean\n"
                "per used sample (simulator's clock), maxdelay the largest; asym = the watch's reading minus\n"
                "the bracket's midpoint, mean; wall/wait = first to last frame over the prescribed sleeps,\n"
                "tones and poll sleeps; polls = clock polls; min.x = the watch's minute rolled during the\n"
                "used samples; steal%% = CPU time the host took from this machine during the run\n");
    return 0;
}
