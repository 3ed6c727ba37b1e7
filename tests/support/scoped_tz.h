// SPDX-License-Identifier: MIT
// Test support: TZ set for one scope.
#pragma once
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

// Sets TZ for the lifetime of the object and puts back what was there.
class ScopedTz {
public:
    explicit ScopedTz(const char* value)
    {
        if (const char* old = std::getenv("TZ"))
            saved_ = old;
        setenv("TZ", value, 1);
        tzset();
    }
    ~ScopedTz()
    {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ScopedTz(const ScopedTz&) = delete;
    ScopedTz& operator=(const ScopedTz&) = delete;

private:
    std::optional<std::string> saved_;
};
