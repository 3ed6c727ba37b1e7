// Transcript: one line per frame, "<seconds since start> <direction> <hex bytes>".
// Directions: pc>ap, ap>pc, ap>watch, watch>ap; notes are "<seconds> note <text>".
#include "sim/sim.h"

namespace {
FILE* out = nullptr;
int64_t start_ns = 0;

void stamp() { std::fprintf(out, "%.6f ", static_cast<double>(sim_now_ns() - start_ns) / 1e9); }
}  // namespace

bool transcript_open(const std::string& path)
{
    start_ns = sim_now_ns();
    out = std::fopen(path.c_str(), "w");
    return out != nullptr;
}

void transcript_bytes(const char* direction, const uint8_t* bytes, std::size_t n)
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

void transcript_note(const char* text)
{
    if (out == nullptr)
        return;
    stamp();
    std::fprintf(out, "note %s\n", text);
    std::fflush(out);
}
