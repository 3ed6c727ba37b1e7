// SPDX-License-Identifier: MIT
#include "platform/clock.h"

#include <ctime>

file_time plat_utc_now()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return FILE_TIME_UNIX_EPOCH + static_cast<uint64_t>(ts.tv_sec) * FILE_TIME_PER_SECOND +
           static_cast<uint64_t>(ts.tv_nsec) / 100;
}

void plat_local_time(SYSTEMTIME& st)
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm t{};
    localtime_r(&ts.tv_sec, &t);
    st.wYear = static_cast<uint16_t>(t.tm_year + 1900);
    st.wMonth = static_cast<uint16_t>(t.tm_mon + 1);
    st.wDayOfWeek = static_cast<uint16_t>(t.tm_wday);
    st.wDay = static_cast<uint16_t>(t.tm_mday);
    st.wHour = static_cast<uint16_t>(t.tm_hour);
    st.wMinute = static_cast<uint16_t>(t.tm_min);
    // A leap second shows as second 60; the watch has none.
    st.wSecond = static_cast<uint16_t>(t.tm_sec > 59 ? 59 : t.tm_sec);
    st.wMilliseconds = static_cast<uint16_t>(ts.tv_nsec / 1000000);
}

int64_t plat_monotonic_ns()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}
