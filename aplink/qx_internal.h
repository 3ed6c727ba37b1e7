// SPDX-License-Identifier: MIT
// Access point commands that are not exported: the watch command send and
// seven commands without a known user; and what the tools ask of the latest
// reply beyond its status.
#pragma once

bool QX_SYNC_SendCommand(unsigned char* command19);
bool QX_Set0A(unsigned char a, unsigned short b);
bool QX_Get20(unsigned long& value);
bool QX_KEPL_Get49(unsigned long& value);
bool QX_Set70(unsigned short value);
bool QX_Send71();
bool QX_Set72(unsigned char a, unsigned short b);
bool QX_Get73(unsigned short& value);  // value is 0 on entry, in every case

// The latest reply came whole and in step. A short reply still succeeds on
// its status for the exported commands; the tools take it for a failed read.
bool QX_LastReplyWhole();
