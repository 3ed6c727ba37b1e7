// SPDX-License-Identifier: MIT
#include "platform/sysroot.h"

// Windows names its ports by number; there is no tree to stand in for.
std::string plat_sysroot_path(const std::string& path) { return path; }
