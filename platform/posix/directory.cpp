#include "platform/directory.h"

#include <unistd.h>

bool plat_current_directory(char* buf, std::size_t size)
{
    return size > 0 && getcwd(buf, size) != nullptr;
}
