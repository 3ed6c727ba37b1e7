// SPDX-License-Identifier: MIT
// The platform's own calendar and zone records, SYSTEMTIME and
// TIME_ZONE_INFORMATION, with its TIME_ZONE_ID_* results.
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
