// SPDX-License-Identifier: MIT
// The POSIX serial channel on a bare pseudo-terminal pair: what a purge keeps
// and drops, and who may open the port after a run, however it ended.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "platform/serial_port.h"

namespace {

constexpr uid_t NOBODY = 65534;

// A raw pseudo-terminal whose slave stays open here, as a device node stays
// while its driver lives; the master plays the access point.
struct pty_pair {
    pty_pair()
    {
        unsetenv("ORV3_SYSROOT");
        EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        path = ttyname(slave);
    }
    ~pty_pair()
    {
        close(master);
        close(slave);
    }
    // Bytes the access point's end receives within timeout_ms.
    std::string received(int timeout_ms) const
    {
        std::string got;
        pollfd p{master, POLLIN, 0};
        char buf[64];
        while (poll(&p, 1, timeout_ms) > 0) {
            const ssize_t r = read(master, buf, sizeof buf);
            if (r <= 0)
                break;
            got.append(buf, static_cast<std::size_t>(r));
        }
        return got;
    }
    int master = -1, slave = -1;
    std::string path;
};

TEST(SerialPurge, KeepsAFrameJustWrittenAndDropsWhatWasReceived)
{
    pty_pair pty;
    const plat_serial h = plat_serial_open(pty.path.c_str());
    ASSERT_NE(h, PLAT_SERIAL_NONE);
    ASSERT_EQ(write(pty.master, "\xFF\x06\x04", 3), 3);
    pollfd p{h, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 1000), 1);
    plat_serial_purge(h);

    uint8_t buf[3] = {};
    EXPECT_EQ(plat_serial_read(h, buf, 3, 100), 0) << "received before the purge";
    // Whether the other end has taken a frame yet is a race; run it often.
    for (uint8_t i = 0; i < 20; ++i) {
        const uint8_t frame[4] = {0xFF, 0x07, 0x04, i};
        ASSERT_TRUE(plat_serial_write(h, frame, 4, 120));
        plat_serial_purge(h);
        EXPECT_EQ(pty.received(50), std::string(reinterpret_cast<const char*>(frame), 4)) << "frame " << int{i};
    }
    plat_serial_close(h);
}

// A child process that holds the port, then ends as the case says.
enum class ending { closed, exited_holding, killed };

pid_t hold_port(const std::string& path, ending how, int ready_fd)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const plat_serial h = plat_serial_open(path.c_str());
    const char ok = h != PLAT_SERIAL_NONE ? 'y' : 'n';
    if (write(ready_fd, &ok, 1) != 1)
        _exit(1);
    if (how == ending::closed)
        plat_serial_close(h);
    if (how == ending::killed)
        pause();  // until the parent kills it
    _exit(0);
}

// Opens the port in a child running as another user; true when it opened.
bool opens_as(uid_t uid, const std::string& path)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgid(uid) != 0 || setuid(uid) != 0)
            _exit(2);
        const plat_serial h = plat_serial_open(path.c_str());
        _exit(h != PLAT_SERIAL_NONE ? 0 : 1);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

class PortAfterARun : public testing::TestWithParam<ending> {};

TEST_P(PortAfterARun, IsHeldWhileItRunsAndFreeForAnyUserAfterwards)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run the second open as another user";
    pty_pair pty;
    ASSERT_EQ(fchmod(pty.slave, 0666), 0);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = hold_port(pty.path, GetParam(), ready[1]);
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    if (GetParam() == ending::killed) {
        EXPECT_EQ(plat_serial_open(pty.path.c_str()), PLAT_SERIAL_NONE) << "a second open while it is held";
        kill(holder, SIGKILL);
    }
    int st = 0;
    waitpid(holder, &st, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_TRUE(opens_as(NOBODY, pty.path));
}
std::string ending_name(const testing::TestParamInfo<ending>& i)
{
    constexpr const char* NAMES[] = {"Closed", "ExitedHoldingIt", "KilledBySigkill"};
    return NAMES[static_cast<int>(i.param)];
}
INSTANTIATE_TEST_SUITE_P(Endings, PortAfterARun,
                         testing::Values(ending::closed, ending::exited_holding, ending::killed), ending_name);

}  // namespace
