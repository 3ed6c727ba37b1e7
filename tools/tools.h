// The tool routines. Each runs once per process inside the run frame and
// returns a small signed code, which its executable's main returns.
#pragma once

// ORV3GET: the watch's clock against the PC's UTC clock, and its blocks.
// 0; -1 communication error; -2 access point not found or link not started.
int accuracy_reader();
// ORV3PARAM: the watch's HEQ parameters against the parameter file's, set on
// the user's word. 0; -40 a written block did not read back; -100 output
// redirected.
int heq_parameter_tool();
// ORV3DUMP: the watch's configuration memory as hex lines. Always 0.
int memory_dump();
