// Program entry: process setup shared by every tool.
#pragma once

extern unsigned timer_period_ms;  // timer resolution asked for, ms
extern bool output_redirected;    // standard output is not a console

// Makes the standard streams valid (a closed one reads or writes /dev/null),
// raises the timer resolution and the priority, notes whether the standard
// output is redirected. Runs once, before any tool.
void prepare_console();
