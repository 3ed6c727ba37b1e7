// SPDX-License-Identifier: MIT
// ORV3DUMP: the configuration memory dump; its code is the exit status.
#include "tools/command_line.h"
#include "tools/entry.h"
#include "tools/tools.h"

namespace {

const tool_help HELP = {
    "orv3dump",
    "",
    "Prints the watch's configuration memory, 768 bytes from address 1800 to\n"
    "1aff, as one line \"address:  16 bytes\" per block. Put the watch into\n"
    "sync mode when asked.\n"
    "Changes nothing on the watch.\n",
    {TOOL_DONE, TOOL_COMM_ERROR, TOOL_NO_LINK, TOOL_OUTPUT_FAILED, TOOL_USAGE, TOOL_SIGNAL_BASE},
};

}  // namespace

int main(int argc, char** argv)
{
    if (const int code = answer_command_line(argc, argv, HELP, nullptr); code != COMMAND_LINE_RUN)
        return code;
    prepare_console();
    return exit_status_after_output(memory_dump());
}
