// SPDX-License-Identifier: MIT
// Where a user's programs keep state between runs.
#pragma once
#include <string>

// The per-user state directory ($XDG_STATE_HOME, else ~/.local/state on
// POSIX); false when the platform gives none.
bool plat_state_directory(std::string& dir);
// Makes the directory and its missing parents, readable by the user only.
// True when it exists afterwards.
bool plat_make_directories(const std::string& dir);
