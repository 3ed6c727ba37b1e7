// The file system as the tools see it.
#pragma once
#include <cstddef>

#ifdef _WIN32
inline constexpr char PLAT_PATH_SEPARATOR = '\\';
#else
inline constexpr char PLAT_PATH_SEPARATOR = '/';
#endif

// The process's current working directory as terminated text; false when it
// does not fit in size bytes or cannot be had.
bool plat_current_directory(char* buf, std::size_t size);
