// Test support: TZ set for one scope, and zone rules built by hand.
#pragma once
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/systime.h"
#include "platform/timezone.h"
#include "timezones/catalogue.h"

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

// A yearly transition date: month, weekday (0 Sunday), week (5 the last), time.
inline SYSTEMTIME yearly(uint16_t month, uint16_t weekday, uint16_t week, uint16_t hour,
                         uint16_t minute = 0)
{
    return SYSTEMTIME{0, month, weekday, week, hour, minute, 0, 0};
}

inline TzRules rules_without_dst(int32_t bias) { return TzRules{bias, 0, 0, {}, {}}; }

// This year's rules of a tz database zone, from the platform.
inline TzRules rules_of(const char* zone_id)
{
    TIME_ZONE_INFORMATION tzi{};
    plat_zone_rules(zone_id, tzi);
    return TzRulesOf(tzi);
}
