// SPDX-License-Identifier: MIT
#include "tools/pc_clock_check.h"

#include <cstdio>

std::string pc_clock_line(const pc_clock_state& state, bool known)
{
    char text[160];
    if (!known)
        std::snprintf(text, sizeof text, "%ssynchronisation unknown: readings are only as good as the PC clock\n",
                      PC_CLOCK_LINE_START);
    else if (!state.synchronised)
        std::snprintf(text, sizeof text, "%sNOT synchronised: readings are only as good as the PC clock\n",
                      PC_CLOCK_LINE_START);
    else
        std::snprintf(text, sizeof text, "%ssynchronised, estimated error %.3f ms (at most %.3f ms)\n",
                      PC_CLOCK_LINE_START, static_cast<double>(state.est_error_us) / 1000.0,
                      static_cast<double>(state.max_error_us) / 1000.0);
    return text;
}

void report_pc_clock()
{
    pc_clock_state state;
    const bool known = plat_pc_clock_state(state);
    std::fputs(pc_clock_line(state, known).c_str(), stderr);
}
