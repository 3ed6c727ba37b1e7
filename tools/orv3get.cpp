// SPDX-License-Identifier: MIT
// ORV3GET: the accuracy reader; its code is the exit status.
#include "tools/command_line.h"
#include "tools/entry.h"
#include "tools/tools.h"

namespace {

const tool_help HELP = {
    "orv3get",
    "",
    "Measures the watch's clock against the PC's UTC clock through the access\n"
    "point: reads the watch's information blocks, takes 22 time readings and\n"
    "prints each difference in ms, their mean and standard deviation, then the\n"
    "blocks. Put the watch into sync mode when asked. The reading is only as\n"
    "good as the PC clock: synchronise it first.\n"
    "Changes nothing on the watch. Adds the reading to the record of readings\n"
    "($XDG_STATE_HOME/orv3/readings.sqlite; ORV3_LOG=PATH or off), which\n"
    "orv3drift reads.\n",
    {TOOL_DONE, TOOL_COMM_ERROR, TOOL_NO_LINK, TOOL_NO_READING, TOOL_OUTPUT_FAILED, TOOL_USAGE,
     TOOL_SIGNAL_BASE},
};

}  // namespace

int main(int argc, char** argv)
{
    if (const int code = answer_command_line(argc, argv, HELP, nullptr); code != COMMAND_LINE_RUN)
        return code;
    prepare_console();
    return exit_status_after_output(accuracy_reader());
}
