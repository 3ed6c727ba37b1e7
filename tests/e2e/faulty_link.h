// SPDX-License-Identifier: MIT
// Access point faults and host stalls for runs of orv3get and orv3set: the
// simulator options that make them, and what the runs end with.
#pragma once
#include <string>

#include "aplink/ap_commands.h"
#include "tests/support/sim_harness.h"
#include "tools/tools.h"

// Truncations cost up to 1.5 ms; a busy host stalls a sample now and then.
inline constexpr double AGREEMENT_MS = 10.0;

// A fault of the access point for one of its command codes; times ":N" for
// the first N replies only.
inline std::string fault(const std::string& name, int value, uint8_t ap_code, const std::string& times = "")
{
    return sim_arg(name, value, std::string("@").append(std::to_string(ap_code)) + times);
}

// Late past the read bound of the reply (20 ms per byte plus 40 ms: 120 ms
// for the buffer status, 480 ms for the read buffer), empty, or short.
inline const std::string STATUS_LATE_130 = fault("ap-late", 130, AP_SYNC_GET_BUFFER_STATUS);
inline const std::string STATUS_LATE_250 = fault("ap-late", 250, AP_SYNC_GET_BUFFER_STATUS);
inline const std::string READ_LATE_500 = fault("ap-late", 500, AP_SYNC_READ_BUFFER);
inline const std::string READ_LATE_650 = fault("ap-late", 650, AP_SYNC_READ_BUFFER);
inline const std::string READ_EMPTY = fault("ap-short", AP_HEADER_SIZE, AP_SYNC_READ_BUFFER);
inline const std::string READ_SHORT = fault("ap-short", AP_HEADER_SIZE + 9, AP_SYNC_READ_BUFFER);

// Replies to these clock reads wait 400 ms in the access point, as when the
// host takes the CPU away between a sample's send and its read.
inline std::string stall(const std::string& reads) { return std::string("--clock-stall=400:").append(reads); }

