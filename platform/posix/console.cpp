// SPDX-License-Identifier: MIT
#include "platform/console.h"

#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

void plat_make_std_streams_valid()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1)
            continue;
        // The lowest free descriptor is this one: those below are valid.
        const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
}

unsigned plat_timer_min_period_ms()
{
    timespec res{};
    if (clock_getres(CLOCK_MONOTONIC, &res) != 0)
        return 1;
    const long long ns = static_cast<long long>(res.tv_sec) * 1000000000LL + res.tv_nsec;
    const long long ms = (ns + 999999) / 1000000;
    return ms < 1 ? 1u : static_cast<unsigned>(ms);
}

void plat_timer_begin_period(unsigned /*period_ms*/)
{
    // The kernel's timers are fine-grained already; what spoils a 1 ms sleep
    // is the default 50 us slack being stretched under load. 1 ns is the least.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

bool plat_raise_priority()
{
    sched_param p{};
    p.sched_priority = sched_get_priority_max(SCHED_FIFO);
    if (p.sched_priority > 0 && sched_setscheduler(0, SCHED_FIFO, &p) == 0)
        return true;
    for (int nice = -20; nice < 0; ++nice)
        if (setpriority(PRIO_PROCESS, 0, nice) == 0)
            return false;
    return false;
}

bool plat_stdout_redirected()
{
    struct stat st{};
    // A closed descriptor is no redirection, as an invalid handle is none
    // (the entry has put /dev/null there by now, which is none either).
    if (fstat(1, &st) != 0)
        return false;
    return !S_ISCHR(st.st_mode);
}
