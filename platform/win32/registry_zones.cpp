// SPDX-License-Identifier: MIT
// The zone source of Windows: the registry's time-zone database, under the
// root that the system's version picks.
#include "timezones/zone_source.h"

#include "platform/win32/records.h"

#include <cstdio>
#include <string>

namespace {

// The database's root under HKEY_LOCAL_MACHINE; " NT" in it on the NT family.
constexpr char TZ_REGISTRY_ROOT_FORMAT[] = "SOFTWARE\\Microsoft\\WINDOWS%s\\CurrentVersion\\Time Zones";
constexpr char TZ_REGISTRY_NT_FAMILY[] = " NT";

HKEY key_of(TzKey key) { return reinterpret_cast<HKEY>(key); }

// The older family sets the top bit of the version word.
bool older_family() { return (GetVersion() & 0x80000000u) != 0; }

long open_root(TzKey* root)
{
    char path[sizeof TZ_REGISTRY_ROOT_FORMAT + sizeof TZ_REGISTRY_NT_FAMILY];
    std::snprintf(path, sizeof path, TZ_REGISTRY_ROOT_FORMAT,
                  older_family() ? "" : TZ_REGISTRY_NT_FAMILY);
    HKEY key = nullptr;
    const LONG r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key);
    if (r == ERROR_SUCCESS)
        *root = reinterpret_cast<TzKey>(key);
    return r;
}

long enum_key(TzKey key, uint32_t index, char* name, uint32_t* size)
{
    DWORD n = *size;
    const LONG r = RegEnumKeyExA(key_of(key), index, name, &n, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_SUCCESS)
        *size = n;
    return r;
}

long open_key(TzKey key, const char* name, TzKey* subkey)
{
    HKEY k = nullptr;
    const LONG r = RegOpenKeyExA(key_of(key), name, 0, KEY_READ, &k);
    if (r == ERROR_SUCCESS)
        *subkey = reinterpret_cast<TzKey>(k);
    return r;
}

long query_value(TzKey key, const char* name, bool wide, uint32_t* type, void* data, uint32_t* size)
{
    DWORD t = 0;
    DWORD n = *size;
    LONG r;
    if (wide) {
        // Value names here are ASCII.
        std::wstring wide_name(name, name + std::char_traits<char>::length(name));
        r = RegQueryValueExW(key_of(key), wide_name.c_str(), nullptr, &t, static_cast<BYTE*>(data), &n);
    } else {
        r = RegQueryValueExA(key_of(key), name, nullptr, &t, static_cast<BYTE*>(data), &n);
    }
    if (r == ERROR_SUCCESS || r == ERROR_MORE_DATA) {
        *size = n;
        if (type != nullptr)
            *type = t;
    }
    return r;
}

void close_key(TzKey key) { RegCloseKey(key_of(key)); }

constexpr TzZoneSource registry_source{open_root, enum_key, open_key, query_value, close_key};

}  // namespace

const TzZoneSource& TzPlatformZoneSource() { return registry_source; }
