// SPDX-License-Identifier: MIT
// Names as the zone data holds them: 8-bit text in the ANSI code page and
// 16-bit text, both terminated, in fixed fields. Every helper stays inside the
// fields it is given and leaves its destination terminated.
#pragma once
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "platform/systime.h"

// The text of a field: up to its first 0, or the whole field when it has none.
std::string_view text_view(std::span<const char> field);
std::u16string_view text_view(std::span<const char16_t> field);

// 8-bit to 16-bit text through the ANSI code page (ASCII here; any other
// byte becomes '?'), cut to dest.size() - 1 units; returns the units written.
std::size_t widen_text(std::string_view src, std::span<char16_t> dest);
// 16-bit to 8-bit text through the ANSI code page (anything beyond ASCII
// becomes '?'), cut to dest.size() - 1 bytes; returns the bytes written.
std::size_t narrow_text(std::u16string_view src, std::span<char> dest);

// Terminated copies cut to dest.size() - 1 characters; return the count copied.
std::size_t copy_text(std::string_view src, std::span<char> dest);
std::size_t copy_text(std::u16string_view src, std::span<char16_t> dest);

// The number that digits spell: one or more decimal digits and nothing else,
// within 32 bits; false otherwise (a port name's number, for instance).
bool decimal_number(std::string_view digits, unsigned& number);

// The names of a zone record as 16-bit text: the record's own unit type is
// the platform's (16-bit either way).
std::u16string zone_standard_name(const TIME_ZONE_INFORMATION& tzi);
std::u16string zone_daylight_name(const TIME_ZONE_INFORMATION& tzi);
// Sets both names of a zone record, each cut to fit and terminated.
void set_zone_names(TIME_ZONE_INFORMATION& tzi, std::u16string_view standard,
                    std::u16string_view daylight);

// Letter case of ASCII only, whatever the locale: names and option prefixes
// are ASCII. Equal texts, and text beginning with prefix.
bool equal_ignoring_case(std::string_view a, std::string_view b);
bool starts_with_ignoring_case(std::string_view text, std::string_view prefix);
