// SPDX-License-Identifier: MIT
// Program entry: process setup shared by every tool.
#pragma once

// Standard error, once, when the tools may not run at real-time priority.
inline constexpr char MSG_NO_REALTIME[] =
    "Real-time priority not granted: readings may be less steady (the README tells how to allow it).\n";

extern unsigned timer_period_ms;  // timer resolution asked for, ms
extern bool output_redirected;    // standard output is not a console

// Makes the standard streams valid (a closed one reads or writes /dev/null),
// catches the interrupt signals, raises the timer resolution and the priority, notes whether the standard
// output is redirected. Runs once, before any tool.
void prepare_console();

// For a run ended by a signal, after its closing: one line on the standard
// error stream, "Interrupted by SIGINT: " and what was left undone; the
// result is 128 + the signal's number.
int interrupted_exit(const char* undone);

// The tool's code as the exit status, once the standard output is flushed:
// when a write or the flush failed, the results are lost; that is said on
// the standard error stream and a code of 0 becomes -6.
int exit_status_after_output(int code);
