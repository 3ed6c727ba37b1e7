// SPDX-License-Identifier: MIT
// The console's control events as requests to end a run.
#include "platform/interrupt.h"

#include "platform/win32/records.h"

#include <csignal>

namespace {

volatile LONG caught = 0;

struct event_row {
    DWORD event;
    int signo;
    const char* name;
};
// Closing the console window, logging off or shutting down ends the process
// a few seconds after the handler returns; the run closes what it can by then.
constexpr event_row EVENTS[] = {
    {CTRL_C_EVENT, SIGINT, "SIGINT"},
    {CTRL_BREAK_EVENT, SIGBREAK, "SIGBREAK"},
    {CTRL_CLOSE_EVENT, SIGTERM, "SIGTERM"},
    {CTRL_LOGOFF_EVENT, SIGTERM, "SIGTERM"},
    {CTRL_SHUTDOWN_EVENT, SIGTERM, "SIGTERM"},
};

BOOL WINAPI on_control(DWORD event)
{
    for (const event_row& e : EVENTS)
        if (e.event == event) {
            // The first request is noted; a second one takes the default way out.
            return InterlockedCompareExchange(&caught, e.signo, 0) == 0;
        }
    return FALSE;
}

}  // namespace

void plat_catch_interrupts() { SetConsoleCtrlHandler(on_control, TRUE); }

int plat_interrupt_signal() { return static_cast<int>(caught); }

const char* plat_signal_name(int signo)
{
    for (const event_row& e : EVENTS)
        if (e.signo == signo)
            return e.name;
    return "a signal";
}
