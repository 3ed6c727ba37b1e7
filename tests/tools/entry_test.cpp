// SPDX-License-Identifier: MIT
// prepare_console in a child process whose standard output is a pipe, a
// file, a pseudo-terminal, /dev/null or closed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <pty.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/sim_harness.h"
#include "tools/entry.h"

namespace {

struct console_state {
    bool redirected = false;
    unsigned period_ms = 0;
    int policy = -1;
    int priority = -1;
    long timer_slack_ns = -1;
};

// Runs prepare_console in a child whose descriptor 1 is what arrange makes
// it (-1: closed), and reads back what it set.
console_state prepared_with(const std::function<int()>& arrange)
{
    int result[2];
    EXPECT_EQ(pipe(result), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(result[0]);
        const int fd = arrange();
        if (fd < 0)
            close(1);
        else if (fd != 1)
            dup2(fd, 1);
        prepare_console();
        sched_param p{};
        sched_getparam(0, &p);
        const console_state s{output_redirected, timer_period_ms, sched_getscheduler(0), p.sched_priority,
                              static_cast<long>(prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0))};
        _exit(write(result[1], &s, sizeof s) == sizeof s ? 0 : 1);
    }
    close(result[1]);
    console_state s{};
    EXPECT_EQ(read(result[0], &s, sizeof s), static_cast<ssize_t>(sizeof s));
    close(result[0]);
    int st = 0;
    waitpid(child, &st, 0);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
    return s;
}

struct output_case {
    const char* name;
    std::function<int()> arrange;
    bool redirected;
};
void PrintTo(const output_case& c, std::ostream* os) { *os << c.name; }
class PrepareConsole : public testing::TestWithParam<output_case> {};

TEST_P(PrepareConsole, NotesWhetherTheOutputIsACharacterDevice)
{
    const console_state s = prepared_with(GetParam().arrange);
    EXPECT_EQ(s.redirected, GetParam().redirected);
    EXPECT_GE(s.period_ms, 1u);
}

int pipe_end()
{
    int p[2];
    return pipe(p) == 0 ? p[1] : -1;
}
int file_in_temp_dir() { return open((make_temp_dir() + "/out").c_str(), O_WRONLY | O_CREAT, 0644); }
int pty_slave()
{
    int master = -1, slave = -1;
    return openpty(&master, &slave, nullptr, nullptr, nullptr) == 0 ? slave : -1;
}
int dev_null() { return open("/dev/null", O_WRONLY); }
int closed() { return -1; }

INSTANTIATE_TEST_SUITE_P(Outputs, PrepareConsole,
                         testing::Values(output_case{"Pipe", pipe_end, true},
                                         output_case{"File", file_in_temp_dir, true},
                                         output_case{"PseudoTerminal", pty_slave, false},
                                         output_case{"DevNull", dev_null, false},
                                         output_case{"Closed", closed, false}),
                         [](const auto& i) { return std::string(i.param.name); });

// A closed standard stream is reopened on /dev/null before anything else is
// opened, so that a port opened later never becomes the program's stdin,
// stdout or stderr.
class ClosedStream : public testing::TestWithParam<int> {};

TEST_P(ClosedStream, IsReopenedOnDevNull)
{
    const int closed_fd = GetParam();
    const pid_t child = fork();
    if (child == 0) {
        close(closed_fd);
        prepare_console();
        struct stat st{}, null{};
        const bool on_null = fstat(closed_fd, &st) == 0 && stat("/dev/null", &null) == 0 && st.st_rdev == null.st_rdev;
        const int next = open("/dev/null", O_RDONLY);
        _exit(on_null && next > 2 ? 0 : 1);
    }
    int st = 0;
    waitpid(child, &st, 0);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
}
INSTANTIATE_TEST_SUITE_P(Streams, ClosedStream, testing::Values(0, 1, 2));

// Whether this process may take the real-time policy at all.
bool fifo_allowed()
{
    const pid_t child = fork();
    if (child == 0) {
        sched_param p{};
        p.sched_priority = sched_get_priority_max(SCHED_FIFO);
        _exit(sched_setscheduler(0, SCHED_FIFO, &p) == 0 ? 0 : 1);
    }
    int st = 0;
    waitpid(child, &st, 0);
    return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

TEST(PrepareConsoleTiming, RaisesPriorityAndMakesShortSleepsAccurate)
{
    const console_state s = prepared_with([] { return 1; });
    // From the default 50 us down to 1 ns; a real-time task gets none at all.
    EXPECT_GE(s.timer_slack_ns, 0);
    EXPECT_LE(s.timer_slack_ns, 1);
    if (!fifo_allowed())
        GTEST_SKIP() << "this process may not run at real-time priority";
    EXPECT_EQ(s.policy, SCHED_FIFO);
    EXPECT_EQ(s.priority, sched_get_priority_max(SCHED_FIFO));
}

// What prepare_console writes to the standard error stream in a child that
// may or may not take the real-time priority.
std::string console_messages(bool unprivileged)
{
    int err[2];
    EXPECT_EQ(pipe(err), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(err[0]);
        dup2(err[1], 2);
        if (unprivileged) {
            const rlimit none{0, 0};
            setrlimit(RLIMIT_RTPRIO, &none);
            setrlimit(RLIMIT_NICE, &none);
            if (geteuid() == 0 && setuid(65534) != 0)
                _exit(1);
        }
        prepare_console();
        _exit(0);
    }
    close(err[1]);
    std::string text;
    char buf[256];
    for (ssize_t n; (n = read(err[0], buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<std::size_t>(n));
    close(err[0]);
    int st = 0;
    waitpid(child, &st, 0);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
    return text;
}

TEST(PrepareConsolePriority, SaysOnceWhenRealTimeIsNotGranted)
{
    EXPECT_EQ(console_messages(true), MSG_NO_REALTIME);
}

TEST(PrepareConsolePriority, SaysNothingWhenRealTimeIsGranted)
{
    if (!fifo_allowed())
        GTEST_SKIP() << "this process may not run at real-time priority";
    EXPECT_EQ(console_messages(false), "");
}

}  // namespace
