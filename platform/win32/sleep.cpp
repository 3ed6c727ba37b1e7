// SPDX-License-Identifier: MIT
#include "platform/sleep.h"

#include "platform/win32/records.h"

void plat_sleep_ms(unsigned ms) { Sleep(ms); }

void plat_tone(unsigned frequency_hz, unsigned duration_ms)
{
    // Without a speaker Beep fails at once; the run keeps its timing anyway.
    if (!Beep(frequency_hz, duration_ms))
        Sleep(duration_ms);
}
