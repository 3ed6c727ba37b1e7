// SPDX-License-Identifier: MIT
// orv3sim's command line.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "aplink/discovery.h"
#include "orv3_version.h"
#include "sim/sim.h"

sim_config sim_settings;

namespace {

enum class kind { flag, integer, byte, number, text, fault, poke, bytes, answer, sync_delay, heq_field, memory_order, stall };

struct option_row {
    const char* name;
    kind k;
    void* target;
    const char* help;
};

const option_row OPTIONS[] = {
    {"port", kind::integer, &sim_settings.port, "N: the access point is ttyACM<N> (7)"},
    {"description", kind::text, &sim_settings.description, "TEXT: the port's USB product string"},
    {"wine-prefix", kind::text, &sim_settings.wine_prefix, "DIR: also the port COM<N> of this Wine prefix"},
    {"transcript", kind::text, &sim_settings.transcript_path, "FILE: write every frame with time stamps"},
    {"summary", kind::text, &sim_settings.summary_path, "FILE: the closing summary (standard error)"},
    {"ap-refuse", kind::fault, &sim_settings.refuse, "STATUS[@CODE][:N]: reply with this status instead of 6"},
    {"ap-silent", kind::fault, &sim_settings.silent, "1[@CODE][:N]: send no reply"},
    {"ap-short", kind::fault, &sim_settings.short_reply, "BYTES[@CODE][:N]: send only the first BYTES reply bytes"},
    {"ap-late", kind::fault, &sim_settings.late, "MS[@CODE][:N]: send the reply MS ms late"},
    {"ap-stray", kind::fault, &sim_settings.stray, "BYTES[@CODE][:N]: send BYTES garbage bytes before the reply"},
    {"ap-header", kind::fault, &sim_settings.header, "V[@CODE][:N]: send V as reply bytes 0 and 2"},
    {"hangup-after", kind::integer, &sim_settings.hangup_after, "K: answer K frames, then vanish"},
    {"flash-lost", kind::flag, &sim_settings.flash_lost, ": lose the frame with the flash store: no reply, flash unchanged"},
    {"ap-value", kind::byte, &sim_settings.ap_value, "V: value byte of status and get replies (0)"},
    {"latency", kind::number, &sim_settings.latency_ms, "MS: radio latency each way (1.0)"},
    {"jitter", kind::number, &sim_settings.jitter_ms, "MS: added radio delay, uniform 0..MS (0)"},
    {"seed", kind::integer, &sim_settings.seed, "N: seed of the jitter (1)"},
    {"sync-delay", kind::sync_delay, &sim_settings.sync_delay_ms, "MS|never: watch enters sync mode MS after the link starts (0)"},
    {"offset", kind::number, &sim_settings.offset_ms, "MS: watch clock ahead of the PC's local time (0)"},
    {"drift", kind::number, &sim_settings.drift_ppm, "PPM: watch clock rate error (0)"},
    {"watch-utc", kind::flag, &sim_settings.watch_utc, ": the watch keeps UTC, not local time"},
    {"not-ready", kind::integer, &sim_settings.not_ready, "N: answer the first N clock reads CLOCK_NOT_READY"},
    {"subsec-flag", kind::flag, &sim_settings.subsec_flag, ": set bit 15 of every sub-second count"},
    {"clock-minute", kind::integer, &sim_settings.clock_minute, "V: every clock reading says minute V (60 on: out of range)"},
    {"clock-stall", kind::stall, nullptr, "MS:K[-L],...: replies to clock reads K (to L), from 1, reach the buffer MS ms late"},
    {"silent-after", kind::integer, &sim_settings.silent_after, "K: answer K commands, then fall silent"},
    {"answer-on", kind::answer, nullptr, "CODE:N: answer command CODE only from its N-th sending"},
    {"wrong-tag", kind::integer, &sim_settings.wrong_tag, "K: the first K tagged replies carry a wrong tag"},
    {"repeat-reply", kind::integer, &sim_settings.repeat_code, "CODE: every reply to command CODE is sent twice"},
    {"irq-err", kind::bytes, &sim_settings.irq_err, "V,V,...: irq_err values, cycled"},
    {"dst-info-max", kind::integer, &sim_settings.dst_info_max, "V: DST_INFO_MAX the watch reports; -1: none (-1)"},
    {"fw-kind", kind::byte, &sim_settings.fw_kind, "V: firmware kind (0xCC)"},
    {"fw-flags", kind::byte, &sim_settings.fw_flags, "V: firmware flags (0x10)"},
    {"fw-version", kind::byte, &sim_settings.fw_version, "V: firmware version 0..15 (3)"},
    {"fw-variant", kind::byte, &sim_settings.fw_variant, "V: firmware variant 0..7, bit 0 an 8 MHz clock (0)"},
    {"fw-month", kind::byte, &sim_settings.fw_month, "V: firmware month 0..15, 0 = January (1)"},
    {"fw-day", kind::byte, &sim_settings.fw_day, "V: firmware day 1..32 (29)"},
    {"poke", kind::poke, &sim_settings.pokes, "BLOCK:OFFSET:HEX: bytes into information block BLOCK"},
    {"stuck-field", kind::heq_field, &sim_settings.stuck_field, "NAME: block writes do not take this HEQ field (heq_b, ...)"},
    {"memory-order", kind::memory_order, &sim_settings.memory_order, "in|reversed|shuffled: order of memory replies (in)"},
    {"memory-repeat", kind::integer, &sim_settings.memory_repeat, "INDEX: answer this memory block twice"},
    {"memory-drop", kind::integer, &sim_settings.memory_drop, "INDEX: never answer this memory block"},
};

bool parse_long(std::string_view text, long& out)
{
    const std::string s(text);
    if (s.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtol(s.c_str(), &end, 0);
    return errno == 0 && *end == '\0';
}

bool parse_hex_bytes(std::string_view text, std::vector<uint8_t>& out)
{
    out.clear();
    std::string digits;
    for (char c : text)
        if (c != ',' && c != ' ')
            digits += c;
    if (digits.empty() || digits.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        long v = 0;
        if (!parse_long("0x" + digits.substr(i, 2), v))
            return false;
        out.push_back(static_cast<uint8_t>(v));
    }
    return true;
}

bool apply(const option_row& o, std::string_view value, bool has_value)
{
    long n = 0;
    switch (o.k) {
    case kind::flag:
        *static_cast<bool*>(o.target) = true;
        return !has_value;
    case kind::integer:
        if (!parse_long(value, n))
            return false;
        *static_cast<int*>(o.target) = static_cast<int>(n);
        return true;
    case kind::byte:
        if (!parse_long(value, n) || n < 0 || n > 255)
            return false;
        *static_cast<uint8_t*>(o.target) = static_cast<uint8_t>(n);
        return true;
    case kind::number: {
        const std::string s(value);
        char* end = nullptr;
        *static_cast<double*>(o.target) = std::strtod(s.c_str(), &end);
        return !s.empty() && *end == '\0';
    }
    case kind::text:
        *static_cast<std::string*>(o.target) = std::string(value);
        return has_value;
    case kind::fault: {
        auto& f = *static_cast<sim_ap_fault*>(o.target);
        const auto colon = value.find(':');
        long times = -1;
        if (colon != std::string_view::npos && (!parse_long(value.substr(colon + 1), times) || times < 1))
            return false;
        const std::string_view head = value.substr(0, colon);
        const auto at = head.find('@');
        long code = -1;
        if (!parse_long(head.substr(0, at), n) || n < 0 ||
            (at != std::string_view::npos && !parse_long(head.substr(at + 1), code)))
            return false;
        f.value = static_cast<int>(n);
        f.code = static_cast<int>(code);
        f.times = static_cast<int>(times);
        return true;
    }
    case kind::stall: {
        const auto colon = value.find(':');
        if (colon == std::string_view::npos || !parse_long(value.substr(0, colon), n) || n < 0)
            return false;
        sim_settings.clock_stall_ms = static_cast<int>(n);
        sim_settings.clock_stall_reads.clear();
        std::string_view rest = value.substr(colon + 1);
        while (!rest.empty()) {
            const std::string_view item = rest.substr(0, rest.find(','));
            const auto dash = item.find('-');
            long first = 0, last = 0;
            if (!parse_long(item.substr(0, dash), first) || first < 1)
                return false;
            last = first;
            if (dash != std::string_view::npos && (!parse_long(item.substr(dash + 1), last) || last < first))
                return false;
            sim_settings.clock_stall_reads.emplace_back(static_cast<int>(first), static_cast<int>(last));
            rest = item.size() < rest.size() ? rest.substr(item.size() + 1) : std::string_view{};
        }
        return !sim_settings.clock_stall_reads.empty();
    }
    case kind::poke: {
        const auto c1 = value.find(':');
        const auto c2 = value.find(':', c1 == std::string_view::npos ? c1 : c1 + 1);
        long block = 0, offset = 0;
        sim_poke p;
        if (c2 == std::string_view::npos || !parse_long(value.substr(0, c1), block) ||
            !parse_long(value.substr(c1 + 1, c2 - c1 - 1), offset) ||
            !parse_hex_bytes(value.substr(c2 + 1), p.bytes) || block < 0 ||
            block >= INFO_BLOCKS || offset < 0 ||
            offset + static_cast<long>(p.bytes.size()) > WATCH_FRAME_SIZE)
            return false;
        p.block = static_cast<int>(block);
        p.offset = static_cast<int>(offset);
        static_cast<std::vector<sim_poke>*>(o.target)->push_back(p);
        return true;
    }
    case kind::bytes: {
        auto& list = *static_cast<std::vector<uint8_t>*>(o.target);
        list.clear();
        std::string_view rest = value;
        while (!rest.empty()) {
            const auto comma = rest.find(',');
            if (!parse_long(rest.substr(0, comma), n) || n < 0 || n > 255)
                return false;
            list.push_back(static_cast<uint8_t>(n));
            rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        }
        return !list.empty();
    }
    case kind::answer: {
        const auto colon = value.find(':');
        long code = 0;
        if (colon == std::string_view::npos || !parse_long(value.substr(0, colon), code) ||
            !parse_long(value.substr(colon + 1), n) || n < 1)
            return false;
        sim_settings.answer_code = static_cast<int>(code);
        sim_settings.answer_on = static_cast<int>(n);
        return true;
    }
    case kind::heq_field:
        for (int i = 0; i < HEQ_FIELD_COUNT; ++i)
            if (value == HEQ_FIELDS[static_cast<std::size_t>(i)].name) {
                *static_cast<int*>(o.target) = i;
                return true;
            }
        return false;
    case kind::memory_order: {
        auto& order = *static_cast<sim_memory_order*>(o.target);
        if (value == "in")
            order = sim_memory_order::in;
        else if (value == "reversed")
            order = sim_memory_order::reversed;
        else if (value == "shuffled")
            order = sim_memory_order::shuffled;
        else
            return false;
        return true;
    }
    case kind::sync_delay:
        if (value == "never") {
            sim_settings.sync_delay_ms = -1;
            return true;
        }
        if (!parse_long(value, n) || n < 0)
            return false;
        sim_settings.sync_delay_ms = static_cast<int>(n);
        return true;
    }
    return false;
}

}  // namespace

namespace {

// The value an option takes, as its help text names it: "MS" of "MS: ...".
std::string value_name(const option_row& o)
{
    const std::string_view help = o.help;
    return std::string(help.substr(0, help.find(": ")));
}

}  // namespace

void sim_usage(FILE* out)
{
    std::fprintf(out,
                 "usage: orv3sim [options] [-- COMMAND [ARGS]]\n"
                 "       orv3sim --help | -h | --version\n\n"
                 "Simulates the access point and a watch in sync mode on a pseudo-terminal.\n"
                 "With a command: runs it against the simulator and exits with its status.\n"
                 "Without: serves until interrupted and prints the value of %s.\n"
                 "An access point fault with :N applies to the first N replies it matches.\n"
                 "No real watch is touched. Exit status: the command's; 2 for a bad option\n"
                 "or when the simulator cannot start; 0 when serving ends.\n\n"
                 "Options, each as --name=VALUE or --name VALUE:\n",
                 "ORV3_SYSROOT");
    // Each help text is "ARG: what it does", or ": what it does" for a flag.
    for (const option_row& o : OPTIONS) {
        const std::string_view help = o.help;
        const std::string value = value_name(o);
        const std::string arg = o.name + (value.empty() ? std::string() : std::string("=").append(value));
        std::fprintf(out, "  --%-30s %s\n", arg.c_str(), std::string(help.substr(value.size() + 2)).c_str());
    }
}

int sim_parse_options(int argc, char** argv)
{
    sim_settings.description = AP_DEVICE_DESCRIPTION;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--")
            return i + 1;
        if (arg == "--help" || arg == "-h" || arg == "--version") {
            if (argc != 2) {
                std::fprintf(stderr, "orv3sim: '%s' is given alone\n", argv[i]);
                return -1;
            }
            if (arg == "--version")
                std::printf("orv3sim %s\n", ORV3_VERSION);
            else
                sim_usage(stdout);
            std::exit(std::fflush(stdout) == 0 ? 0 : 2);
        }
        if (arg.substr(0, 2) != "--") {
            std::fprintf(stderr, "orv3sim: unexpected argument '%s' (a command follows \"--\"; see --help)\n", argv[i]);
            return -1;
        }
        arg.remove_prefix(2);
        const auto eq = arg.find('=');
        const std::string_view name = arg.substr(0, eq);
        std::string_view value = eq == std::string_view::npos ? std::string_view{} : arg.substr(eq + 1);
        bool has_value = eq != std::string_view::npos;
        const option_row* row = nullptr;
        for (const option_row& o : OPTIONS)
            if (name == o.name)
                row = &o;
        if (row == nullptr) {
            std::fprintf(stderr, "orv3sim: unknown option '--%.*s' (see --help)\n",
                         static_cast<int>(name.size()), name.data());
            return -1;
        }
        // "--name value" as well as "--name=value"; a value never starts
        // with "--", so a forgotten value does not swallow the next option.
        if (!has_value && row->k != kind::flag) {
            if (i + 1 >= argc || std::string_view(argv[i + 1]).substr(0, 2) == "--") {
                std::fprintf(stderr, "orv3sim: --%s needs a value: --%s=%s or --%s %s\n", row->name, row->name,
                             value_name(*row).c_str(), row->name, value_name(*row).c_str());
                return -1;
            }
            value = argv[++i];
            has_value = true;
        }
        if (!apply(*row, value, has_value)) {
            std::fprintf(stderr, "orv3sim: bad value for --%s: '%.*s' (see --help)\n", row->name,
                         static_cast<int>(value.size()), value.data());
            return -1;
        }
    }
    return argc;
}
