// SPDX-License-Identifier: MIT
// Fields of byte frames: little-endian unsigned and signed values of 1 to 4
// bytes, and the big-endian 16-bit indices of the memory dump. Below both
// link layers, for the access point's frames and the watch's alike.
#pragma once
#include <cstdint>

inline constexpr uint16_t get_u16(const uint8_t* f, int pos)
{
    return static_cast<uint16_t>(f[pos] | f[pos + 1] << 8);
}
inline constexpr uint32_t get_u32(const uint8_t* f, int pos)
{
    return f[pos] | f[pos + 1] << 8 | f[pos + 2] << 16 | uint32_t{f[pos + 3]} << 24;
}
inline constexpr void put_u16(uint8_t* f, int pos, uint16_t v)
{
    f[pos] = static_cast<uint8_t>(v);
    f[pos + 1] = static_cast<uint8_t>(v >> 8);
}
inline constexpr void put_u32(uint8_t* f, int pos, uint32_t v)
{
    put_u16(f, pos, static_cast<uint16_t>(v));
    put_u16(f, pos + 2, static_cast<uint16_t>(v >> 16));
}

// A little-endian field of 1 to 4 bytes, as raw bits.
inline constexpr uint32_t get_le(const uint8_t* f, int pos, int size)
{
    uint32_t v = 0;
    for (int i = size; i-- > 0;)
        v = v << 8 | f[pos + i];
    return v;
}
inline constexpr void put_le(uint8_t* f, int pos, int size, uint32_t v)
{
    for (int i = 0; i < size; ++i, v >>= 8)
        f[pos + i] = static_cast<uint8_t>(v);
}

// Signed fields, widened.
inline constexpr int8_t get_s8(const uint8_t* f, int pos) { return static_cast<int8_t>(f[pos]); }
inline constexpr int16_t get_s16(const uint8_t* f, int pos) { return static_cast<int16_t>(get_u16(f, pos)); }
inline constexpr int32_t get_s32(const uint8_t* f, int pos) { return static_cast<int32_t>(get_u32(f, pos)); }
// Three bytes, the sign in bit 7 of the last.
inline constexpr int32_t get_s24(const uint8_t* f, int pos)
{
    uint32_t v = get_le(f, pos, 3);
    if (v & 0x800000)
        v |= 0xFF000000;
    return static_cast<int32_t>(v);
}

// Big-endian 16-bit values (the memory dump's block indices).
inline constexpr uint16_t get_be16(const uint8_t* f, int pos)
{
    return static_cast<uint16_t>(f[pos] << 8 | f[pos + 1]);
}
inline constexpr void put_be16(uint8_t* f, int pos, uint16_t v)
{
    f[pos] = static_cast<uint8_t>(v >> 8);
    f[pos + 1] = static_cast<uint8_t>(v);
}
