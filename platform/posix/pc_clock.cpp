// SPDX-License-Identifier: MIT
// The kernel's clock discipline state, as NTP daemons leave it.
#include "platform/pc_clock.h"

#include <sys/timex.h>

bool plat_pc_clock_state(pc_clock_state& state)
{
    timex tx{};  // modes 0: read only
    const int rc = ntp_adjtime(&tx);
    if (rc == -1)
        return false;
    state.synchronised = rc != TIME_ERROR && (tx.status & STA_UNSYNC) == 0;
    state.est_error_us = tx.esterror;
    state.max_error_us = tx.maxerror;
    return true;
}
