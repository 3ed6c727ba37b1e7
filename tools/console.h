// Program entry: process setup shared by every tool.
#pragma once

// Standard error, once, when the tools may not run at real-time priority.
inline constexpr char MSG_NO_REALTIME[] =
    "Real-time priority not granted: readings may be less steady (the README tells how to allow it).\n";

extern unsigned timer_period_ms;  // timer resolution asked for, ms
extern bool output_redirected;    // standard output is not a console

// Raises the timer resolution and the priority, notes whether the standard
// output is redirected. Runs once, before any tool.
void prepare_console();
