// SPDX-License-Identifier: MIT
// Test support for orv3set under orv3sim: one run with TZ set, the watch
// commands it put on the wire, and the simulator's closing summary.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "aplink/ap_commands.h"
#include "tests/support/sim_harness.h"
#include "watchlink/protocol.h"

// orv3set with these options against a watch made by sim_args, in zone tz,
// with a pseudo-terminal as its standard output (a console), or the file
// stdout_file.
inline run_result run_setter(std::vector<std::string> sim_args, std::vector<std::string> args,
                             const std::string& tz, const std::string& stdout_file = "")
{
    run_options o;
    o.sim_args = std::move(sim_args);
    o.command = {"orv3set"};
    o.command.insert(o.command.end(), args.begin(), args.end());
    o.stdout_tty = stdout_file.empty();
    o.stdout_file = stdout_file;
    o.env = {{"TZ", tz}};
    return run_tool(o);
}

// The watch commands in the order the watch received them.
inline std::vector<watch_command> watch_commands(const std::vector<wire_frame>& wire)
{
    std::vector<watch_command> out;
    for (const wire_frame& f : frames_of(wire, "ap>watch"))
        if (f.bytes.size() == WATCH_FRAME_SIZE) {
            watch_command c{};
            std::copy(f.bytes.begin(), f.bytes.end(), c.begin());
            out.push_back(c);
        }
    return out;
}

inline std::vector<uint8_t> command_codes(const std::vector<watch_command>& commands)
{
    std::vector<uint8_t> codes;
    for (const watch_command& c : commands)
        codes.push_back(c[POS_CODE]);
    return codes;
}

// Command codes in hex, runs of one code as "02x12": readable in a failure.
inline std::string codes_text(const std::vector<uint8_t>& codes)
{
    std::string out;
    for (std::size_t i = 0; i < codes.size();) {
        std::size_t j = i;
        while (j < codes.size() && codes[j] == codes[i])
            ++j;
        char buf[16];
        std::snprintf(buf, sizeof buf, j - i > 1 ? "%02x*%zu " : "%02x ", codes[i], j - i);
        out += buf;
        i = j;
    }
    return out;
}

inline std::vector<watch_command> commands_of(const std::vector<watch_command>& commands, uint8_t code)
{
    std::vector<watch_command> out;
    for (const watch_command& c : commands)
        if (c[POS_CODE] == code)
            out.push_back(c);
    return out;
}

// Requests of one access point command code that the PC sent.
inline std::size_t ap_requests(const std::vector<wire_frame>& wire, uint8_t code)
{
    return frames_of(wire, "pc>ap", 1, code).size();
}

// What the simulator's summary says about the watch at the end.
struct watch_end {
    bool clock_found = false;
    double clock_error_ms = 0;  // watch clock - PC local time
    int time_sets = 0;
    bool zone_found = false;
    int zone_offset = 0, zone_index = 0, dst_mode = 0;
    bool dst_rules = false;
    unsigned start_rule = 0, end_rule = 0;
    std::vector<watch_reply> blocks;  // extra0..extra4
};

// The number after the first occurrence of key in text.
inline bool number_after(const std::string& text, const std::string& key, double& value)
{
    const std::size_t at = text.find(key);
    if (at == std::string::npos)
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str() + at + key.size(), &end);
    return end != text.c_str() + at + key.size();
}

inline watch_end parse_summary(const std::string& summary)
{
    watch_end w;
    double v = 0;
    w.clock_found = number_after(summary, "watch clock - PC local time = ", w.clock_error_ms);
    if (number_after(summary, "(clock set ", v))
        w.time_sets = static_cast<int>(v);
    for (const std::string& l : lines_of(summary)) {
        if (std::sscanf(l.c_str(), "orv3sim: zone offset %d, zone index %d, dst mode %d", &w.zone_offset,
                        &w.zone_index, &w.dst_mode) == 3) {
            w.zone_found = true;
            const std::size_t rules = l.find(", dst rules start ");
            w.dst_rules = rules != std::string::npos &&
                          std::sscanf(l.c_str() + rules, ", dst rules start 0x%x end 0x%x", &w.start_rule,
                                      &w.end_rule) == 2;
        }
        int n = 0, used = 0;
        if (std::sscanf(l.c_str(), "orv3sim: extra%d%n", &n, &used) == 1) {
            std::istringstream hex(l.substr(static_cast<std::size_t>(used)));
            watch_reply r{};
            for (uint8_t& b : r) {
                unsigned x = 0;
                hex >> std::hex >> x;
                b = static_cast<uint8_t>(x);
            }
            w.blocks.push_back(r);
        }
    }
    return w;
}

// The setter's summary line of each step, when it is exactly in its format.
struct step_summary {
    long long average_diff = 0;
    double std_dev = 0;
    long long average_delay = 0;
};

inline std::vector<step_summary> step_summaries(const std::string& out)
{
    static const char FORMAT[] = "average diff = %lld ms.   std. dev. = %4.1f ms.   average delay = %lld ms.";
    std::vector<step_summary> steps;
    for (const std::string& l : lines_of(out)) {
        step_summary s;
        if (std::sscanf(l.c_str(), "average diff = %lld ms.   std. dev. = %lf ms.   average delay = %lld ms.",
                        &s.average_diff, &s.std_dev, &s.average_delay) != 3)
            continue;
        char again[160];
        std::snprintf(again, sizeof again, FORMAT, s.average_diff, s.std_dev, s.average_delay);
        if (l == again)
            steps.push_back(s);
    }
    return steps;
}

inline std::size_t count_of(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

inline bool ends_with(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}
