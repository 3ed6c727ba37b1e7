// SPDX-License-Identifier: MIT
// Zone sources: where the catalogue builder reads the zones from. A source
// looks like the Windows registry's time-zone database: a root key with one
// subkey per zone, named values under it, keys opened and closed by handle.
// The ICU source serves POSIX; the registry source will serve Windows; tests
// bring their own. Results are registry result codes, 0 for success.
#pragma once
#include <cstdint>

// A key handle of a source; its meaning belongs to the source.
using TzKey = std::uintptr_t;

inline constexpr long TZ_ERROR_SUCCESS = 0;
inline constexpr long TZ_ERROR_FILE_NOT_FOUND = 2;
inline constexpr long TZ_ERROR_MORE_DATA = 234;
inline constexpr long TZ_ERROR_NO_MORE_ITEMS = 259;

// Value types.
inline constexpr uint32_t TZ_REG_SZ = 1;
inline constexpr uint32_t TZ_REG_EXPAND_SZ = 2;
inline constexpr uint32_t TZ_REG_BINARY = 3;
inline constexpr uint32_t TZ_REG_DWORD = 4;
inline constexpr uint32_t TZ_REG_MULTI_SZ = 7;

struct TzZoneSource {
    // Opens the source's root key (the time-zone database) for reading.
    long (*open_root)(TzKey* root);
    // Name of subkey index into name (size in: capacity with terminator; out:
    // length); TZ_ERROR_NO_MORE_ITEMS after the last one.
    long (*enum_key)(TzKey key, uint32_t index, char* name, uint32_t* size);
    // Opens the subkey of key with the given name.
    long (*open_key)(TzKey key, const char* name, TzKey* subkey);
    // Value name of key into data (size in: capacity in bytes; out: the
    // value's size); with wide set, text values come as 16-bit text. A value
    // larger than the capacity gives TZ_ERROR_MORE_DATA and its size.
    long (*query_value)(TzKey key, const char* name, bool wide, uint32_t* type, void* data,
                        uint32_t* size);
    // Closes a key opened by open_root or open_key.
    void (*close_key)(TzKey key);
};

// The zones that ICU knows, one per Windows zone ID: only the rules ("TZI"),
// taken from the ID's principal zone this year; no names, no display texts.
const TzZoneSource& TzIcuZoneSource();
// The platform's own source: ICU on POSIX.
const TzZoneSource& TzPlatformZoneSource();
// Makes the catalogue builder read from source; nullptr restores the
// platform's own. The source must outlive its use.
void TzSetZoneSource(const TzZoneSource* source);
// The source the builder reads from.
const TzZoneSource& TzGetZoneSource();
