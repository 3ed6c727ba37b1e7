// SPDX-License-Identifier: MIT
// The simulated access point's device: a pseudo-terminal, presented under a
// temporary ORV3_SYSROOT as /dev/ttyACM<n> with a USB product string in sysfs.
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "sim/sim.h"

int sim_master_fd = -1;
std::string sim_sysroot;

namespace {

// The simulator keeps the slave open too, so the terminal (and its raw
// settings) lives on between the clients' sessions.
int slave_fd = -1;

bool make_dirs(const std::string& path)
{
    for (std::size_t i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/')
            if (mkdir(path.substr(0, i).c_str(), 0755) != 0 && errno != EEXIST)
                return false;
    return true;
}

// Wine maps COM<N> onto whatever device dosdevices/com<N> links to.
std::string wine_port_link()
{
    return sim_settings.wine_prefix + "/dosdevices/com" + std::to_string(sim_settings.port);
}

std::string slave_name;

int remove_entry(const char* path, const struct stat*, int, FTW*) { return remove(path); }

}  // namespace

bool sim_create_device()
{
    char name[256] = {};
    if (openpty(&sim_master_fd, &slave_fd, name, nullptr, nullptr) != 0)
        return false;
    fcntl(sim_master_fd, F_SETFD, FD_CLOEXEC);
    fcntl(slave_fd, F_SETFD, FD_CLOEXEC);
    fcntl(sim_master_fd, F_SETFL, O_NONBLOCK);
    // Raw from the start: an echoing terminal would hand our replies back to us.
    termios t{};
    tcgetattr(slave_fd, &t);
    cfmakeraw(&t);
    tcsetattr(slave_fd, TCSANOW, &t);

    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/orv3sim.XXXXXX";
    if (mkdtemp(tmpl.data()) == nullptr)
        return false;
    sim_sysroot = tmpl;
    const std::string port = "ttyACM" + std::to_string(sim_settings.port);
    // As in real sysfs: class/tty/<port>/device links to the USB interface,
    // whose parent, the USB device, carries the product string.
    const std::string usb = sim_sysroot + "/sys/devices/pci0000:00/usb1/1-1";
    const std::string iface = usb + "/1-1:1.0";
    const std::string cls = sim_sysroot + "/sys/class/tty/" + port;
    if (!make_dirs(iface) || !make_dirs(cls) || !make_dirs(sim_sysroot + "/dev"))
        return false;
    std::ofstream(usb + "/product") << sim_settings.description << "\n";
    slave_name = name;
    if (!sim_settings.wine_prefix.empty()) {
        if (!make_dirs(sim_settings.wine_prefix + "/dosdevices"))
            return false;
        // A link left by a simulator that was killed is replaced.
        unlink(wine_port_link().c_str());
        if (symlink(name, wine_port_link().c_str()) != 0)
            return false;
    }
    return symlink(iface.c_str(), (cls + "/device").c_str()) == 0 &&
           symlink(name, (sim_sysroot + "/dev/" + port).c_str()) == 0;
}

void sim_hang_up()
{
    if (sim_master_fd >= 0)
        close(sim_master_fd);
    if (slave_fd >= 0)
        close(slave_fd);
    sim_master_fd = slave_fd = -1;
    sim_transcript_note("hang-up");
}

void sim_remove_device()
{
    sim_hang_up();
    // Only our own link: another simulator may have taken the port since.
    if (!sim_settings.wine_prefix.empty() && !slave_name.empty()) {
        char target[256] = {};
        const ssize_t n = readlink(wine_port_link().c_str(), target, sizeof target - 1);
        if (n > 0 && slave_name == std::string(target, static_cast<std::size_t>(n)))
            unlink(wine_port_link().c_str());
    }
    if (!sim_sysroot.empty())
        nftw(sim_sysroot.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
    sim_sysroot.clear();
}
