// SPDX-License-Identifier: MIT
// Waiting: plain sleeps and console tones.
#pragma once

void plat_sleep_ms(unsigned ms);
// Sounds a tone and returns when it has sounded; on a machine without a
// speaker it is a silent wait of the same duration, so the run keeps its timing.
void plat_tone(unsigned frequency_hz, unsigned duration_ms);
