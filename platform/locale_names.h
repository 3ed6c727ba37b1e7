// SPDX-License-Identifier: MIT
// Names from the user's locale.
#pragma once
#include <cstddef>

// Full name of month n + 1 (n from 0) in the user's LC_TIME locale, as
// terminated text of at most size bytes; false when there is no such month.
bool plat_month_name(int n, char* buf, std::size_t size);
