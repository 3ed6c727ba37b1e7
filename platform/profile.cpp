#include "platform/profile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t READ_CHUNK = 4096;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && is_blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// One line of the file, classified.
struct profile_line {
    enum { other, section, entry } kind = other;
    std::string_view name;   // section or key
    std::string_view value;  // entry only
};

profile_line classify(std::string_view raw)
{
    profile_line l;
    const std::string_view t = trim(raw);
    if (t.empty() || t.front() == ';')
        return l;
    if (t.front() == '[') {
        const auto close = t.find(']');
        if (close != std::string_view::npos) {
            l.kind = profile_line::section;
            l.name = trim(t.substr(1, close - 1));
        }
        return l;
    }
    l.kind = profile_line::entry;
    const auto eq = t.find('=');
    l.name = trim(t.substr(0, eq));
    if (eq != std::string_view::npos) {
        std::string_view v = trim(t.substr(eq + 1));
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        l.value = v;
    }
    return l;
}

// Hands each line (cut to PROFILE_LINE_MAX) to on_line until it returns
// false. False when the file is missing or cannot be read.
template <class F>
bool for_each_line(const char* path, F&& on_line)
{
    std::error_code ec;
    if (path == nullptr || !std::filesystem::is_regular_file(path, ec))
        return false;
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr)
        return false;
    std::vector<char> chunk(READ_CHUNK);
    std::string line;
    bool first = true;
    // The first line loses a UTF-8 byte order mark, as editors write one.
    const auto deliver = [&] {
        std::string_view l(line);
        if (first && l.substr(0, 3) == "\xEF\xBB\xBF")
            l.remove_prefix(3);
        first = false;
        return on_line(l);
    };
    bool go_on = true;
    std::size_t got = 0;
    while (go_on && (got = std::fread(chunk.data(), 1, chunk.size(), f)) > 0) {
        for (std::size_t i = 0; i < got && go_on; ++i) {
            if (chunk[i] == '\n') {
                go_on = deliver();
                line.clear();
            } else if (line.size() < PROFILE_LINE_MAX) {
                line.push_back(chunk[i]);
            }
        }
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed)
        return false;
    if (go_on && !line.empty())
        deliver();
    return true;
}

// The integer syntax of a value; see the header.
int32_t value_to_int(std::string_view v)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == '-' || v[i] == '+'))
        negative = v[i++] == '-';
    uint32_t n = 0;  // unsigned: wraps around modulo 2^32
    for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i)
        n = n * 10u + static_cast<uint32_t>(v[i] - '0');
    return static_cast<int32_t>(negative ? 0u - n : n);
}

}  // namespace

std::size_t plat_profile_section_names(const char* path, char* buf, std::size_t size)
{
    if (buf == nullptr || size < 2)
        return 0;
    std::memset(buf, 0, size);
    std::size_t used = 0;  // characters placed, each name with its 0; at most size - 2
    bool cut = false;
    const bool read = for_each_line(path, [&](std::string_view raw) {
        const profile_line l = classify(raw);
        if (l.kind != profile_line::section || l.name.empty())
            return true;
        const std::size_t room = size - 2 - used;  // for the name and its 0
        if (l.name.size() + 1 > room) {
            std::memcpy(buf + used, l.name.data(), l.name.size() < room ? l.name.size() : room);
            cut = true;
            return false;
        }
        std::memcpy(buf + used, l.name.data(), l.name.size());
        used += l.name.size() + 1;
        return true;
    });
    if (!read) {
        std::memset(buf, 0, size);
        return 0;
    }
    if (!cut)
        return used;
    // As the Windows call does with a list that does not fit.
    buf[size - 2] = buf[size - 1] = '\0';
    return size - 2;
}

int32_t plat_profile_int(const char* section, const char* key, int32_t def, const char* path)
{
    if (section == nullptr || key == nullptr)
        return def;
    enum { before, inside, after } where = before;  // relative to the first matching section
    bool found = false;
    std::string value;
    for_each_line(path, [&](std::string_view raw) {
        const profile_line l = classify(raw);
        if (l.kind == profile_line::section) {
            if (where == inside)
                where = after;
            else if (where == before && same_name(l.name, section))
                where = inside;
            return where != after;
        }
        if (where == inside && l.kind == profile_line::entry && same_name(l.name, key)) {
            found = true;
            value.assign(l.value);
            return false;
        }
        return true;
    });
    if (!found || value.empty())
        return def;
    return value_to_int(value);
}
