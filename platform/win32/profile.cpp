// SPDX-License-Identifier: MIT
// The platform's own profile reader.
#include "platform/profile.h"

#include "platform/win32/records.h"

std::size_t plat_profile_section_names(const char* path, char* buf, std::size_t size)
{
    if (path == nullptr || buf == nullptr || size < 2 || size > MAXDWORD)
        return 0;
    return GetPrivateProfileSectionNamesA(buf, static_cast<DWORD>(size), path);
}

int32_t plat_profile_int(const char* section, const char* key, int32_t def, const char* path)
{
    if (section == nullptr || key == nullptr || path == nullptr)
        return def;
    return static_cast<int32_t>(GetPrivateProfileIntA(section, key, def, path));
}
