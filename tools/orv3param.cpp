// ORV3PARAM: the HEQ parameter tool; its code is the exit status.
#include "tools/console.h"
#include "tools/tools.h"

int main()
{
    prepare_console();
    return exit_status_after_output(heq_parameter_tool());
}
