// SPDX-License-Identifier: MIT
// orv3sim: runs a command against the simulated access point and watch, or
// serves until interrupted.
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sched.h>
#include <sys/signalfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/sysroot.h"
#include "sim/sim.h"

namespace {

pid_t start_command(char** argv, const sigset_t& blocked)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    // The command sets up its own priority and signals, as it would alone.
    sched_param normal{};
    sched_setscheduler(0, SCHED_OTHER, &normal);
    sigprocmask(SIG_UNBLOCK, &blocked, nullptr);
    setenv(ORV3_SYSROOT_ENV, sim_sysroot.c_str(), 1);
    execvp(argv[0], argv);
    std::fprintf(stderr, "orv3sim: cannot run %s: %s\n", argv[0], std::strerror(errno));
    _exit(127);
}

void print_summary()
{
    FILE* out = stderr;
    if (!sim_settings.summary_path.empty() && (out = std::fopen(sim_settings.summary_path.c_str(), "w")) == nullptr) {
        std::fprintf(stderr, "orv3sim: cannot write %s: %s\n", sim_settings.summary_path.c_str(), std::strerror(errno));
        out = stderr;
    }
    sim_ap_summary(out);
    sim_watch_summary(out);
    if (out != stderr)
        std::fclose(out);
}

int exit_code(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    // The pseudo-terminal must not take the place of a closed standard stream.
    plat_make_std_streams_valid();
    const int command = sim_parse_options(argc, argv);
    if (command < 0)
        return 2;
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int sigfd = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);

    if (!sim_create_device()) {
        std::fprintf(stderr, "orv3sim: cannot create the pseudo-terminal device: %s\n", std::strerror(errno));
        sim_remove_device();
        return 2;
    }
    if (!sim_settings.transcript_path.empty() && !sim_transcript_open(sim_settings.transcript_path)) {
        std::fprintf(stderr, "orv3sim: cannot write %s: %s\n", sim_settings.transcript_path.c_str(), std::strerror(errno));
        sim_remove_device();
        return 2;
    }
    sim_watch_init();
    // The simulated hardware must answer on time even on a loaded machine.
    plat_timer_begin_period(1);
    plat_raise_priority();

    pid_t child = -1;
    int pidfd = -1;
    if (command < argc) {
        child = start_command(argv + command, signals);
        if (child < 0) {
            std::fprintf(stderr, "orv3sim: cannot start the command: %s\n", std::strerror(errno));
            sim_remove_device();
            return 2;
        }
        pidfd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
    } else {
        std::printf("%s=%s\n", ORV3_SYSROOT_ENV, sim_sysroot.c_str());
        std::fflush(stdout);
    }

    int status = 0;
    bool running = true;
    while (running) {
        pollfd fds[3] = {{sigfd, POLLIN, 0}, {pidfd, POLLIN, 0}, {sim_master_fd, POLLIN, 0}};
        const int64_t next = sim_next_event_at();
        timespec ts{};
        timespec* timeout = nullptr;
        if (next != INT64_MAX) {
            const int64_t left = std::max<int64_t>(0, next - plat_monotonic_ns());
            ts = {static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
            timeout = &ts;
        } else if (child > 0 && pidfd < 0) {
            ts = {0, 10000000};  // no pidfd: look for the command's end now and then
            timeout = &ts;
        }
        if (ppoll(fds, 3, timeout, nullptr) < 0 && errno != EINTR)
            break;
        if (sim_master_fd >= 0 && (fds[2].revents & POLLIN)) {
            uint8_t buf[512];
            ssize_t r;
            while (sim_master_fd >= 0 && (r = read(sim_master_fd, buf, sizeof buf)) > 0)
                sim_ap_receive_bytes(buf, static_cast<std::size_t>(r));
        }
        sim_run_due_events(plat_monotonic_ns());
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo si{};
            if (read(sigfd, &si, sizeof si) == sizeof si) {
                if (child > 0)
                    kill(child, static_cast<int>(si.ssi_signo));
                else
                    running = false;
            }
        }
        if (child > 0 && waitpid(child, &status, WNOHANG) == child) {
            status = exit_code(status);
            running = false;
        }
    }
    print_summary();
    sim_remove_device();
    return child > 0 ? status : 0;
}
