// SPDX-License-Identifier: MIT
// Test support: this process linked to a simulated watch, as a tool is
// after its run frame has opened the link.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "aplink/qxap.h"
#include "tests/support/ap_session.h"

struct linked_watch : ap_session {
    explicit linked_watch(std::vector<std::string> sim_args = {}) : ap_session(std::move(sim_args), false)
    {
        if (path.empty() || !open() || !QX_VAM_Start())
            throw std::runtime_error("simulated access point not opened");
    }
    ~linked_watch() { QX_VAM_Stop(); }

    // Watch commands with this code that the PC sent so far.
    int sendings(uint8_t code) const { return watch_sendings(sim.wire(), code); }
    // Replies the watch put into the sync buffer, in order.
    std::vector<wire_frame> replies() const { return frames_of(sim.wire(), "watch>ap"); }
};
