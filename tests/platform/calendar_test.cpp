// SPDX-License-Identifier: MIT
// File time <-> calendar fields: fixed dates, the limits, leap years and
// centuries, weekdays, and round trips against the C library's calendar.
#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>

#include "platform/systime.h"

namespace {

struct dated {
    file_time ft;
    SYSTEMTIME st;  // wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds
};

// Values worked out apart from the code under test.
const dated DATES[] = {
    {0, {1601, 1, 1, 1, 0, 0, 0, 0}},                                // the first file time, a Monday
    {116444736000000000ULL, {1970, 1, 4, 1, 0, 0, 0, 0}},            // the Unix epoch, a Thursday
    {94405824000000000ULL, {1900, 3, 4, 1, 0, 0, 0, 0}},             // 1900 has no February 29
    {125911583999990000ULL, {1999, 12, 5, 31, 23, 59, 59, 999}},     // the last millisecond of a year
    {125963012967890000ULL, {2000, 2, 2, 29, 12, 34, 56, 789}},      // 2000 has one
    {133536604280090000ULL, {2024, 2, 4, 29, 6, 7, 8, 9}},           // a common leap year
    {157521023999990000ULL, {2100, 3, 1, 1, 23, 59, 59, 999}},       // 2100 has none
    {9223149887999990000ULL, {30827, 12, 5, 31, 23, 59, 59, 999}},   // the last one the calendar takes
};

bool same_fields(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDayOfWeek == b.wDayOfWeek && a.wDay == b.wDay &&
           a.wHour == b.wHour && a.wMinute == b.wMinute && a.wSecond == b.wSecond &&
           a.wMilliseconds == b.wMilliseconds;
}

TEST(Calendar, KnownDatesBothWays)
{
    for (const dated& d : DATES) {
        SYSTEMTIME st{};
        ASSERT_TRUE(filetime_to_systime(d.ft, st)) << d.ft;
        EXPECT_TRUE(same_fields(st, d.st)) << d.ft << ": " << st.wYear << "-" << st.wMonth << "-" << st.wDay
                                           << " weekday " << st.wDayOfWeek;
        file_time back = 1;
        ASSERT_TRUE(systime_to_filetime(d.st, back)) << d.ft;
        EXPECT_EQ(back, d.ft);
    }
}

TEST(Calendar, FileTimesBeyondTheCalendarAreRefused)
{
    for (file_time ft : {9223149888000000000ULL, 0x8000000000000000ULL, ~0ULL}) {
        SYSTEMTIME st{1, 2, 3, 4, 5, 6, 7, 8};
        EXPECT_FALSE(filetime_to_systime(ft, st)) << ft;
    }
}

TEST(Calendar, FieldsOutOfRangeAreRefused)
{
    const SYSTEMTIME bad[] = {
        {1600, 12, 0, 31, 23, 59, 59, 999},  // before the first file time
        {30828, 1, 0, 1, 0, 0, 0, 0},        // after the last
        {2023, 2, 0, 29, 0, 0, 0, 0},        // not a leap year
        {1900, 2, 0, 29, 0, 0, 0, 0},        // a century
        {2100, 2, 0, 29, 0, 0, 0, 0},
        {2024, 4, 0, 31, 0, 0, 0, 0},
        {2024, 0, 0, 1, 0, 0, 0, 0},
        {2024, 13, 0, 1, 0, 0, 0, 0},
        {2024, 1, 0, 0, 0, 0, 0, 0},
        {2024, 1, 0, 32, 0, 0, 0, 0},
        {2024, 1, 0, 1, 24, 0, 0, 0},
        {2024, 1, 0, 1, 0, 60, 0, 0},
        {2024, 1, 0, 1, 0, 0, 60, 0},
        {2024, 1, 0, 1, 0, 0, 0, 1000},
    };
    for (const SYSTEMTIME& st : bad) {
        file_time ft = 42;
        EXPECT_FALSE(systime_to_filetime(st, ft)) << st.wYear << "-" << st.wMonth << "-" << st.wDay << " "
                                                  << st.wHour << ":" << st.wMinute << ":" << st.wSecond << "."
                                                  << st.wMilliseconds;
        EXPECT_EQ(ft, 42u);
    }
}

TEST(Calendar, TheWeekdayIsIgnoredOnTheWayIn)
{
    SYSTEMTIME st = DATES[1].st;
    st.wDayOfWeek = 6;
    file_time ft = 0;
    ASSERT_TRUE(systime_to_filetime(st, ft));
    EXPECT_EQ(ft, DATES[1].ft);
}

// Seconds spread over the whole calendar, each against gmtime_r, and back.
TEST(Calendar, AgreesWithTheCLibraryFrom1601To30827)
{
    const int64_t first = -11644473600;  // 1601-01-01 00:00:00 in Unix seconds
    const int64_t last = 910670515199;   // 30827-12-31 23:59:59
    const int64_t step = 123456789;      // about 3.9 years: every weekday, month and time of day met
    for (int64_t s = first; s <= last; s += step) {
        const time_t t = static_cast<time_t>(s);
        tm c{};
        ASSERT_NE(gmtime_r(&t, &c), nullptr);
        const int64_t since_1601 = static_cast<int64_t>(FILE_TIME_UNIX_EPOCH) + s * int64_t{10000000};
        const file_time ft = static_cast<file_time>(since_1601) + 1234567;  // and 123.4567 ms
        SYSTEMTIME st{};
        ASSERT_TRUE(filetime_to_systime(ft, st)) << s;
        ASSERT_EQ(st.wYear, c.tm_year + 1900) << s;
        ASSERT_EQ(st.wMonth, c.tm_mon + 1) << s;
        ASSERT_EQ(st.wDay, c.tm_mday) << s;
        ASSERT_EQ(st.wDayOfWeek, c.tm_wday) << s;
        ASSERT_EQ(st.wHour, c.tm_hour) << s;
        ASSERT_EQ(st.wMinute, c.tm_min) << s;
        ASSERT_EQ(st.wSecond, c.tm_sec) << s;
        ASSERT_EQ(st.wMilliseconds, 123) << s;
        file_time back = 0;
        ASSERT_TRUE(systime_to_filetime(st, back)) << s;
        ASSERT_EQ(back, ft - 4567) << s;  // whole milliseconds
    }
}

}  // namespace
