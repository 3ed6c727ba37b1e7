// SPDX-License-Identifier: MIT
// ORV3SET: the time, time-zone and DST setter; its options on the command line.
#include "tools/command_line.h"
#include "tools/entry.h"
#include "tools/options.h"
#include "tools/tools.h"

namespace {

const tool_help HELP = {
    "orv3set",
    "[tzoff=MIN] [tz=INDEX] [dst=MODE] [tempoff=N]",
    "Sets the watch's clock to the PC's local time in three measured steps,\n"
    "then sends the watch the zone index, zone offset and daylight-saving rules\n"
    "that fit the PC's time zone (TZ is honoured), unless options say otherwise.\n"
    "Put the watch into sync mode when asked. The setting is only as good as\n"
    "the PC clock: synchronise it first.\n"
    "\n"
    "Options (names in any letter case; the last readable value counts):\n"
    "  tzoff=MIN    zone offset in minutes east of UTC, -1440 to 1440, sent in\n"
    "               whole quarter hours\n"
    "  tz=INDEX     the watch's zone index, at most 255; -1 sends no zone,\n"
    "               below -1 leaves the index alone\n"
    "  dst=MODE     -1 automatic (from the PC's zone), 0 standard time,\n"
    "               1 daylight time; any other value leaves the mode alone\n"
    "  tempoff=N    write N (-32768 to 32767) as the watch's temperature offset\n"
    "               instead of setting the time; needs a console as the\n"
    "               standard output\n"
    "\n"
    "Changes on the watch: its time and date, zone index, zone offset, DST mode\n"
    "and DST rules; with tempoff= only its temperature offset. A setting is\n"
    "added to the record of readings as orv3get's readings are (ORV3_LOG).\n",
    {TOOL_DONE, TOOL_COMM_ERROR, TOOL_NO_LINK, TEMPOFF_NO_LINK, TOOL_NO_READING, TOOL_OUTPUT_FAILED,
     TOOL_NOT_SET, TOOL_REDIRECTED, TOOL_USAGE, TOOL_SIGNAL_BASE},
};

}  // namespace

int main(int argc, char** argv)
{
    if (const int code = answer_command_line(argc, argv, HELP, option_refusal); code != COMMAND_LINE_RUN)
        return code;
    prepare_console();
    return exit_status_after_output(time_setter(argc, argv));
}
