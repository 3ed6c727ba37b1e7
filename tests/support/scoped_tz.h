// SPDX-License-Identifier: MIT
// Test support: TZ set for one scope.
#pragma once
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "tests/support/test_env.h"

// Sets TZ for the lifetime of the object and puts back what was there.
class ScopedTz {
public:
    explicit ScopedTz(const char* value)
    {
        if (const char* old = std::getenv("TZ"))
            saved_ = old;
        set_test_env("TZ", value);
        tzset();
    }
    ~ScopedTz()
    {
        set_test_env("TZ", saved_ ? saved_->c_str() : nullptr);
        tzset();
    }
    ScopedTz(const ScopedTz&) = delete;
    ScopedTz& operator=(const ScopedTz&) = delete;

private:
    std::optional<std::string> saved_;
};
