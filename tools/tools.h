// The tool routines. Each runs once per process inside the run frame and
// returns a small signed code, which its executable's main returns.
#pragma once

// ORV3GET: the watch's clock against the PC's UTC clock, and its blocks.
// 0; -1 communication error; -2 access point not found or link not started.
int accuracy_reader();

// ORV3SET: the watch's clock to the PC's local time in three measured steps,
// then its zone index, offset and DST rules; with a "tempoff=" option the
// temperature-offset mode instead. 0, or the temperature-offset mode's code.
int time_setter(int argc, char** argv);

// Writes opt_tempoff into the watch and shows it before and after.
// 0; -1 communication error; -3 access point not found or link not started;
// -40 the watch did not take the offset; -100 output redirected.
int tempoff_mode();

// A written block that did not read back unchanged.
inline constexpr char MSG_EXTRA0_NOT_SET[] = "Error setting EXTRA0!\n";
