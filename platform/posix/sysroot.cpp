// SPDX-License-Identifier: MIT
#include "platform/sysroot.h"

#include <cstdlib>

std::string plat_sysroot_path(const std::string& path)
{
    const char* root = std::getenv(ORV3_SYSROOT_ENV);
    if (root == nullptr || *root == '\0' || path.empty() || path[0] != '/')
        return path;
    return std::string(root) + path;
}
