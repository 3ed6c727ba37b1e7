// SPDX-License-Identifier: MIT
#include "platform/profile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

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

// Cuts text, fed in pieces, into lines (each cut to PROFILE_LINE_MAX) and
// hands them to on_line until it returns false.
template <class F>
struct line_splitter {
    F& on_line;
    std::string line;
    bool first = true;
    bool go_on = true;

    // The first line loses a UTF-8 byte order mark, as editors write one.
    void deliver()
    {
        std::string_view l(line);
        if (first && l.substr(0, 3) == "\xEF\xBB\xBF")
            l.remove_prefix(3);
        first = false;
        go_on = on_line(l);
        line.clear();
    }
    void feed(std::string_view piece)
    {
        for (std::size_t i = 0; i < piece.size() && go_on; ++i) {
            if (piece[i] == '\n' || piece[i] == '\r')
                deliver();
            else if (line.size() < PROFILE_LINE_MAX)
                line.push_back(piece[i]);
        }
    }
    void finish()
    {
        if (go_on && !line.empty())
            deliver();
    }
};

template <class F>
void for_each_line_in(std::string_view text, F&& on_line)
{
    line_splitter<F> lines{on_line, {}};
    lines.feed(text);
    lines.finish();
}

// The same over a file, read in chunks. False when the file is missing or
// cannot be read.
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
    line_splitter<F> lines{on_line, {}};
    std::size_t got = 0;
    while (lines.go_on && (got = std::fread(chunk.data(), 1, chunk.size(), f)) > 0)
        lines.feed(std::string_view(chunk.data(), got));
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed)
        return false;
    lines.finish();
    return true;
}

// Value of a digit in bases up to 36; 36 for no digit.
uint32_t digit_value(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<uint32_t>(c - '0');
    if (c >= 'a' && c <= 'z')
        return static_cast<uint32_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'Z')
        return static_cast<uint32_t>(c - 'A' + 10);
    return 36;
}

// The integer syntax of a value; see the header.
int32_t value_to_int(std::string_view v)
{
    std::size_t i = 0;
    while (i < v.size() && static_cast<unsigned char>(v[i]) <= ' ' && v[i] != '\0')
        ++i;
    bool negative = false;
    if (i < v.size() && (v[i] == '-' || v[i] == '+'))
        negative = v[i++] == '-';
    uint32_t base = 10;
    if (i + 1 < v.size() && v[i] == '0') {
        const char prefix = v[i + 1];
        base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        if (base != 10)
            i += 2;
    }
    uint32_t n = 0;  // unsigned: wraps around modulo 2^32
    for (; i < v.size() && digit_value(v[i]) < base; ++i)
        n = n * base + digit_value(v[i]);
    return static_cast<int32_t>(negative ? 0u - n : n);
}

}  // namespace

namespace {

// The section names of a file read by for_each: see the header.
template <class ForEachLine>
std::size_t section_names(ForEachLine&& for_each, char* buf, std::size_t size)
{
    if (buf == nullptr || size < 2)
        return 0;
    std::memset(buf, 0, size);
    std::size_t used = 0;  // characters placed, each name with its 0; at most size - 2
    bool cut = false;
    const bool read = for_each([&](std::string_view raw) {
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

template <class ForEachLine>
int32_t key_int(ForEachLine&& for_each, const char* section, const char* key, int32_t def)
{
    if (section == nullptr || key == nullptr)
        return def;
    enum { before, inside, after } where = before;  // relative to the first matching section
    bool found = false;
    std::string value;
    for_each([&](std::string_view raw) {
        const profile_line l = classify(raw);
        if (l.kind == profile_line::section) {
            if (where == inside)
                where = after;
            else if (where == before && !l.name.empty() && equal_ignoring_case(l.name, section))
                where = inside;
            return where != after;
        }
        if (where == inside && l.kind == profile_line::entry && equal_ignoring_case(l.name, key)) {
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

}  // namespace

std::size_t profile_file_section_names(const char* path, char* buf, std::size_t size)
{
    return section_names([&](auto&& on_line) { return for_each_line(path, on_line); }, buf, size);
}

int32_t profile_file_int(const char* section, const char* key, int32_t def, const char* path)
{
    return key_int([&](auto&& on_line) { return for_each_line(path, on_line); }, section, key, def);
}

std::size_t profile_text_section_names(std::string_view text, char* buf, std::size_t size)
{
    return section_names([&](auto&& on_line) { for_each_line_in(text, on_line); return true; }, buf, size);
}

int32_t profile_text_int(std::string_view text, const char* section, const char* key, int32_t def)
{
    return key_int([&](auto&& on_line) { for_each_line_in(text, on_line); return true; }, section, key, def);
}
