// SPDX-License-Identifier: MIT
// The PC clock's synchronisation, as the operating system keeps it: every
// reading of the watch is only as good as the PC clock.
#pragma once
#include <cstdint>

struct pc_clock_state {
    bool synchronised = false;  // the system holds the clock to a time source
    int64_t est_error_us = 0;   // its estimated error
    int64_t max_error_us = 0;   // the most its error may be
};

// Reads the state; false when the system cannot tell.
bool plat_pc_clock_state(pc_clock_state& state);
