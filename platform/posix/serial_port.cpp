// SPDX-License-Identifier: MIT
// Serial channel on a tty: exclusive, raw, with deadline-bounded poll loops.
#include "platform/serial_port.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/sysroot.h"

namespace {

// How long a purge lets queued output drain: a longest frame at 115200 baud
// takes under 3 ms.
constexpr int PURGE_DRAIN_MS = 60;

// Waits for one poll event until the deadline; false when it passed or the
// wait failed.
bool wait_for(int fd, short events, int64_t deadline_ns, short& revents)
{
    for (;;) {
        const int64_t left = deadline_ns - plat_monotonic_ns();
        if (left <= 0)
            return false;
        timespec ts{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
        pollfd p{fd, events, 0};
        const int r = ppoll(&p, 1, &ts, nullptr);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        revents = p.revents;
        return true;
    }
}

plat_open_error last_open_error = plat_open_error::none;

plat_open_error open_error_of(int err)
{
    switch (err) {
    case EACCES:
    case EPERM:
        return plat_open_error::permission;
    case EBUSY:  // another program's TIOCEXCL
    case EWOULDBLOCK:  // another program's lock
        return plat_open_error::busy;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return plat_open_error::missing;
    default:
        return plat_open_error::other;
    }
}

}  // namespace

plat_open_error plat_serial_open_error() { return last_open_error; }

plat_serial plat_serial_open(const char* path)
{
    last_open_error = plat_open_error::other;
    const std::string real = plat_sysroot_path(path);
    const int fd = open(real.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        last_open_error = open_error_of(errno);
        return PLAT_SERIAL_NONE;
    }
    // Exclusive use by the lock alone: the kernel drops it with the last
    // descriptor, however the process ends. TIOCEXCL would stay on the tty
    // after a kill and keep every user but root out until the device is
    // plugged again.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        last_open_error = open_error_of(errno);
        close(fd);
        return PLAT_SERIAL_NONE;
    }
    tcflush(fd, TCIOFLUSH);

    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        plat_serial_close(fd);
        return PLAT_SERIAL_NONE;
    }
    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    // With VMIN 1 a non-blocking read says EAGAIN when nothing is there, so
    // that 0 means the device hung up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        plat_serial_close(fd);
        return PLAT_SERIAL_NONE;
    }
    // A pseudo-terminal has no modem lines and refuses this.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIS, &lines);
    last_open_error = plat_open_error::none;
    return fd;
}

bool plat_serial_write(plat_serial h, const uint8_t* data, int n, int timeout_ms)
{
    if (h < 0 || n < 0)
        return false;
    const int64_t deadline = plat_monotonic_ns() + int64_t{timeout_ms} * 1000000;
    int done = 0;
    while (done < n) {
        const ssize_t w = write(h, data + done, static_cast<size_t>(n - done));
        if (w > 0) {
            done += static_cast<int>(w);
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && errno != EAGAIN)
            return false;
        short revents = 0;
        if (!wait_for(h, POLLOUT, deadline, revents) || (revents & (POLLHUP | POLLERR | POLLNVAL)))
            return false;
    }
    return true;
}

int plat_serial_read(plat_serial h, uint8_t* buf, int n, int timeout_ms)
{
    if (h < 0 || n <= 0)
        return 0;
    const int64_t deadline = plat_monotonic_ns() + int64_t{timeout_ms} * 1000000;
    int got = 0;
    while (got < n) {
        const ssize_t r = read(h, buf + got, static_cast<size_t>(n - got));
        if (r > 0) {
            got += static_cast<int>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        // End of file or an error other than "nothing yet": the device is gone.
        if (r == 0 || errno != EAGAIN)
            break;
        short revents = 0;
        if (!wait_for(h, POLLIN, deadline, revents))
            break;
        if (!(revents & POLLIN) && (revents & (POLLHUP | POLLERR | POLLNVAL)))
            break;
    }
    return got;
}

void plat_serial_purge(plat_serial h)
{
    if (h < 0)
        return;
    // A frame written just before the purge may still wait for the device
    // (on a pseudo-terminal: for the other end to read it); flushing it would
    // lose a command the caller believes sent. Output gets a bounded time to
    // drain and is dropped only when the device does not take it.
    const int64_t deadline = plat_monotonic_ns() + int64_t{PURGE_DRAIN_MS} * 1000000;
    int queued = 0;
    while (ioctl(h, TIOCOUTQ, &queued) == 0 && queued > 0 && plat_monotonic_ns() < deadline) {
        const timespec tick{0, 1000000};
        nanosleep(&tick, nullptr);
    }
    tcflush(h, queued > 0 ? TCIOFLUSH : TCIFLUSH);
}

void plat_serial_close(plat_serial h)
{
    if (h < 0)
        return;
    plat_serial_purge(h);
    int dtr = TIOCM_DTR;
    ioctl(h, TIOCMBIC, &dtr);
    flock(h, LOCK_UN);
    close(h);
}
