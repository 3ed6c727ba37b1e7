// SPDX-License-Identifier: MIT
// ORV3PARAM's pieces: its messages and questions, the watch's parameters
// taken from the blocks, the comparison table and the yes/no answers.
#pragma once
#include "tools/heq_params.h"
#include "tools/tools.h"
#include "watchlink/info_blocks.h"

inline constexpr char MSG_WATCH_NOT_ANSWERING[] = "Error communicating with the watch!\n";
inline constexpr char MSG_NEWER_FIRMWARE[] = "This might be a newer firmware version!\n";
inline constexpr char MSG_ZENTA_FLASH[] = "Writing to flash and reset might not work in ZENTA firmware!\n";
inline constexpr char MSG_VALUES_ALREADY_SET[] = "Values already set!\n";
// Whether the access point took the flash-store and reset frames.
inline constexpr char MSG_FLASH_TAKEN[] = "The access point accepted the FLASH store command.\n";
inline constexpr char MSG_FLASH_LOST[] =
    "The access point did not accept the FLASH store command: the values are NOT stored in flash!\n";
inline constexpr char MSG_RESET_TAKEN[] = "The access point accepted the RESET command.\n";
inline constexpr char MSG_RESET_LOST[] = "The access point did not accept the RESET command: the watch was NOT reset!\n";
inline constexpr char QUESTION_SET_VALUES[] = "\nDo you want to set the NEW values?\n(ENTER y or Y to continue):";
inline constexpr char QUESTION_WRITE_FLASH[] =
    "\nDo you want to permanently write the NEW values into FLASH?\n(ENTER y or Y to continue):";
inline constexpr char QUESTION_RESET_WATCH[] = "\nDo you want to RESET the watch?\n(ENTER y or Y to continue):";

inline constexpr unsigned HEQ_WRITE_SETTLE_MS = 500;   // between a write and its read-back
inline constexpr unsigned HEQ_RESET_WAIT_MS = 2500;    // for the watch to restart

// The watch's parameters from its blocks. Without extra4 the watch holds no
// a_off and a_day; they are taken from wanted, so that they neither show a
// difference nor make one.
heq_params heq_from_blocks(const info_blocks& blocks, bool has_extra4, const heq_params& wanted);

// The table of the watch's (old) and the file's (new) values, then the
// question whether to set them. True for yes.
bool show_heq_table(const heq_params& hqw, const heq_params& hqi);
bool ask_write_flash();
bool ask_reset_watch();
// One answer line from the standard input, read whole: yes when its first
// character is 'y' or 'Y'; an empty line and the end of input are no.
bool read_yes_answer();
