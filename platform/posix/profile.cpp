// SPDX-License-Identifier: MIT
// The profile reader of this platform is the portable one.
#include "platform/profile.h"

std::size_t plat_profile_section_names(const char* path, char* buf, std::size_t size)
{
    return profile_file_section_names(path, buf, size);
}

int32_t plat_profile_int(const char* section, const char* key, int32_t def, const char* path)
{
    return profile_file_int(section, key, def, path);
}
