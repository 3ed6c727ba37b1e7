// SPDX-License-Identifier: MIT
// ORV3_SYSROOT: a directory that stands for "/" when devices and sysfs are
// looked up, so a simulated access point can present itself like a real one.
#pragma once
#include <string>

inline constexpr char ORV3_SYSROOT_ENV[] = "ORV3_SYSROOT";

// The path to open for an absolute system path (unchanged without ORV3_SYSROOT).
std::string plat_sysroot_path(const std::string& path);
