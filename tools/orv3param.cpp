// SPDX-License-Identifier: MIT
// ORV3PARAM: the HEQ parameter tool; its code is the exit status.
#include "tools/command_line.h"
#include "tools/entry.h"
#include "tools/tools.h"

namespace {

const tool_help HELP = {
    "orv3param",
    "",
    "Shows the watch's HEQ (temperature compensation) parameters beside those\n"
    "of the parameter file and, on your word, writes the file's values into the\n"
    "watch and checks each block by reading it back. Then it asks whether to\n"
    "store them in the watch's flash memory and whether to reset the watch.\n"
    "Needs a console as its standard output; answers come from the standard\n"
    "input (y or Y: yes).\n"
    "\n"
    "The parameter file is the first of ORV3PARAM.INI, ORV2PARAM.INI and\n"
    "ORV1PARAM.INI in the current directory that holds a section; the values\n"
    "stand in section [heq_info], keys heq_a, heq_b, heq_c, heq_temp_offset,\n"
    "inhibition_correction, TC_flags, T2_b, T2_a5, a_off and a_day.\n"
    "\n"
    "Changes on the watch, each only after a yes: the HEQ parameters in its\n"
    "information blocks 1, 2 and 4; their copy in flash; a reset.\n",
    {TOOL_DONE, TOOL_COMM_ERROR, TOOL_NO_LINK, TOOL_NO_PARAM_FILE, TOOL_OUTPUT_FAILED, TOOL_NOT_SET,
     TOOL_REDIRECTED, TOOL_USAGE, TOOL_SIGNAL_BASE},
};

}  // namespace

int main(int argc, char** argv)
{
    if (const int code = answer_command_line(argc, argv, HELP, nullptr); code != COMMAND_LINE_RUN)
        return code;
    prepare_console();
    return exit_status_after_output(heq_parameter_tool());
}
