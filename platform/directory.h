// SPDX-License-Identifier: MIT
// The file system as the tools see it.
#pragma once
#include <cstddef>
#include <string>

#ifdef _WIN32
inline constexpr char PLAT_PATH_SEPARATOR = '\\';
#else
inline constexpr char PLAT_PATH_SEPARATOR = '/';
#endif

// The process's current working directory as terminated text; false when it
// does not fit in size bytes or cannot be had.
bool plat_current_directory(char* buf, std::size_t size);

// What reading a whole file gave.
enum class file_read { ok, missing, not_regular, unreadable, too_large };
struct file_read_result {
    file_read result;
    int error;  // the system's error number when unreadable
};

// Reads the regular file at path whole into text, in one pass, when it
// holds at most max_size bytes. Never waits on a device or a pipe that
// bears the name. text is left empty unless the result is ok.
file_read_result plat_read_file(const char* path, std::size_t max_size, std::string& text);
