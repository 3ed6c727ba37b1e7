// SPDX-License-Identifier: MIT
// An access point served by orv3sim and opened in this process the way the
// tools open it: discovery, the device path, QX_OpenCOM.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/sim_harness.h"

// Device path of the port that discovery reports; "" when it finds none.
std::string ap_device_path();

struct ap_session {
    explicit ap_session(std::vector<std::string> sim_args = {}, bool open = true);
    ~ap_session();  // closes the port, then the simulator
    ap_session(const ap_session&) = delete;
    ap_session& operator=(const ap_session&) = delete;

    bool open();  // QX_OpenCOM on path at the tools' settings
    std::vector<wire_frame> requests() const { return frames_of(sim.wire(), "pc>ap"); }
    // Waits up to timeout_ms for the transcript to hold n frames of a direction.
    bool wait_for_frames(const std::string& dir, std::size_t n, int timeout_ms) const;

    sim_server sim;
    std::string path;
};

// A byte as an option value of orv3sim: "0x2A".
std::string hex_arg(int byte);
// The longest a read of n bytes waits: 20 ms per byte plus 40 ms.
int read_bound_ms(int n);
// Milliseconds since a plat_monotonic_ns() reading.
double ms_since(int64_t start_ns);
// Descriptors open in this process: a port that is closed leaves none behind.
int open_fd_count();
