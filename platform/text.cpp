// SPDX-License-Identifier: MIT
// Portable code-page conversion and bounded copies of terminated text.
#include "platform/text.h"

#include <algorithm>

namespace {

constexpr char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr char32_t LAST_ANSI_CHAR = 0x7F;
constexpr char UNMAPPABLE = '?';

template <typename Char>
std::basic_string_view<Char> view_of(std::span<const Char> field)
{
    const auto end = std::find(field.begin(), field.end(), Char{0});
    return {field.data(), static_cast<std::size_t>(end - field.begin())};
}

// Copies src into dest, each character through map, cut and terminated.
template <typename From, typename To, typename Map>
std::size_t convert(std::basic_string_view<From> src, std::span<To> dest, Map map)
{
    if (dest.empty())
        return 0;
    const std::size_t n = std::min(src.size(), dest.size() - 1);
    for (std::size_t i = 0; i < n; ++i)
        dest[i] = map(src[i]);
    dest[n] = To{0};
    return n;
}

template <typename Unit, std::size_t N>
std::u16string name_of(const Unit (&field)[N])
{
    static_assert(sizeof(Unit) == sizeof(char16_t));
    const auto units = view_of(std::span<const Unit>(field));
    std::u16string name(units.size(), u'\0');
    std::transform(units.begin(), units.end(), name.begin(),
                   [](Unit c) { return static_cast<char16_t>(c); });
    return name;
}

template <typename Unit, std::size_t N>
void set_name(Unit (&field)[N], std::u16string_view name)
{
    convert(name, std::span<Unit>(field), [](char16_t c) { return static_cast<Unit>(c); });
}

}  // namespace

std::string_view text_view(std::span<const char> field) { return view_of(field); }

std::u16string_view text_view(std::span<const char16_t> field) { return view_of(field); }

std::size_t widen_text(std::string_view src, std::span<char16_t> dest)
{
    return convert(src, dest, [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= LAST_ANSI_CHAR ? char16_t{byte} : char16_t{UNMAPPABLE};
    });
}

std::size_t narrow_text(std::u16string_view src, std::span<char> dest)
{
    return convert(src, dest, [](char16_t c) {
        return c <= LAST_ANSI_CHAR ? static_cast<char>(c) : UNMAPPABLE;
    });
}

std::size_t copy_text(std::string_view src, std::span<char> dest)
{
    return convert(src, dest, [](char c) { return c; });
}

std::size_t copy_text(std::u16string_view src, std::span<char16_t> dest)
{
    return convert(src, dest, [](char16_t c) { return c; });
}

bool decimal_number(std::string_view digits, unsigned& number)
{
    if (digits.empty())
        return false;
    unsigned long long n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + static_cast<unsigned>(c - '0');
        if (n > 0xFFFFFFFFULL)
            return false;
    }
    number = static_cast<unsigned>(n);
    return true;
}

std::u16string zone_standard_name(const TIME_ZONE_INFORMATION& tzi) { return name_of(tzi.StandardName); }

std::u16string zone_daylight_name(const TIME_ZONE_INFORMATION& tzi) { return name_of(tzi.DaylightName); }

void set_zone_names(TIME_ZONE_INFORMATION& tzi, std::u16string_view standard,
                    std::u16string_view daylight)
{
    set_name(tzi.StandardName, standard);
    set_name(tzi.DaylightName, daylight);
}

bool equal_ignoring_case(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return ascii_lower(x) == ascii_lower(y); });
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equal_ignoring_case(text.substr(0, prefix.size()), prefix);
}
