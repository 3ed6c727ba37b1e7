// SPDX-License-Identifier: MIT
// What every tool executable does with its command line before anything
// else: --help and --version answered, arguments it does not take refused.
#pragma once
#include <initializer_list>
#include <string>

// What --help shows of a tool.
struct tool_help {
    const char* name;                 // the executable, "orv3set"
    const char* synopsis;             // its arguments after the name
    const char* text;                 // what it does and changes on the watch, its options
    std::initializer_list<int> codes;  // its exit codes, explained from one table
};

// Why one argument is refused; empty when the tool takes it.
using argument_check = std::string (*)(const char* arg);

// Returned when the tool is to run.
inline constexpr int COMMAND_LINE_RUN = -1000;

// --help or -h, and --version, alone: the answer on the standard output,
// 0 (or the output failure code when it cannot be written). Any other
// argument that check does not take (every argument when check is null),
// and --help beside others: a message naming it and a hint on the standard
// error stream, TOOL_USAGE. Otherwise COMMAND_LINE_RUN. Opens nothing.
int answer_command_line(int argc, char** argv, const tool_help& help, argument_check check);

// The help text itself, as --help prints it.
std::string help_text(const tool_help& help);
