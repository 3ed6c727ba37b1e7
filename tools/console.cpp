#include "tools/console.h"

#include <cstdio>

#include "platform/console.h"

unsigned timer_period_ms = 1;
bool output_redirected = false;

void prepare_console()
{
    const unsigned min_period = plat_timer_min_period_ms();
    if (timer_period_ms < min_period)
        timer_period_ms = min_period;
    plat_timer_begin_period(timer_period_ms);
    if (!plat_raise_priority())
        std::fputs(MSG_NO_REALTIME, stderr);
    output_redirected = plat_stdout_redirected();
}
