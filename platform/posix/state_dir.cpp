// SPDX-License-Identifier: MIT
#include "platform/state_dir.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

bool plat_state_directory(std::string& dir)
{
    const char* xdg = std::getenv("XDG_STATE_HOME");
    // The base directory rules ignore a relative path.
    if (xdg && xdg[0] == '/') {
        dir = xdg;
        return true;
    }
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* pw = getpwuid(getuid());
        home = pw ? pw->pw_dir : nullptr;
    }
    if (!home || !*home)
        return false;
    dir = std::string(home) + "/.local/state";
    return true;
}

bool plat_make_directories(const std::string& dir)
{
    for (std::size_t i = 1; i <= dir.size(); ++i) {
        if (i < dir.size() && dir[i] != '/')
            continue;
        const std::string part = dir.substr(0, i);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st{};
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
