// SPDX-License-Identifier: MIT
// The watch's three zone tables, made from one list, and the matching.
#include "timezones/watch_zones.h"

#include <algorithm>
#include <array>

#include "platform/text.h"
#include "platform/timezone.h"

namespace {

// Which tables hold a row of the list.
constexpr uint8_t T1 = 1, T2 = 2, T3 = 4, ALL = T1 | T2 | T3;
constexpr int8_t NONE = TZ_NO_DST_RULE;

struct ListedZone {
    uint8_t tables;
    char city[5];
    int8_t offset;
    int8_t dst_rule;
    const char* key_name;
};

// All rows of the three tables, in table order. Type 3 adds "UT-3" and has
// "RIOJ" with rule 5 where type 2 has "BRAZ"; type 1 lacks the (GMT±hh) rows,
// "DARW" and "BRIS".
constexpr ListedZone ZONE_LIST[] = {
    {ALL,   "PAGO", -44, NONE, "Samoa Standard Time"},
    {ALL,   "HONL", -40, NONE, "Hawaiian Standard Time"},
    {ALL,   "ANCH", -36,    3, "Alaskan Standard Time"},
    {T2|T3, "UT-9", -36, NONE, "(GMT-09)"},
    {ALL,   "L A ", -32,    3, "Pacific Standard Time"},
    {T2|T3, "UT-8", -32, NONE, "(GMT-08)"},
    {ALL,   "DENV", -28,    3, "Mountain Standard Time"},
    {T2|T3, "UT-7", -28, NONE, "(GMT-07)"},
    {ALL,   "CHIC", -24,    3, "Central Standard Time"},
    {T2|T3, "UT-6", -24, NONE, "(GMT-06)"},
    {ALL,   " NYC", -20,    3, "Eastern Standard Time"},
    {T2|T3, "UT-5", -20, NONE, "(GMT-05)"},
    {ALL,   "CARC", -18, NONE, "Venezuela Standard Time"},
    {T2|T3, "UT-4", -16, NONE, "(GMT-04)"},
    {ALL,   " YYT", -14, NONE, "Newfoundland Standard Time"},
    {T1|T2, "BRAZ", -12, NONE, "E. South America Standard Time"},
    {T3,    "UT-3", -12, NONE, "(GMT-03)"},
    {T3,    "RIOJ", -12,    5, "E. South America Standard Time"},
    {T2|T3, "UT-2",  -8, NONE, "(GMT-02)"},
    {T2|T3, "UT-1",  -4, NONE, "(GMT-01)"},
    {ALL,   " UTC",   0, NONE, "UTC"},
    {ALL,   "LOND",   0,    0, "GMT Standard Time"},
    {ALL,   "PARI",   4,    1, "Romance Standard Time"},
    {T2|T3, "UT 1",   4, NONE, "(GMT+01)"},
    {ALL,   "ATHN",   8,    2, "GTB Standard Time"},
    {T2|T3, "UT 2",   8, NONE, "(GMT+02)"},
    {ALL,   "MOSC",  12, NONE, "Russian Standard Time"},
    {T2|T3, "UT 3",  12, NONE, "(GMT+03)"},
    {ALL,   "IRAN",  14, NONE, "Iran Standard Time"},
    {ALL,   "ARAB",  16, NONE, "Arabian Standard Time"},
    {ALL,   "AFGH",  18, NONE, "Afghanistan Standard Time"},
    {ALL,   "PAKI",  20, NONE, "Pakistan Standard Time"},
    {ALL,   "INDI",  22, NONE, "India Standard Time"},
    {ALL,   "NEPL",  23, NONE, "Nepal Standard Time"},
    {ALL,   "BNGL",  24, NONE, "Bangladesh Standard Time"},
    {ALL,   "MYAN",  26, NONE, "Myanmar Standard Time"},
    {ALL,   "THAI",  28, NONE, "SE Asia Standard Time"},
    {ALL,   "CHIN",  32, NONE, "China Standard Time"},
    {ALL,   "TOKY",  36, NONE, "Tokyo Standard Time"},
    {ALL,   "ADEL",  38,    4, "Cen. Australia Standard Time"},
    {T2|T3, "DARW",  38, NONE, "AUS Central Standard Time"},
    {ALL,   "SYDN",  40,    4, "AUS Eastern Standard Time"},
    {T2|T3, "BRIS",  40, NONE, "E. Australia Standard Time"},
    {ALL,   "NOUM",  44, NONE, "Central Pacific Standard Time"},
    {ALL,   "WELG",  48, NONE, "New Zealand Standard Time"},
};

template <int Type>
constexpr auto make_table()
{
    constexpr uint8_t table = Type == 1 ? T1 : Type == 2 ? T2 : T3;
    constexpr auto rows = std::count_if(std::begin(ZONE_LIST), std::end(ZONE_LIST),
                                        [](const ListedZone& z) { return (z.tables & table) != 0; });
    std::array<TzWatchZone, rows> rows_out{};
    std::size_t n = 0;
    for (const ListedZone& z : ZONE_LIST) {
        if ((z.tables & table) == 0)
            continue;
        TzWatchZone& row = rows_out[n++];
        std::copy(std::begin(z.city), std::end(z.city), row.city);
        row.offset = z.offset;
        row.dst_rule = Type == 1 ? TZ_NO_DST_RULE : z.dst_rule;
        for (std::size_t i = 0; z.key_name[i] != '\0' && i + 1 < TZ_NAME_SIZE; ++i)
            row.key_name[i] = z.key_name[i];
    }
    return rows_out;
}

constexpr auto TABLE_1 = make_table<1>();
constexpr auto TABLE_2 = make_table<2>();
constexpr auto TABLE_3 = make_table<3>();
static_assert(TABLE_1.size() == 30 && TABLE_2.size() == 43 && TABLE_3.size() == 44);

// The watch takes no daylight start at this hour; it is sent an hour earlier.
constexpr uint16_t LATE_START_HOUR = 23;

}  // namespace

std::span<const TzWatchZone> TzWatchZoneTable(int type)
{
    switch (type) {
    case 1: return TABLE_1;
    case 2: return TABLE_2;
    case 3: return TABLE_3;
    default: return {};
    }
}

int TzFindWatchZoneByName(int type, std::string_view name)
{
    // A watch of type 3 is always matched through the catalogue.
    if (type != 1 && type != 2)
        return TZ_NO_ROW;
    const std::span<const TzWatchZone> table = TzWatchZoneTable(type);
    for (std::size_t i = 0; i < table.size(); ++i)
        if (equal_ignoring_case(text_view(table[i].key_name), name))
            return static_cast<int>(i);
    return TZ_NO_ROW;
}

bool TzRulesEqual(const TzRules& rules, const TIME_ZONE_INFORMATION& tzi, bool full)
{
    if (rules.Bias != tzi.Bias)
        return false;
    if (!full)
        return true;
    const auto same_date = [](const SYSTEMTIME& a, const SYSTEMTIME& b) {
        return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDayOfWeek == b.wDayOfWeek &&
               a.wDay == b.wDay && a.wHour == b.wHour && a.wMinute == b.wMinute &&
               a.wSecond == b.wSecond && a.wMilliseconds == b.wMilliseconds;
    };
    return rules.StandardBias == tzi.StandardBias && rules.DaylightBias == tzi.DaylightBias &&
           same_date(rules.StandardDate, tzi.StandardDate) &&
           same_date(rules.DaylightDate, tzi.DaylightDate);
}

int TzMatchWatchZoneByRules(int type, const TIME_ZONE_INFORMATION& tzi)
{
    const std::span<const TzWatchZone> table = TzWatchZoneTable(type);
    const bool full = type != 1;
    for (std::size_t r = 0; r < table.size(); ++r) {
        const int i = TzFindByKeyName(text_view(table[r].key_name));
        TzRules rules{};
        if (i >= 0 && TzGetZoneRules(i, rules) && TzRulesEqual(rules, tzi, full))
            return static_cast<int>(r);
    }
    return TZ_NO_ROW;
}

int TzMatchWatchZone(int type, std::span<char> name)
{
    TIME_ZONE_INFORMATION tzi{};
    plat_get_time_zone_information(tzi);
    const std::u16string standard_name = zone_standard_name(tzi);
    narrow_text(standard_name, name);
    int r = TzFindWatchZoneByName(type, text_view(name));
    if (r >= 0)
        return r;
    if (!TzBuildCatalogue())
        return TZ_NO_WATCH_ZONE;
    const int i = TzFindByStandardName(standard_name);
    if (i >= 0) {
        TzGetKeyName(i, name);
        r = TzFindWatchZoneByName(type, text_view(name));
        if (r >= 0)
            return r;
    }
    r = TzMatchWatchZoneByRules(type, tzi);
    return r >= 0 ? r : TZ_NO_WATCH_ZONE;
}

uint16_t TzEncodeDstRule(const SYSTEMTIME& date, bool start)
{
    const unsigned hour = start && date.wHour == LATE_START_HOUR ? LATE_START_HOUR - 1 : date.wHour;
    return static_cast<uint16_t>(date.wMonth + 16u * date.wDayOfWeek + 256u * date.wDay +
                                 2048u * hour);
}
