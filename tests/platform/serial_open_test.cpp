// SPDX-License-Identifier: MIT
// Why a serial device could not be opened, as the tools explain it to the user.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/serial_port.h"
#include "tests/support/sim_harness.h"

namespace {

constexpr uid_t NOBODY = 65534;

// Opens path in a child that runs as an ordinary user when we are root
// (root may open anything), and reports why the open failed.
plat_open_error open_error_unprivileged(const std::string& path)
{
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && setuid(NOBODY) != 0)
            _exit(100);
        const plat_serial h = plat_serial_open(path.c_str());
        _exit(h == PLAT_SERIAL_NONE ? static_cast<int>(plat_serial_open_error()) : 101);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_LT(WEXITSTATUS(status), 100) << "child could not drop privileges, or opened the file";
    return static_cast<plat_open_error>(WEXITSTATUS(status));
}

TEST(SerialOpenError, MissingDevice)
{
    EXPECT_EQ(plat_serial_open((make_temp_dir() + "/ttyACM9").c_str()), PLAT_SERIAL_NONE);
    EXPECT_EQ(plat_serial_open_error(), plat_open_error::missing);
}

TEST(SerialOpenError, DeviceHeldByAnotherProgram)
{
    const std::string path = make_temp_dir() + "/ttyACM9";
    std::ofstream(path) << "";
    const int holder = open(path.c_str(), O_RDWR);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(plat_serial_open(path.c_str()), PLAT_SERIAL_NONE);
    EXPECT_EQ(plat_serial_open_error(), plat_open_error::busy);
    close(holder);
}

TEST(SerialOpenError, DeviceWithoutPermission)
{
    const std::string dir = make_temp_dir();
    const std::string path = dir + "/ttyACM9";
    std::ofstream(path) << "";
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    // The ordinary user must reach the file to be refused by its mode.
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(path.c_str(), 0), 0);
    }
    EXPECT_EQ(open_error_unprivileged(path), plat_open_error::permission);
}

TEST(SerialOpenError, NotASerialPort)
{
    const std::string path = make_temp_dir() + "/ttyACM9";
    std::ofstream(path) << "";
    EXPECT_EQ(plat_serial_open(path.c_str()), PLAT_SERIAL_NONE);
    EXPECT_EQ(plat_serial_open_error(), plat_open_error::other);
}

}  // namespace
