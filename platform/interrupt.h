// SPDX-License-Identifier: MIT
// Requests to end a run: SIGINT, SIGTERM, SIGHUP and SIGPIPE (on Windows,
// the console's control events). The handler only notes the first request;
// the tools look at it between exchanges and close the link in order. A
// second request (other than a broken pipe) ends the process at once.
#pragma once

// Installs the handlers; blocking reads of the console return when one fires.
void plat_catch_interrupts();
// 0, or the number of the first signal caught.
int plat_interrupt_signal();
// "SIGINT" and so on, for a message.
const char* plat_signal_name(int signo);
