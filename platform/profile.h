// SPDX-License-Identifier: MIT
// Private-profile (INI) files, read the way the Windows private-profile calls
// read them. Portable code, one implementation for every system, so that a
// parameter file reads the same wherever the tools run.
//
// How a file is read:
// - Lines end at "\n" or "\r"; blanks (space, tab, "\r", "\v", "\f") around a line,
//   a name or a value are dropped. A line longer than PROFILE_LINE_MAX
//   characters is read as its first PROFILE_LINE_MAX characters.
// - A line starting with ';' is a comment. A line "[name]" opens section
//   name (text after the ']' is ignored; "[]" opens a section that no
//   name finds); a '[' without ']' is no header and the line is ignored. Other lines are "key=value", or a key alone, which
//   has an empty value. Lines before the first header belong to no section.
// - Section and key names match without regard to ASCII letter case. Only
//   the first section of a name is searched, and in it the first line of the
//   key counts.
// - A value wrapped in a matching pair of quotes (" or ') loses them.
// - An integer value is blanks, an optional '-' or '+', then decimal digits,
//   or after "0x", "0o" or "0b" (lower case only) hexadecimal, octal or
//   binary ones; reading stops at the first other character ("42abc" is 42,
//   "0x1f" is 31, "0X1f" is 0), a value that does not start so is 0, and
//   digits beyond 32 bits wrap around modulo 2^32 (4294967297 is 1). Blanks
//   inside quotes count as blanks (" 42 " in quotes is 42). An empty value,
//   like a missing key, gives the default.
// - Any bytes, NUL included, are read as characters; a UTF-8 byte order
//   mark at the start is dropped. A file that is not a regular file or
//   cannot be read counts as missing.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

inline constexpr std::size_t PROFILE_LINE_MAX = 4096;

// The platform's own reader: on Windows the private-profile calls, elsewhere
// the reader above over the file.
//
// Places the file's section names into buf, each followed by a 0, with one
// more 0 after the last; names that do not fit are cut (at least 2 bytes of
// buf are needed). Returns the number of characters placed before that
// last 0; 0 when the file is missing, unreadable or has no section.
std::size_t plat_profile_section_names(const char* path, char* buf, std::size_t size);

// The value of key in section as a 32-bit integer; def when the file, the
// section or the key is missing, or the value is empty.
int32_t plat_profile_int(const char* section, const char* key, int32_t def, const char* path);

// The reader above over a file, and over the text of a file already read.
std::size_t profile_file_section_names(const char* path, char* buf, std::size_t size);
int32_t profile_file_int(const char* section, const char* key, int32_t def, const char* path);
std::size_t profile_text_section_names(std::string_view text, char* buf, std::size_t size);
int32_t profile_text_int(std::string_view text, const char* section, const char* key, int32_t def);
