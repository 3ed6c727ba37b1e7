// The tool routines. Each runs once per process inside the run frame and
// returns a small signed code, which its executable's main returns.
#pragma once

// ORV3GET: the watch's clock against the PC's UTC clock, and its blocks.
// 0; -1 communication error; -2 access point not found or link not started.
int accuracy_reader();
