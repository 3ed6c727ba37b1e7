// The PC clock's own quality: whether the kernel keeps it synchronised to a
// time source, and how far off it may be.
#pragma once
#include <cstdint>

struct pc_clock_state {
    bool synchronised = false;
    int64_t est_error_us = 0;  // the kernel's estimate of its error
    int64_t max_error_us = 0;  // the bound it gives
};

// False where the platform cannot tell; the state is then left as it was.
bool plat_pc_clock_state(pc_clock_state& state);
