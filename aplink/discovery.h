// SPDX-License-Identifier: MIT
// Finding the access point's serial port by its device description.
#pragma once
#include <string>
#include <vector>

inline constexpr char AP_DEVICE_DESCRIPTION[] = "KQ RX2210 Low-Power RF to USB CDC Serial Port";

// The serial ports present: numbers and descriptions, entry i of one
// belonging to entry i of the other. False when the listing could not run.
bool ListSerialPorts(std::vector<unsigned>& numbers, std::vector<std::string>& descriptions);
