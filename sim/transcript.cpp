// SPDX-License-Identifier: MIT
// Transcript: one line per frame, "<seconds since start> <direction> <hex bytes>".
// Directions: pc>ap, ap>pc, ap>watch, watch>ap; notes are "<seconds> note <text>".
#include "platform/clock.h"
#include "sim/sim.h"

namespace {
FILE* out = nullptr;
int64_t start_ns = 0;

void stamp() { std::fprintf(out, "%.6f ", static_cast<double>(plat_monotonic_ns() - start_ns) / 1e9); }
}  // namespace

bool sim_transcript_open(const std::string& path)
{
    start_ns = plat_monotonic_ns();
    out = std::fopen(path.c_str(), "w");
    return out != nullptr;
}

void sim_transcript_bytes(const char* direction, const uint8_t* bytes, std::size_t n)
{
    if (out == nullptr)
        return;
    stamp();
    std::fputs(direction, out);
    for (std::size_t i = 0; i < n; ++i)
        std::fprintf(out, " %02x", bytes[i]);
    std::fputc('\n', out);
    std::fflush(out);
}

void sim_transcript_note(const char* text)
{
    if (out == nullptr)
        return;
    stamp();
    std::fprintf(out, "note %s\n", text);
    std::fflush(out);
}
