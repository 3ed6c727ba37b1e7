// SPDX-License-Identifier: MIT
// Portable file time <-> calendar conversions (proleptic Gregorian, UTC).
#include "platform/systime.h"

namespace {

constexpr int64_t SECONDS_PER_DAY = 86400;
// Days from 1601-01-01 to 1970-01-01.
constexpr int64_t DAYS_1601_TO_1970 = 134774;

// Days since 1970-01-01 of a civil date (Howard Hinnant's algorithm).
int64_t days_from_civil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civil_from_days(int64_t z, int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

bool leap(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned days_in_month(unsigned y, unsigned m)
{
    static constexpr unsigned days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}

}  // namespace

bool filetime_to_systime(file_time ft, SYSTEMTIME& st)
{
    // Windows refuses file times with the top bit set; so do we.
    if (ft >= 0x8000000000000000ULL)
        return false;
    const uint64_t total_ms = ft / FILE_TIME_PER_MS;
    const int64_t days = static_cast<int64_t>(total_ms / (SECONDS_PER_DAY * 1000));
    const uint64_t ms_of_day = total_ms % (SECONDS_PER_DAY * 1000);
    int64_t y;
    unsigned m, d;
    civil_from_days(days - DAYS_1601_TO_1970, y, m, d);
    if (y > 30827)
        return false;
    st.wYear = static_cast<uint16_t>(y);
    st.wMonth = static_cast<uint16_t>(m);
    st.wDay = static_cast<uint16_t>(d);
    st.wDayOfWeek = static_cast<uint16_t>((days + 1) % 7);  // 1601-01-01 was a Monday
    st.wHour = static_cast<uint16_t>(ms_of_day / 3600000);
    st.wMinute = static_cast<uint16_t>(ms_of_day / 60000 % 60);
    st.wSecond = static_cast<uint16_t>(ms_of_day / 1000 % 60);
    st.wMilliseconds = static_cast<uint16_t>(ms_of_day % 1000);
    return true;
}

bool systime_to_filetime(const SYSTEMTIME& st, file_time& ft)
{
    if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
        st.wDay > days_in_month(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 ||
        st.wSecond > 59 || st.wMilliseconds > 999)
        return false;
    const int64_t days = days_from_civil(st.wYear, st.wMonth, st.wDay) + DAYS_1601_TO_1970;
    const uint64_t ms = static_cast<uint64_t>(days) * SECONDS_PER_DAY * 1000 +
                        st.wHour * 3600000ULL + st.wMinute * 60000ULL + st.wSecond * 1000ULL +
                        st.wMilliseconds;
    ft = ms * FILE_TIME_PER_MS;
    return true;
}
