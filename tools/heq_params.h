// SPDX-License-Identifier: MIT
// The HEQ (temperature-compensation) parameters: the record, held once from
// the parameter file and once from the watch, and the file that holds them.
#pragma once
#include <array>
#include <cstdint>
#include <type_traits>

#include "watchlink/protocol.h"

// Ten fields, named as the file's keys, in the order of HEQ_FIELDS.
struct heq_params {
    int32_t heq_a;
    int32_t heq_b;
    int32_t heq_c;
    int16_t heq_temp_offset;
    int8_t inhibition_correction;
    uint8_t TC_flags;
    int16_t T2_b;
    int16_t T2_a5;
    uint16_t a_off;
    int16_t a_day;

    // Equal when all ten fields are equal.
    friend constexpr bool operator==(const heq_params&, const heq_params&) = default;
};
static_assert(sizeof(heq_params) == 24);

// Calls f(i, field) for the ten fields in record order; i indexes HEQ_FIELDS.
template <class P, class F>
constexpr void visit_heq_fields(P& p, F&& f)
{
    f(0, p.heq_a);
    f(1, p.heq_b);
    f(2, p.heq_c);
    f(3, p.heq_temp_offset);
    f(4, p.inhibition_correction);
    f(5, p.TC_flags);
    f(6, p.T2_b);
    f(7, p.T2_a5);
    f(8, p.a_off);
    f(9, p.a_day);
}

// The record and the watch's layout agree on every field's width and sign.
consteval bool heq_record_matches_layout()
{
    heq_params p{};
    bool ok = true;
    visit_heq_fields(p, [&](int i, auto& field) {
        using T = std::remove_reference_t<decltype(field)>;
        ok = ok && sizeof(T) == HEQ_FIELDS[i].size && std::is_signed_v<T> == HEQ_FIELDS[i].is_signed;
    });
    return ok;
}
static_assert(heq_record_matches_layout());

// True when the records differ in any of the ten fields.
bool heq_params_differ(const heq_params& a, const heq_params& b);

// The parameter file: the first of these names that exists in the current
// directory; its section; the value of a missing key.
inline constexpr std::array<const char*, 3> HEQ_INI_NAMES = {"ORV3PARAM.INI", "ORV2PARAM.INI", "ORV1PARAM.INI"};
inline constexpr char HEQ_INI_SECTION[] = "heq_info";
inline constexpr std::array<int32_t, HEQ_FIELD_COUNT> HEQ_INI_DEFAULTS = {0, 0, 0, 0, 0, 128, 0, 0, 0, 0};
inline constexpr std::size_t HEQ_INI_PATH_MAX = 1023;  // a longer path counts as not found
// A parameter file is a few hundred bytes; anything this large is refused
// unread rather than searched.
inline constexpr std::size_t HEQ_INI_SIZE_MAX = 1024 * 1024;

// Both streams; the file that failed and why.
inline constexpr char MSG_INI_NOT_FOUND[] = "Error finding INI file - %s: %s\n";
inline constexpr char MSG_INI_TOO_LARGE[] = "INI file refused - %s: larger than %s bytes\n";
inline constexpr char MSG_INI_USED[] = "INI file used: %s\n";  // standard output

// Finds the parameter file and reads the ten keys into p, each cut to its
// field's width; the file is read once. 1: found and read, "INI file used"
// printed. TOOL_NO_PARAM_FILE: none of the names holds a section, or the
// first that exists is too large; p untouched, the message on both streams
// names the first file that exists but cannot serve, and why.
int read_heq_ini(heq_params& p);
