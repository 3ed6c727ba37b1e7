// SPDX-License-Identifier: MIT
// The serial ports present, by number, with their device descriptions.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// Fills the two parallel lists in the platform's listing order (ascending
// port number); a port whose description cannot be read gets "". False when
// the listing itself cannot be done.
bool plat_list_serial_ports(std::vector<unsigned>& numbers, std::vector<std::string>& descriptions);
// True when a port chosen by the user is a device path rather than a port
// number: an absolute path on POSIX; never on Windows, which takes the number.
bool plat_is_device_path(std::string_view text);
