#include "platform/pc_clock.h"

#include <sys/timex.h>

bool plat_pc_clock_state(pc_clock_state& state)
{
    timex tx{};  // modes 0: read only
    const int r = ntp_adjtime(&tx);
    if (r == -1)
        return false;
    state.synchronised = r != TIME_ERROR && !(tx.status & STA_UNSYNC);
    state.est_error_us = tx.esterror;
    state.max_error_us = tx.maxerror;
    return true;
}
