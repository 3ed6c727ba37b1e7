// SPDX-License-Identifier: MIT
#include "tools/entry.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/console.h"
#include "platform/interrupt.h"
#include "tools/tools.h"

unsigned timer_period_ms = 1;
bool output_redirected = false;

void prepare_console()
{
    plat_make_std_streams_valid();
    plat_catch_interrupts();
    const unsigned min_period = plat_timer_min_period_ms();
    if (timer_period_ms < min_period)
        timer_period_ms = min_period;
    plat_timer_begin_period(timer_period_ms);
    if (!plat_raise_priority())
        std::fputs(MSG_NO_REALTIME, stderr);
    output_redirected = plat_stdout_redirected();
}

int interrupted_exit(const char* undone)
{
    const int signo = plat_interrupt_signal();
    std::fprintf(stderr, "\nInterrupted by %s: %s\n", plat_signal_name(signo), undone);
    return TOOL_SIGNAL_BASE + signo;
}

int exit_status_after_output(int code)
{
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    // An interrupted run has said in its one line what it left undone.
    if ((flushed && !std::ferror(stdout)) || plat_interrupt_signal() != 0)
        return code;
    // An earlier failed write has lost its reason by now; the last one has it.
    if (flushed)
        std::fputs("Results could not be written to the standard output!\n", stderr);
    else
        std::fprintf(stderr, "Results could not be written to the standard output: %s\n", std::strerror(error));
    return code == TOOL_DONE ? TOOL_OUTPUT_FAILED : code;
}
