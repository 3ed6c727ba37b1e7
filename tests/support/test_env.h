// SPDX-License-Identifier: MIT
// Test support: environment variables set from within a test.
#pragma once
#include <cstdlib>

// Sets name to value, or removes it for nullptr.
inline void set_test_env(const char* name, const char* value)
{
#ifdef _WIN32
    _putenv_s(name, value != nullptr ? value : "");
#else
    if (value != nullptr)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}
