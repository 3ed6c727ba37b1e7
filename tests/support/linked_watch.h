// Test support: this process linked to a simulated watch, as a tool is
// after its run frame has opened the link.
#pragma once
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "aplink/ap_commands.h"
#include "aplink/qxap.h"
#include "tests/support/sim_harness.h"

struct linked_watch {
    sim_server sim;

    explicit linked_watch(std::vector<std::string> sim_args = {}) : sim(std::move(sim_args))
    {
        unsigned char port = 0;
        char path[32] = {};
        if (!QX_GetCOM(port))
            throw std::runtime_error("no simulated access point");
        std::snprintf(path, sizeof path, QXAP_PORT_PATH_FORMAT, port);
        if (!QX_OpenCOM(path, 115200, 30, false, false) || !QX_VAM_Start())
            throw std::runtime_error("simulated access point not opened");
    }
    ~linked_watch()
    {
        QX_VAM_Stop();
        QX_CloseCOM();
    }
    linked_watch(const linked_watch&) = delete;
    linked_watch& operator=(const linked_watch&) = delete;

    // Watch commands with this code that the PC sent so far.
    int sendings(uint8_t code) const { return watch_sendings(sim.wire(), code); }
    // Replies the watch put into the sync buffer, in order.
    std::vector<wire_frame> replies() const { return frames_of(sim.wire(), "watch>ap"); }
};
