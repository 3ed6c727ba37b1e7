// SPDX-License-Identifier: MIT
// Work for later: radio deliveries, late replies, the watch entering sync mode.
#include <algorithm>
#include <climits>
#include <random>

#include "platform/clock.h"
#include "sim/sim.h"

unsigned sim_link_epoch = 0;

namespace {

std::vector<sim_event> pending;  // kept sorted by time, ties in order of scheduling

std::mt19937& rng()
{
    static std::mt19937 r(static_cast<unsigned>(sim_settings.seed));
    return r;
}

}  // namespace

int64_t sim_radio_delay_ns()
{
    double ms = sim_settings.latency_ms;
    if (sim_settings.jitter_ms > 0)
        ms += std::uniform_real_distribution<double>(0.0, sim_settings.jitter_ms)(rng());
    return static_cast<int64_t>(ms * 1e6);
}

void sim_schedule(sim_event e)
{
    const auto pos = std::upper_bound(pending.begin(), pending.end(), e.at,
                                      [](int64_t at, const sim_event& x) { return at < x.at; });
    pending.insert(pos, std::move(e));
}

int64_t sim_next_event_at() { return pending.empty() ? INT64_MAX : pending.front().at; }

void sim_run_due_events(int64_t now)
{
    while (!pending.empty() && pending.front().at <= now) {
        sim_event e = std::move(pending.front());
        pending.erase(pending.begin());
        const bool radio = e.kind != sim_event_kind::to_wire;
        if (radio && e.epoch != sim_link_epoch)
            continue;
        watch_reply frame{};
        std::copy_n(e.bytes.begin(), std::min<std::size_t>(e.bytes.size(), frame.size()), frame.begin());
        switch (e.kind) {
        case sim_event_kind::to_watch:
            sim_watch_receive(frame);
            break;
        case sim_event_kind::to_buffer:
            sim_ap_buffer_reply(frame);
            break;
        case sim_event_kind::to_wire:
            sim_ap_write_wire(e.bytes);
            break;
        case sim_event_kind::enter_sync:
            sim_watch_enter_sync();
            break;
        }
    }
}

void sim_drop_radio_events()
{
    ++sim_link_epoch;
}
