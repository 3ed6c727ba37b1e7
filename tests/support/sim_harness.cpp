// SPDX-License-Identifier: MIT
#include "tests/support/sim_harness.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <ctime>
#include <functional>
#include <algorithm>
#include <ftw.h>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "aplink/ap_commands.h"
#include "tools/entry.h"
#include "tools/pc_clock_check.h"
#include "watchlink/protocol.h"

namespace {

std::vector<char*> c_args(const std::vector<std::string>& args)
{
    std::vector<char*> v;
    for (const std::string& a : args)
        v.push_back(const_cast<char*>(a.c_str()));
    v.push_back(nullptr);
    return v;
}

std::string resolve(const std::string& name)
{
    return name.find('/') == std::string::npos ? bin_path(name) : name;
}

constexpr int SIM_DEFAULT_PORT = 7;
constexpr char SIM_PORT_OPTION[] = "--port=";

// The port number a simulator with these options serves.
std::string sim_port(const std::vector<std::string>& sim_args)
{
    std::string port = std::to_string(SIM_DEFAULT_PORT);
    for (const std::string& a : sim_args)
        if (a.starts_with(SIM_PORT_OPTION))
            port = a.substr(sizeof SIM_PORT_OPTION - 1);
    return port;
}

constexpr std::size_t WINE_CONSOLE_COLUMNS = 80;

// What a terminal shows of Wine's console output: Wine draws the console on
// the terminal with escape sequences (a blank as "erase line, cursor right")
// and sounds a Beep as BEL. Its console is 80 columns wide: a line of exactly
// 80 characters wraps, and the line end after it shows as an empty line,
// which is taken out.
std::string terminal_text(const std::string& drawn)
{
    std::string shown;
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        if (drawn[i] == '\a')
            continue;
        if (drawn[i] != '\x1b' || i + 1 >= drawn.size() || drawn[i + 1] != '[') {
            shown += drawn[i];
            continue;
        }
        std::size_t end = i + 2;
        while (end < drawn.size() && (std::isdigit(static_cast<unsigned char>(drawn[end])) || drawn[end] == ';' ||
                                      drawn[end] == '?'))
            ++end;
        if (end >= drawn.size())
            break;
        if (drawn[end] == 'C')
            shown.append(end > i + 2 ? std::stoul(drawn.substr(i + 2, end - i - 2)) : 1, ' ');
        i = end;
    }
    std::string unwrapped;
    std::size_t last_width = 0;
    for (std::size_t at = 0; at < shown.size();) {
        std::size_t end = shown.find('\n', at);
        end = end == std::string::npos ? shown.size() : end + 1;
        const std::string line = shown.substr(at, end - at);
        const std::size_t width = line.find_first_of("\r\n") == std::string::npos ? line.size() : line.find_first_of("\r\n");
        if (!(width == 0 && last_width == WINE_CONSOLE_COLUMNS))
            unwrapped += line;
        last_width = width;
        at = end;
    }
    return unwrapped;
}

// Windows writes text with CR LF line ends.
std::string lf_line_ends(std::string text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    return out;
}

// Reads every descriptor until it ends; a pseudo-terminal ends with EIO.
// tick, when given, runs every few milliseconds; out_fd is closed once it
// has delivered out_lines lines.
void drain(std::vector<std::pair<int, std::string*>> fds, const std::function<void()>& tick = {},
           int out_fd = -1, int out_lines = -1)
{
    while (!fds.empty()) {
        if (tick)
            tick();
        std::vector<pollfd> p;
        for (auto& [fd, s] : fds)
            p.push_back({fd, POLLIN, 0});
        const int r = poll(p.data(), p.size(), tick ? 5 : 60000);
        if (r == 0 && tick)
            continue;
        if (r <= 0)
            break;
        for (std::size_t i = p.size(); i-- > 0;) {
            if (fds[i].first == out_fd && out_lines >= 0 &&
                std::count(fds[i].second->begin(), fds[i].second->end(), '\n') >= out_lines) {
                close(fds[i].first);
                fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
            if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buf[4096];
            const ssize_t r = read(fds[i].first, buf, sizeof buf);
            if (r > 0) {
                fds[i].second->append(buf, static_cast<std::size_t>(r));
            } else if (r == 0 || errno != EINTR) {
                close(fds[i].first);
                fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
}

}  // namespace

std::vector<uint8_t> closing_codes(const std::vector<wire_frame>& all)
{
    const std::vector<wire_frame> sent = frames_of(all, "pc>ap");
    std::size_t from = sent.size();
    for (std::size_t i = 0; i < sent.size(); ++i)
        if (sent[i].bytes.size() > AP_HEADER_SIZE && sent[i].bytes[1] == AP_SYNC_SEND_COMMAND &&
            sent[i].bytes[AP_HEADER_SIZE] == CMD_EXIT_SYNC)
            from = i;
    std::vector<uint8_t> codes;
    for (std::size_t i = from; i < sent.size(); ++i)
        codes.push_back(sent[i].bytes[1]);
    return codes;
}

int watch_sendings(const std::vector<wire_frame>& all, uint8_t code)
{
    int n = 0;
    for (const wire_frame& f : frames_of(all, "pc>ap", 1, AP_SYNC_SEND_COMMAND))
        n += f.bytes.size() > AP_HEADER_SIZE && f.bytes[AP_HEADER_SIZE] == code;
    return n;
}

std::string sim_arg(const std::string& name, long value, const std::string& rest)
{
    return "--" + name + "=" + std::to_string(value) + rest;
}

std::string sim_refuse(uint8_t ap_code)
{
    constexpr int NOT_ACKNOWLEDGED = AP_STATUS_ACK + 1;
    return sim_arg("ap-refuse", NOT_ACKNOWLEDGED, std::string("@").append(std::to_string(ap_code)));
}

std::string sim_poke(int block, int offset, const std::vector<uint8_t>& bytes)
{
    std::string hex;
    char b[3];
    for (uint8_t v : bytes) {
        std::snprintf(b, sizeof b, "%02x", v);
        hex += b;
    }
    return sim_arg("poke", block, std::string(":").append(std::to_string(offset)).append(":").append(hex));
}

std::string wine_exe_dir()
{
    const char* dir = std::getenv("ORV3_WINE_EXE_DIR");
    return dir != nullptr ? dir : "";
}

std::string bin_path(const std::string& name) { return std::string(ORV3_BIN_DIR) + "/" + name; }

namespace {

// Directories made by this process, removed when it ends (not by its children).
std::vector<std::string> temp_dirs;
pid_t temp_dirs_owner = 0;

int remove_entry(const char* path, const struct stat*, int, FTW*) { return remove(path); }

void remove_temp_dirs()
{
    if (getpid() != temp_dirs_owner)
        return;
    for (const std::string& d : temp_dirs)
        nftw(d.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

std::string make_temp_dir()
{
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/orv3test.XXXXXX";
    if (mkdtemp(tmpl.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    if (temp_dirs_owner != getpid()) {
        temp_dirs.clear();
        temp_dirs_owner = getpid();
        std::atexit(remove_temp_dirs);
    }
    temp_dirs.push_back(tmpl);
    return tmpl;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<wire_frame> read_transcript(const std::string& path)
{
    std::vector<wire_frame> frames;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        wire_frame f;
        ls >> f.t >> f.dir;
        if (f.dir == "note") {
            std::getline(ls >> std::ws, f.note);
        } else {
            std::string hex;
            while (ls >> hex)
                f.bytes.push_back(static_cast<uint8_t>(std::stoul(hex, nullptr, 16)));
        }
        frames.push_back(std::move(f));
    }
    return frames;
}

std::vector<wire_frame> frames_of(const std::vector<wire_frame>& all, const std::string& dir, int pos, int value)
{
    std::vector<wire_frame> out;
    for (const wire_frame& f : all)
        if (f.dir == dir && (pos < 0 || (static_cast<std::size_t>(pos) < f.bytes.size() && f.bytes[pos] == value)))
            out.push_back(f);
    return out;
}

sim_server::sim_server(std::vector<std::string> args)
{
    dir = make_temp_dir();
    transcript_path = dir + "/transcript";
    summary_path = dir + "/summary";
    std::vector<std::string> argv = {bin_path("orv3sim"), "--transcript=" + transcript_path,
                                     "--summary=" + summary_path};
    argv.insert(argv.end(), args.begin(), args.end());
    int out[2];
    if (pipe(out) != 0)
        throw std::runtime_error("pipe failed");
    pid = fork();
    if (pid == 0) {
        // A test that dies or is killed at its time-out takes its simulator along.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        auto v = c_args(argv);
        execv(v[0], v.data());
        _exit(127);
    }
    close(out[1]);
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n')
        line += c;
    close(out[0]);
    const auto eq = line.find('=');
    if (eq == std::string::npos)
        throw std::runtime_error("orv3sim did not start: " + line);
    sysroot = line.substr(eq + 1);
    setenv("ORV3_SYSROOT", sysroot.c_str(), 1);
}

void sim_server::stop()
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int st = 0;
    waitpid(pid, &st, 0);
    pid = -1;
    unsetenv("ORV3_SYSROOT");
}

sim_server::~sim_server() { stop(); }

namespace {

// Moves the lines about the host (its clock, its priority) from err to host.
void take_host_lines(std::string& err, std::string& host)
{
    std::string kept;
    for (std::size_t pos = 0; pos < err.size();) {
        const std::size_t end = std::min(err.find('\n', pos), err.size() - 1) + 1;
        const std::string_view line(err.data() + pos, end - pos);
        const bool about_host = line.substr(0, std::strlen(PC_CLOCK_LINE_START)) == PC_CLOCK_LINE_START ||
                                line == MSG_NO_REALTIME;
        (about_host ? host : kept).append(line);
        pos = end;
    }
    err = kept;
}

}  // namespace

run_result run_tool(const run_options& o)
{
    run_result res;
    const std::string dir = make_temp_dir();
    const std::string transcript = o.server ? o.server->transcript_path : dir + "/transcript";
    const std::string summary = dir + "/summary";
    std::vector<std::string> argv;
    const char* wine_prefix = std::getenv("WINEPREFIX");
    if (o.windows && (wine_exe_dir().empty() || wine_prefix == nullptr))
        throw std::runtime_error("a run under Wine needs ORV3_WINE_EXE_DIR and WINEPREFIX");
    if (!o.no_sim && !o.server) {
        argv = {bin_path("orv3sim"), "--transcript=" + transcript, "--summary=" + summary};
        if (o.windows)
            argv.push_back(std::string("--wine-prefix=") + wine_prefix);
        argv.insert(argv.end(), o.sim_args.begin(), o.sim_args.end());
        argv.push_back("--");
    }
    if (o.windows) {
        argv.push_back(ORV3_WINE);
        argv.push_back(wine_exe_dir() + "/" + o.command.at(0) + ".exe");
    } else {
        argv.push_back(resolve(o.command.at(0)));
    }
    argv.insert(argv.end(), o.command.begin() + 1, o.command.end());

    int in[2], err[2], out[2] = {-1, -1};
    if (pipe(in) != 0 || pipe(err) != 0)
        throw std::runtime_error("pipe failed");
    if (o.stdout_tty) {
        if (openpty(&out[0], &out[1], nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        termios t{};
        tcgetattr(out[1], &t);
        cfmakeraw(&t);  // keep the bytes as written: no "\r\n" for "\n"
        tcsetattr(out[1], TCSANOW, &t);
    } else if (o.stdout_file.empty() && pipe(out) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(err[1], 2);
        if (!o.stdout_file.empty()) {
            const int fd = open(o.stdout_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, 1);
        } else {
            dup2(out[1], 1);
        }
        for (int fd : {in[0], in[1], err[0], err[1], out[0], out[1]})
            if (fd > 2)
                close(fd);
        // No run of a test adds to the user's own record of readings.
        setenv("ORV3_LOG", "off", 1);
        // Without a simulator of its own a command may still be pointed at one.
        if (o.no_sim)
            unsetenv("ORV3_SYSROOT");
        if (o.windows) {
            setenv("ORV3_PORT", sim_port(o.sim_args).c_str(), 1);
            setenv("WINEDEBUG", "-all", 1);
            // Wine finds its running server below the temporary directory:
            // with the tests' own, each run would start a server of its own
            // on a registry the running one has not yet written out.
            unsetenv("TMPDIR");
            // Headless: no display for Wine to open windows on.
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
        }
        for (const auto& [k, v] : o.env)
            setenv(k.c_str(), v.c_str(), 1);
        if (!o.cwd.empty() && chdir(o.cwd.c_str()) != 0)
            _exit(126);
        if (o.user != 0 && (setgid(o.user) != 0 || setuid(o.user) != 0))
            _exit(126);
        if (o.closed_stream >= 0)
            close(o.closed_stream);
        auto v = c_args(argv);
        execv(v[0], v.data());
        _exit(127);
    }
    close(in[0]);
    close(err[1]);
    if (out[1] >= 0)
        close(out[1]);
    signal(SIGPIPE, SIG_IGN);
    if (!o.input.empty() && write(in[1], o.input.data(), o.input.size()) < 0) {
    }
    close(in[1]);
    std::vector<std::pair<int, std::string*>> fds = {{err[0], &res.err}};
    if (out[0] >= 0)
        fds.emplace_back(out[0], &res.out);
    bool signalled = false;
    int64_t again_at = -1;
    const auto now_ms = [] {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return int64_t{ts.tv_sec} * 1000 + ts.tv_nsec / 1000000;
    };
    const auto send_signal = [&] {
        if (again_at >= 0 && now_ms() >= again_at) {
            kill(pid, o.signal);
            again_at = -1;
        }
        if (signalled || o.signal == 0)
            return;
        int n = 0;
        for (const wire_frame& f : frames_of(read_transcript(transcript), "ap>watch", 0, o.signal_on))
            n += f.bytes.size() > 0;
        if (n >= o.signal_after) {
            kill(pid, o.signal);
            signalled = true;
            if (o.signal_again_ms >= 0)
                again_at = now_ms() + o.signal_again_ms;
        }
    };
    drain(fds, o.signal != 0 ? std::function<void()>(send_signal) : std::function<void()>(), out[0], o.stdout_lines);
    if (o.windows) {
        res.out = lf_line_ends(o.stdout_tty ? terminal_text(res.out) : res.out);
        res.err = lf_line_ends(res.err);
    }
    take_host_lines(res.err, res.host);
    int st = 0;
    waitpid(pid, &st, 0);
    res.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    struct stat out_stat{};
    // A device such as /dev/full is written to, not read back.
    if (!o.stdout_file.empty() && stat(o.stdout_file.c_str(), &out_stat) == 0 && S_ISREG(out_stat.st_mode))
        res.out = o.windows ? lf_line_ends(read_file(o.stdout_file)) : read_file(o.stdout_file);
    res.summary = read_file(summary);
    res.wire = read_transcript(transcript);
    return res;
}
