// SPDX-License-Identifier: MIT
// The serial ports present, by number, with their device descriptions.
#pragma once
#include <string>
#include <vector>

// Fills the two parallel lists in the platform's listing order (ascending
// port number); a port whose description cannot be read gets "". False when
// the listing itself cannot be done.
bool plat_list_serial_ports(std::vector<unsigned>& numbers, std::vector<std::string>& descriptions);
