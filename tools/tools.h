// SPDX-License-Identifier: MIT
// The tool routines. Each runs once per process inside the run frame and
// returns a small signed code, which its executable's main returns.
#pragma once

// Result codes, the exit status of every executable (the README's table).
inline constexpr int TOOL_DONE = 0;
inline constexpr int TOOL_COMM_ERROR = -1;      // the watch or the access point stopped answering
inline constexpr int TOOL_NO_LINK = -2;         // no access point, port not opened, or link not started
inline constexpr int TEMPOFF_NO_LINK = -3;      // temperature-offset mode: the same
inline constexpr int TOOL_NO_READING = -4;      // too few clock samples pass the plausibility rule
inline constexpr int TOOL_NO_PARAM_FILE = -5;   // parameter file missing or unusable
inline constexpr int TOOL_NO_RECORD = -5;       // orv3drift: the same for the record of readings
inline constexpr int TOOL_OUTPUT_FAILED = -6;   // standard output could not be written
inline constexpr int TOOL_NOT_SET = -40;        // a written block did not read back
inline constexpr int TOOL_REDIRECTED = -100;    // output redirected where a console is needed
inline constexpr int TOOL_USAGE = 2;            // an argument not taken or out of range; nothing opened
inline constexpr int TOOL_SIGNAL_BASE = 128;    // 128 + N: ended by signal N

// ORV3GET: the watch's clock against the PC's UTC clock, and its blocks.
// 0; -1 communication error; -2 access point not found or link not started;
// -4 no trustworthy reading.
int accuracy_reader();

// ORV3SET: the watch's clock to the PC's local time in three measured steps,
// then its zone index, offset and DST rules; with a "tempoff=" option the
// temperature-offset mode instead. 0; -1 the watch or the access point
// stopped answering before the time was set; -2 access point not found or
// link not started; -4 a step gave no trustworthy reading (no time sent from
// it); or the temperature-offset mode's code.
int time_setter(int argc, char** argv);

// Writes opt_tempoff into the watch and shows it before and after.
// 0; -1 communication error; -3 access point not found or link not started;
// -40 the watch did not take the offset; -100 output redirected.
int tempoff_mode();

// A written block that did not read back unchanged.
inline constexpr char MSG_EXTRA0_NOT_SET[] = "Error setting EXTRA0!\n";
inline constexpr char MSG_EXTRA1_NOT_SET[] = "Error setting EXTRA1!\n";
inline constexpr char MSG_EXTRA2_NOT_SET[] = "Error setting EXTRA2!\n";
inline constexpr char MSG_EXTRA4_NOT_SET[] = "Error setting EXTRA4!\n";

// ORV3PARAM: the watch's HEQ parameters against the parameter file's, set on
// the user's word. 0; -1 the watch or the access point stopped answering,
// or did not take the flash store; -2 access point not found or link not
// started; -5 no usable parameter file; -40 a written block did not read
// back; -100 output redirected.
int heq_parameter_tool();
// ORV3DUMP: the watch's configuration memory as hex lines. 0; -1 blocks
// missing after every sending; -2 access point not found or link not started.
int memory_dump();

// ORV3DRIFT: the watch's rate per period between settings from the record
// of readings, the records as CSV, a plot. 0; 2 an option without its
// value; -5 no record to read; -6 output or plot not written.
int drift_tool(int argc, char** argv);
