// SPDX-License-Identifier: MIT
// How well orv3set sets a simulated watch: the final clock error against the
// PC's local time (the simulator's truth), its mean and spread over several
// runs, and the run's wall time against the waits the setter prescribes.
// Reported, never asserted.
//
// usage: bench_setter [--runs=N]
//   --runs: full runs per link (5)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "aplink/ap_commands.h"
#include "tests/e2e/setter_runs.h"
#include "tools/time_setter.h"
#include "watchlink/exchange.h"
#include "watchlink/run_frame.h"

namespace {

// Sleeps and tones of a complete run, whatever the link: the run frame's,
// the tone before extra3 and the tone of each step.
double fixed_waits_ms()
{
    const tool_frame& f = FRAME_TIME_SETTER;
    return 2.0 * AP_RESET_SETTLE_MS + f.tone_ms + f.pause_ms + BLOCK_TONE_MS + SETTER_STEPS * SETTER_TONE_MS +
           EXIT_SYNC_SETTLE_MS;
}

struct radio_link {
    const char* name;
    std::vector<std::string> sim_args;
};

struct run_figures {
    bool ok = false;
    double error_ms = 0;        // watch clock - PC local time at the end
    double first_set_ms = 0;    // the same right after the first time command
    double second_diff_ms = 0;  // the setter's measurement of what the first achieved
    double third_diff_ms = 0;   // and of what the second achieved
    double wall_s = 0;         // first frame on the wire to the last
    double busy_s = 0;         // waits for the sending window, from the wire
    double poll_sleep_s = 0;   // sleeps before each buffer status poll
};

bool is_pc(const wire_frame& f, uint8_t code)
{
    return f.dir == "pc>ap" && f.bytes.size() > 1 && f.bytes[1] == code;
}

run_figures measure(const radio_link& l, int run)
{
    std::vector<std::string> args = l.sim_args;
    args.push_back("--seed=" + std::to_string(run + 1));
    const run_result r = run_setter(args, {}, std::getenv("TZ") ? std::getenv("TZ") : "UTC");
    run_figures f;
    const watch_end w = parse_summary(r.summary);
    const std::vector<step_summary> steps = step_summaries(r.out);
    f.ok = r.status == 0 && w.clock_found && w.time_sets == 2 && steps.size() == SETTER_STEPS;
    if (!f.ok)
        return f;
    f.error_ms = w.clock_error_ms;
    f.second_diff_ms = static_cast<double>(steps[1].average_diff);
    f.third_diff_ms = static_cast<double>(steps[2].average_diff);
    for (const wire_frame& x : r.wire)
        if (x.dir == "note" && number_after(x.note, "clock set: watch clock - PC local time = ", f.first_set_ms))
            break;

    std::vector<const wire_frame*> pc;
    for (const wire_frame& x : r.wire)
        if (x.dir == "pc>ap")
            pc.push_back(&x);
    f.wall_s = pc.back()->t - pc.front()->t;
    uint8_t last_sent = 0;
    for (std::size_t i = 1; i < pc.size(); ++i) {
        const wire_frame& x = *pc[i];
        const wire_frame& before = *pc[i - 1];
        if (is_pc(x, AP_SYNC_SEND_COMMAND) && x.bytes.size() > AP_HEADER_SIZE) {
            last_sent = x.bytes[AP_HEADER_SIZE];
            // The busy wait lies between the stale-reply check and the time command.
            if (last_sent == CMD_WRITE_EXTRA0)
                f.busy_s += x.t - before.t;
        }
        // A poll of a waiting loop follows the sending or another poll.
        if (is_pc(x, AP_SYNC_GET_BUFFER_STATUS) &&
            (is_pc(before, AP_SYNC_SEND_COMMAND) || is_pc(before, AP_SYNC_GET_BUFFER_STATUS)))
            f.poll_sleep_s += (last_sent == CMD_READ_CLOCK ? POLL_CLOCK : POLL_EXCHANGE).sleep_ms / 1000.0;
    }
    return f;
}

struct spread {
    double mean = 0, sd = 0, min = 0, max = 0;
};

spread spread_of(const std::vector<double>& v)
{
    spread s;
    if (v.empty())
        return s;
    for (double x : v)
        s.mean += x;
    s.mean /= static_cast<double>(v.size());
    for (double x : v)
        s.sd += (x - s.mean) * (x - s.mean);
    s.sd = v.size() > 1 ? std::sqrt(s.sd / static_cast<double>(v.size() - 1)) : 0;
    s.min = *std::min_element(v.begin(), v.end());
    s.max = *std::max_element(v.begin(), v.end());
    return s;
}

// The load averages over 1, 5 and 15 minutes.
std::string loadavg()
{
    std::ifstream in("/proc/loadavg");
    std::string line;
    std::getline(in, line);
    return line.substr(0, line.find(' ', line.find(' ', line.find(' ') + 1) + 1));
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--runs=", 0) == 0)
            runs = std::max(1, std::atoi(a.c_str() + 7));
        else {
            std::fprintf(stderr, "usage: %s [--runs=N]\n", argv[0]);
            return 2;
        }
    }
    const radio_link links[] = {
        {"ideal (no latency)", {"--latency=0"}},
        {"1 ms each way", {"--latency=1"}},
        {"1 ms + jitter 0..2 ms", {"--latency=1", "--jitter=2"}},
    };
    std::printf("orv3set against orv3sim, 12 MHz watch (correction constant %d ms), %d runs per link, %ld CPUs\n",
                CORRECTION_12MHZ_MS, runs, sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("load average before: %s\n", loadavg().c_str());
    std::printf("fixed waits of a run (settles, tones, pause, exit): %.0f ms; the busy wait for the "
                "250-300 ms window adds 0..1000 ms per time command\n\n",
                fixed_waits_ms());
    std::printf("Final error: watch clock - PC local time at the end (the simulator's truth). After the\n"
                "first set: the same right after the first time command. Measured: what the setter's own\n"
                "average diff says of the first (step 2) and the second (step 3) set, less the truth.\n\n");
    for (const radio_link& l : links) {
        std::vector<double> errors, firsts, miss2, miss3, walls, busys, polls;
        int failed = 0;
        for (int i = 0; i < runs; ++i) {
            const run_figures f = measure(l, i);
            if (!f.ok) {
                ++failed;
                continue;
            }
            errors.push_back(f.error_ms);
            firsts.push_back(f.first_set_ms);
            miss2.push_back(f.second_diff_ms - f.first_set_ms);
            miss3.push_back(f.third_diff_ms - f.error_ms);
            walls.push_back(f.wall_s);
            busys.push_back(f.busy_s);
            polls.push_back(f.poll_sleep_s);
        }
        const spread e = spread_of(errors), f1 = spread_of(firsts), m2 = spread_of(miss2), m3 = spread_of(miss3),
                     w = spread_of(walls), b = spread_of(busys), p = spread_of(polls);
        const double fixed_s = fixed_waits_ms() / 1000;
        std::printf("%s: %zu runs%s\n", l.name, errors.size(),
                    failed ? (", " + std::to_string(failed) + " failed").c_str() : "");
        std::printf("  final error     mean %+7.3f ms (constant %+7.3f)  sd %6.3f  range [%+7.3f, %+7.3f]\n", e.mean,
                    e.mean - CORRECTION_12MHZ_MS, e.sd, e.min, e.max);
        std::printf("  after 1st set   mean %+7.3f ms  sd %6.3f\n", f1.mean, f1.sd);
        std::printf("  measured - true step 2 mean %+7.3f ms sd %6.3f; step 3 mean %+7.3f ms sd %6.3f\n", m2.mean,
                    m2.sd, m3.mean, m3.sd);
        std::printf("  wall %.2f s = fixed waits %.2f + busy waits %.2f + poll sleeps %.2f + the rest %.2f\n\n",
                    w.mean, fixed_s, b.mean, p.mean, w.mean - fixed_s - b.mean - p.mean);
    }
    std::printf("\nload average after: %s\n", loadavg().c_str());
    return 0;
}
