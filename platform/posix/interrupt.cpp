// SPDX-License-Identifier: MIT
#include "platform/interrupt.h"

#include <csignal>

namespace {

volatile sig_atomic_t caught = 0;

struct signal_row {
    int signo;
    const char* name;
};
constexpr signal_row INTERRUPTS[] = {{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}, {SIGPIPE, "SIGPIPE"}};

void on_interrupt(int signo)
{
    if (caught == 0) {
        caught = signo;
        return;
    }
    // Writes to a pipe that is gone keep raising SIGPIPE while the run closes.
    if (signo == SIGPIPE)
        return;
    // Ended by the signal itself, once the handler returns.
    signal(signo, SIG_DFL);
    raise(signo);
}

}  // namespace

void plat_catch_interrupts()
{
    struct sigaction sa{};
    sa.sa_handler = on_interrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a read of a yes/no answer returns
    for (const signal_row& s : INTERRUPTS)
        sigaction(s.signo, &sa, nullptr);
}

int plat_interrupt_signal() { return caught; }

const char* plat_signal_name(int signo)
{
    for (const signal_row& s : INTERRUPTS)
        if (s.signo == signo)
            return s.name;
    return "a signal";
}
