// ORV3DUMP: the configuration memory dump; its code is the exit status.
#include "tools/console.h"
#include "tools/tools.h"

int main()
{
    prepare_console();
    return exit_status_after_output(memory_dump());
}
