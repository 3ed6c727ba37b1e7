// Test support for orv3set under orv3sim: one run with TZ set, the watch
// commands it put on the wire, and the simulator's closing summary.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "aplink/ap_commands.h"
#include "tests/support/sim_harness.h"
#include "watchlink/protocol.h"

inline int exit_status(int code) { return code & 0xFF; }

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

inline watch_end parse_summary(const std::string& summary)
{
    watch_end w;
    std::smatch m;
    const std::regex clock(R"(watch clock - PC local time = ([-+]\d+\.\d+) ms now(?: \(clock set (\d+) times\))?)");
    if (std::regex_search(summary, m, clock)) {
        w.clock_found = true;
        w.clock_error_ms = std::stod(m[1]);
        w.time_sets = m[2].matched ? std::stoi(m[2]) : 0;
    }
    const std::regex zone(R"(zone offset (-?\d+), zone index (-?\d+), dst mode (-?\d+)(?:, dst rules start 0x([0-9a-f]{4}) end 0x([0-9a-f]{4}))?)");
    if (std::regex_search(summary, m, zone)) {
        w.zone_found = true;
        w.zone_offset = std::stoi(m[1]);
        w.zone_index = std::stoi(m[2]);
        w.dst_mode = std::stoi(m[3]);
        w.dst_rules = m[4].matched;
        if (w.dst_rules) {
            w.start_rule = static_cast<unsigned>(std::stoul(m[4], nullptr, 16));
            w.end_rule = static_cast<unsigned>(std::stoul(m[5], nullptr, 16));
        }
    }
    const std::regex block(R"(orv3sim: extra\d((?: [0-9a-f]{2}){19}))");
    for (auto it = std::sregex_iterator(summary.begin(), summary.end(), block); it != std::sregex_iterator(); ++it) {
        std::istringstream hex((*it)[1].str());
        watch_reply r{};
        for (uint8_t& b : r) {
            unsigned v = 0;
            hex >> std::hex >> v;
            b = static_cast<uint8_t>(v);
        }
        w.blocks.push_back(r);
    }
    return w;
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
