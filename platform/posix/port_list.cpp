// SPDX-License-Identifier: MIT
// CDC ACM ports from sysfs: /sys/class/tty/ttyACM<n>, the USB product string
// as description.
#include "platform/port_list.h"

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <utility>

#include "platform/sysroot.h"
#include "platform/text.h"

namespace {

constexpr char TTY_CLASS_DIR[] = "/sys/class/tty";
constexpr char ACM_PREFIX[] = "ttyACM";

// Port number of a name "ttyACM" + decimal digits; false for any other name
// or a number too large to hold.
bool acm_port_number(const char* name, unsigned& number)
{
    const std::size_t plen = sizeof ACM_PREFIX - 1;
    return std::char_traits<char>::compare(name, ACM_PREFIX, plen) == 0 &&
           decimal_number(name + plen, number);
}

std::string first_line(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line))
        return {};
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

}  // namespace

bool plat_list_serial_ports(std::vector<unsigned>& numbers, std::vector<std::string>& descriptions)
{
    numbers.clear();
    descriptions.clear();
    const std::string dir = plat_sysroot_path(TTY_CLASS_DIR);
    DIR* d = opendir(dir.c_str());
    if (d == nullptr)
        return false;
    std::vector<std::pair<unsigned, std::string>> ports;
    while (const dirent* e = readdir(d)) {
        unsigned n = 0;
        if (!acm_port_number(e->d_name, n))
            continue;
        // device is a link into the USB tree; the product string sits on the
        // interface's parent, the USB device.
        ports.emplace_back(n, first_line(dir + "/" + e->d_name + "/device/../product"));
    }
    closedir(d);
    std::stable_sort(ports.begin(), ports.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [n, desc] : ports) {
        numbers.push_back(n);
        descriptions.push_back(std::move(desc));
    }
    return true;
}

bool plat_is_device_path(std::string_view text) { return text.starts_with('/'); }
