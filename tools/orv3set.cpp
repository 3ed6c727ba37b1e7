// ORV3SET: the time, time-zone and DST setter; its options on the command line.
#include "tools/console.h"
#include "tools/tools.h"

int main(int argc, char** argv)
{
    prepare_console();
    return exit_status_after_output(time_setter(argc, argv));
}
