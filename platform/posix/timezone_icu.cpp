// SPDX-License-Identifier: MIT
// The current zone and zone rules from ICU: the host zone honours TZ, and a
// zone's rules are this year's, in the yearly form of a Windows zone record.
#include "platform/timezone.h"

#include <unicode/basictz.h>
#include <unicode/dtrule.h>
#include <unicode/timezone.h>
#include <unicode/tzrule.h>
#include <unicode/ucal.h>
#include <unicode/unistr.h>

#include <ctime>
#include <memory>
#include <string_view>

#include "platform/clock.h"
#include "platform/text.h"

namespace {

constexpr int32_t MS_PER_MINUTE = 60000;
constexpr int32_t MS_PER_HOUR = 3600000;
constexpr int32_t MS_PER_DAY = 86400000;
constexpr int32_t DAYS_PER_WEEK = 7;
// The yearly form's occurrence number for "the last one in the month".
constexpr uint16_t LAST_OCCURRENCE = 5;

UDate udate_of(file_time ft)
{
    return static_cast<UDate>(static_cast<int64_t>(ft - FILE_TIME_UNIX_EPOCH) /
                              static_cast<int64_t>(FILE_TIME_PER_MS));
}

bool fields_of(UDate ms, SYSTEMTIME& st)
{
    return ms >= 0 &&
           filetime_to_systime(FILE_TIME_UNIX_EPOCH + static_cast<uint64_t>(ms) * FILE_TIME_PER_MS,
                               st);
}

// The yearly form of a transition that happens at the given local wall time.
bool yearly_form_of(UDate wall, SYSTEMTIME& date)
{
    SYSTEMTIME day{}, week_later{};
    if (!fields_of(wall, day) || !fields_of(wall + DAYS_PER_WEEK * double{MS_PER_DAY}, week_later))
        return false;
    date = SYSTEMTIME{};
    date.wMonth = day.wMonth;
    date.wDayOfWeek = day.wDayOfWeek;
    date.wDay = week_later.wMonth != day.wMonth
                    ? LAST_OCCURRENCE
                    : static_cast<uint16_t>((day.wDay - 1) / DAYS_PER_WEEK + 1);
    date.wHour = day.wHour;
    date.wMinute = day.wMinute;
    return true;
}

// The yearly form of the transition into rule: the rule itself when it names
// a weekday of a month at wall time, else its actual transition this year.
// prev_raw and prev_dst are the offsets in force before it.
bool yearly_date(const icu::AnnualTimeZoneRule& rule, int32_t prev_raw, int32_t prev_dst,
                 int32_t year, SYSTEMTIME& date)
{
    const icu::DateTimeRule* r = rule.getRule();
    if (r == nullptr)
        return false;
    const int32_t week = r->getRuleWeekInMonth();
    const int32_t ms = r->getRuleMillisInDay();
    if (r->getDateRuleType() == icu::DateTimeRule::DOW &&
        r->getTimeRuleType() == icu::DateTimeRule::WALL_TIME &&
        (week == -1 || (week >= 1 && week < LAST_OCCURRENCE)) && ms >= 0 && ms < MS_PER_DAY) {
        date = SYSTEMTIME{};
        date.wMonth = static_cast<uint16_t>(r->getRuleMonth() + 1);
        date.wDayOfWeek = static_cast<uint16_t>(r->getRuleDayOfWeek() - UCAL_SUNDAY);
        date.wDay = week == -1 ? LAST_OCCURRENCE : static_cast<uint16_t>(week);
        date.wHour = static_cast<uint16_t>(ms / MS_PER_HOUR);
        date.wMinute = static_cast<uint16_t>(ms / MS_PER_MINUTE % 60);
        return true;
    }
    UDate start = 0;
    return rule.getStartInYear(year, prev_raw, prev_dst, start) &&
           yearly_form_of(start + prev_raw + prev_dst, date);
}

// Biases and dates of zone from the rules near the start of this year; a zone
// without daylight time then leaves both dates zero.
void zone_rules(const icu::TimeZone& zone, TIME_ZONE_INFORMATION& tzi)
{
    const file_time now_ft = plat_utc_now();
    const UDate now = udate_of(now_ft);
    int32_t raw = 0, dst = 0;
    UErrorCode ec = U_ZERO_ERROR;
    zone.getOffset(now, false, raw, dst, ec);
    if (U_FAILURE(ec))
        raw = zone.getRawOffset();
    tzi.Bias = -raw / MS_PER_MINUTE;
    tzi.StandardBias = 0;
    tzi.DaylightBias = 0;
    tzi.StandardDate = SYSTEMTIME{};
    tzi.DaylightDate = SYSTEMTIME{};

    const auto* basic = dynamic_cast<const icu::BasicTimeZone*>(&zone);
    SYSTEMTIME jan1{};
    file_time jan1_ft = 0;
    if (basic == nullptr || !filetime_to_systime(now_ft, jan1))
        return;
    jan1 = SYSTEMTIME{jan1.wYear, 1, 0, 1, 0, 0, 0, 0};
    if (!systime_to_filetime(jan1, jan1_ft))
        return;

    icu::InitialTimeZoneRule* initial = nullptr;
    icu::AnnualTimeZoneRule* standard = nullptr;
    icu::AnnualTimeZoneRule* daylight = nullptr;
    ec = U_ZERO_ERROR;
    basic->getSimpleRulesNear(udate_of(jan1_ft), initial, standard, daylight, ec);
    const std::unique_ptr<icu::InitialTimeZoneRule> own_initial(initial);
    const std::unique_ptr<icu::AnnualTimeZoneRule> own_standard(standard);
    const std::unique_ptr<icu::AnnualTimeZoneRule> own_daylight(daylight);
    if (U_FAILURE(ec) || standard == nullptr || daylight == nullptr)
        return;
    SYSTEMTIME standard_date{}, daylight_date{};
    if (!yearly_date(*daylight, standard->getRawOffset(), standard->getDSTSavings(), jan1.wYear,
                     daylight_date) ||
        !yearly_date(*standard, daylight->getRawOffset(), daylight->getDSTSavings(), jan1.wYear,
                     standard_date))
        return;
    tzi.StandardDate = standard_date;
    tzi.DaylightDate = daylight_date;
    tzi.DaylightBias = -daylight->getDSTSavings() / MS_PER_MINUTE;
}

std::u16string_view view_of(const icu::UnicodeString& s)
{
    return {s.getBuffer(), static_cast<std::size_t>(s.length())};
}

}  // namespace

uint32_t plat_get_time_zone_information(TIME_ZONE_INFORMATION& tzi)
{
    // ICU reads TZ afresh on every detection, so a changed TZ is seen.
    tzset();
    const std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::detectHostTimeZone());
    const icu::TimeZone& host = zone ? *zone : icu::TimeZone::getUnknown();

    tzi = TIME_ZONE_INFORMATION{};
    icu::UnicodeString id, name;
    host.getID(id);
    UErrorCode ec = U_ZERO_ERROR;
    icu::TimeZone::getWindowsID(id, name, ec);
    // A zone without a Windows ID goes by its tz database name; the daylight
    // name is the same text, as a catalogue zone without "Dlt" has its key name.
    if (U_FAILURE(ec) || name.isBogus() || name.isEmpty())
        name = id;
    set_zone_names(tzi, view_of(name), view_of(name));
    zone_rules(host, tzi);

    int32_t raw = 0, dst = 0;
    ec = U_ZERO_ERROR;
    host.getOffset(udate_of(plat_utc_now()), false, raw, dst, ec);
    if (U_SUCCESS(ec) && dst != 0)
        return TIME_ZONE_ID_DAYLIGHT;
    return tzi.DaylightDate.wMonth != 0 ? TIME_ZONE_ID_STANDARD : TIME_ZONE_ID_UNKNOWN;
}

bool plat_zone_rules(const char* zone_id, TIME_ZONE_INFORMATION& tzi)
{
    if (zone_id == nullptr)
        return false;
    const std::unique_ptr<icu::TimeZone> zone(
        icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zone_id)));
    if (!zone || *zone == icu::TimeZone::getUnknown())
        return false;
    zone_rules(*zone, tzi);
    return true;
}
