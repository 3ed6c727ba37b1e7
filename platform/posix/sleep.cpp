// SPDX-License-Identifier: MIT
#include "platform/sleep.h"

#include <cerrno>
#include <ctime>

void plat_sleep_ms(unsigned ms)
{
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += ms / 1000;
    until.tv_nsec += static_cast<long>(ms % 1000) * 1000000;
    if (until.tv_nsec >= 1000000000) {
        until.tv_sec += 1;
        until.tv_nsec -= 1000000000;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

void plat_tone(unsigned /*frequency_hz*/, unsigned duration_ms)
{
    plat_sleep_ms(duration_ms);
}
