// SPDX-License-Identifier: MIT
// ORV3DRIFT: the watch's rate over days from the record of readings.
#include <cstring>
#include <string>

#include "tools/command_line.h"
#include "tools/tools.h"

namespace {

const tool_help HELP = {
    "orv3drift",
    "[--db PATH] [--csv] [--plot FILE]",
    "The watch's rate from the readings and settings that orv3get and orv3set\n"
    "recorded: per watch and per period since a setting, the readings, the rate\n"
    "(ppm, seconds a day and a month) from a least-squares line with its\n"
    "uncertainty, and today's predicted offset.\n"
    "  --db PATH    the record to read (default: ORV3_LOG, else\n"
    "               $XDG_STATE_HOME/orv3/readings.sqlite)\n"
    "  --csv        every record as CSV instead of the report\n"
    "  --plot FILE  also draw offset against date (SVG; PNG when FILE ends in .png)\n"
    "Changes nothing on the watch, and nothing in the record.\n",
    {TOOL_DONE, TOOL_NO_RECORD, TOOL_OUTPUT_FAILED, TOOL_USAGE, TOOL_SIGNAL_BASE},
};

// Its options, and the values after --db and --plot, which drift_tool pairs.
std::string check(const char* arg)
{
    for (const char* known : {"--db", "--csv", "--plot"})
        if (std::strcmp(arg, known) == 0)
            return {};
    if (std::strncmp(arg, "--db=", 5) == 0 || std::strncmp(arg, "--plot=", 7) == 0 || std::strncmp(arg, "--", 2) != 0)
        return {};
    return std::string("unknown option '") + arg + "'";
}

}  // namespace

int main(int argc, char** argv)
{
    if (const int code = answer_command_line(argc, argv, HELP, check); code != COMMAND_LINE_RUN)
        return code;
    return drift_tool(argc, argv);
}
