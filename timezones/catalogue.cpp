// SPDX-License-Identifier: MIT
// The time-zone catalogue over the selected zone source.
#include "timezones/catalogue_internal.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "platform/clock.h"
#include "platform/text.h"

static_assert(std::endian::native == std::endian::little, "TZI blocks are read as stored");
static_assert(std::is_trivially_copyable_v<TzZoneRecord>, "records move as bytes");

namespace {

TzCatalogue catalogue{};
const TzZoneSource* selected_source = nullptr;
// Every value read goes through here.
std::array<unsigned char, TZ_READ_BUFFER_SIZE> buff;

constexpr char VALUE_STD[] = "Std";
constexpr char VALUE_DLT[] = "Dlt";
constexpr char VALUE_MAP_ID[] = "MapID";
constexpr char VALUE_TZI[] = "TZI";
constexpr char VALUE_DISPLAY[] = "Display";
constexpr char DISPLAY_MARK[] = "(GMT";
// Digits past this add nothing to an offset: a display name cannot overflow it.
constexpr int MAX_OFFSET_NUMBER = 100000;

bool is_text_type(uint32_t type)
{
    return type == TZ_REG_SZ || type == TZ_REG_EXPAND_SZ || type == TZ_REG_MULTI_SZ;
}

const TzZoneRecord* zone_at(int index)
{
    if (catalogue.count == 0 && !TzBuildCatalogue())
        return nullptr;
    if (index < 0 || index >= catalogue.count)
        return nullptr;
    return &catalogue.zones[index];
}

// Reserves or resizes the room; nullptr when that fails (the old room stays).
TzZoneRecord* resize_room(TzZoneRecord* room, int records)
{
    return static_cast<TzZoneRecord*>(std::realloc(room, sizeof(TzZoneRecord) * records));
}

// A 16-bit name: the value as text, or the key name when it cannot be read.
void read_wide_name(const TzZoneSource& source, TzKey zone, const char* value,
                    TzZoneRecord& rec, char16_t (&field)[TZ_WIDE_NAME_UNITS])
{
    uint32_t type = 0;
    uint32_t size = sizeof field;
    if (source.query_value(zone, value, true, &type, field, &size) == TZ_ERROR_SUCCESS &&
        is_text_type(type)) {
        field[TZ_WIDE_NAME_UNITS - 1] = 0;
        return;
    }
    std::fill(std::begin(field), std::end(field), char16_t{0});
    widen_text(text_view(rec.key_name), field);
}

// The rules: "TZI", else this year's value under "Dynamic DST".
bool read_rules(const TzZoneSource& source, TzKey zone, TzZoneRecord& rec)
{
    uint32_t type = 0;
    uint32_t size = sizeof rec.rules;
    if (TzReadValue(zone, VALUE_TZI, &type, &rec.rules, &size) != TZ_ERROR_SUCCESS) {
        TzKey dynamic = 0;
        if (source.open_key(zone, TZ_DYNAMIC_DST_KEY, &dynamic) != TZ_ERROR_SUCCESS)
            return false;
        SYSTEMTIME today{};
        plat_local_time(today);
        char curr_year[16];
        std::snprintf(curr_year, sizeof curr_year, "%d", int{today.wYear});
        size = sizeof rec.rules;
        const long rc = TzReadValue(dynamic, curr_year, &type, &rec.rules, &size);
        source.close_key(dynamic);
        if (rc != TZ_ERROR_SUCCESS)
            return false;
    }
    return size <= sizeof rec.rules;
}

void format_display_name(TzZoneRecord& rec)
{
    // Sign and magnitude from Bias itself, so that a zone less than an hour
    // west of GMT keeps its minus sign.
    const int64_t bias = rec.rules.Bias;
    const int64_t magnitude = bias < 0 ? -bias : bias;
    // A long key name is cut to the field.
    if (std::snprintf(rec.display_name, sizeof rec.display_name, TZ_DISPLAY_FORMAT,
                      bias > 0 ? '-' : '+', static_cast<int>(magnitude / 60),
                      static_cast<int>(magnitude % 60), rec.key_name) < 0)
        rec.display_name[0] = '\0';
}

// Everything below the zone's key; false is a failure.
bool read_zone_values(const TzZoneSource& source, TzKey zone, TzZoneRecord& rec)
{
    read_wide_name(source, zone, VALUE_STD, rec, rec.standard_name);
    read_wide_name(source, zone, VALUE_DLT, rec, rec.daylight_name);

    uint32_t type = 0;
    uint32_t size = sizeof rec.map_id;
    if (TzReadValue(zone, VALUE_MAP_ID, &type, rec.map_id, &size) != TZ_ERROR_SUCCESS)
        std::fill(std::begin(rec.map_id), std::end(rec.map_id), '\0');
    rec.map_id[TZ_MAP_ID_SIZE - 1] = '\0';

    if (!read_rules(source, zone, rec))
        return false;

    size = sizeof rec.display_name;
    if (TzReadValue(zone, VALUE_DISPLAY, &type, rec.display_name, &size) != TZ_ERROR_SUCCESS) {
        std::fill(std::begin(rec.display_name), std::end(rec.display_name), '\0');
        format_display_name(rec);
    } else if (size > sizeof rec.display_name) {
        return false;
    }
    rec.display_name[TZ_NAME_SIZE - 1] = '\0';
    return true;
}

enum class ZoneRead { stored, failed, end };

ZoneRead read_zone(const TzZoneSource& source, TzKey root, uint32_t e, TzZoneRecord& rec)
{
    rec = TzZoneRecord{};
    uint32_t size = sizeof rec.key_name;
    const long rc = source.enum_key(root, e, rec.key_name, &size);
    if (rc == TZ_ERROR_NO_MORE_ITEMS)
        return ZoneRead::end;
    if (rc != TZ_ERROR_SUCCESS)
        return ZoneRead::failed;
    rec.key_name[TZ_NAME_SIZE - 1] = '\0';
    TzKey zone = 0;
    if (source.open_key(root, rec.key_name, &zone) != TZ_ERROR_SUCCESS)
        return ZoneRead::failed;
    const bool ok = read_zone_values(source, zone, rec);
    source.close_key(zone);
    return ok ? ZoneRead::stored : ZoneRead::failed;
}

}  // namespace

void TzSetZoneSource(const TzZoneSource* source) { selected_source = source; }

const TzZoneSource& TzGetZoneSource()
{
    return selected_source != nullptr ? *selected_source : TzPlatformZoneSource();
}

bool TzBuildCatalogue()
{
    TzReleaseCatalogue();
    const TzZoneSource& source = TzGetZoneSource();
    int reserved = TZ_INITIAL_ROOM;
    TzZoneRecord* room = resize_room(nullptr, reserved);
    if (room == nullptr)
        return false;
    TzKey root = 0;
    if (source.open_root(&root) != TZ_ERROR_SUCCESS) {
        std::free(room);
        return false;
    }

    int j = 0;
    int failures = 0;
    for (uint32_t e = 0; j < TZ_MAX_ZONES; ++e) {
        if (j == reserved) {
            TzZoneRecord* grown = resize_room(room, reserved + TZ_ROOM_STEP);
            if (grown == nullptr)
                break;  // keep the zones stored so far
            room = grown;
            reserved += TZ_ROOM_STEP;
        }
        const ZoneRead read = read_zone(source, root, e, room[j]);
        if (read == ZoneRead::end)
            break;
        if (read == ZoneRead::stored) {
            ++j;
            continue;
        }
        if (++failures == TZ_MAX_FAILURES) {
            if (j == 0) {
                source.close_key(root);
                std::free(room);
                return false;
            }
            break;
        }
    }
    source.close_key(root);

    if (j == 0) {
        std::free(room);
        room = nullptr;
    } else if (j < reserved) {
        if (TzZoneRecord* trimmed = resize_room(room, j))
            room = trimmed;
    }
    std::stable_sort(room, room + j, [](const TzZoneRecord& a, const TzZoneRecord& b) {
        return TzDisplayOffset(text_view(a.display_name)) <
               TzDisplayOffset(text_view(b.display_name));
    });
    catalogue.zones = room;
    catalogue.count = j;
    return true;
}

void TzReleaseCatalogue()
{
    std::free(catalogue.zones);
    catalogue = TzCatalogue{};
}

int TzGetZoneCount()
{
    if (catalogue.count == 0 && !TzBuildCatalogue())
        return 0;
    return catalogue.count;
}

int TzFindByKeyName(std::string_view name)
{
    const int n = TzGetZoneCount();
    for (int i = 0; i < n; ++i)
        if (text_view(catalogue.zones[i].key_name) == name)
            return i;
    return -1;
}

int TzFindByStandardName(std::u16string_view name)
{
    const int n = TzGetZoneCount();
    for (int i = 0; i < n; ++i)
        if (text_view(catalogue.zones[i].standard_name) == name)
            return i;
    return -1;
}

bool TzGetKeyName(int index, std::span<char> out)
{
    const TzZoneRecord* rec = zone_at(index);
    if (rec == nullptr)
        return false;
    copy_text(text_view(rec->key_name), out);
    return true;
}

bool TzGetDisplayName(int index, std::span<char> out)
{
    const TzZoneRecord* rec = zone_at(index);
    if (rec == nullptr)
        return false;
    copy_text(text_view(rec->display_name), out);
    return true;
}

bool TzGetZoneName(int selector, int index, std::span<char16_t> out)
{
    const TzZoneRecord* rec = zone_at(index);
    if (rec == nullptr)
        return false;
    copy_text(text_view(selector == TZ_DAYLIGHT_NAME ? rec->daylight_name : rec->standard_name),
              out);
    return true;
}

bool TzGetStandardName(int index, std::span<char16_t> out)
{
    return TzGetZoneName(TZ_STANDARD_NAME, index, out);
}

bool TzGetStandardNameByKey(std::string_view key_name, std::span<char16_t> out)
{
    const int i = TzFindByKeyName(key_name);
    return i >= 0 && TzGetStandardName(i, out);
}

bool TzGetZoneInfo(int index, TIME_ZONE_INFORMATION& tzi)
{
    const TzZoneRecord* rec = zone_at(index);
    if (rec == nullptr)
        return false;
    tzi = TIME_ZONE_INFORMATION{};
    tzi.Bias = rec->rules.Bias;
    tzi.StandardBias = rec->rules.StandardBias;
    tzi.DaylightBias = rec->rules.DaylightBias;
    set_zone_names(tzi, text_view(rec->standard_name), text_view(rec->daylight_name));
    tzi.StandardDate = rec->rules.StandardDate;
    tzi.DaylightDate = rec->rules.DaylightDate;
    return true;
}

bool TzGetZoneInfoByKey(std::string_view key_name, TIME_ZONE_INFORMATION& tzi)
{
    const int i = TzFindByKeyName(key_name);
    return i >= 0 && TzGetZoneInfo(i, tzi);
}

bool TzGetZoneRules(int index, TzRules& rules)
{
    const TzZoneRecord* rec = zone_at(index);
    if (rec == nullptr)
        return false;
    rules = rec->rules;
    return true;
}

int TzPrintZones(std::FILE* stream)
{
    if (catalogue.count == 0 && !TzBuildCatalogue())
        return -1;
    for (int i = 0; i < catalogue.count; ++i)
        std::fprintf(stream, "%s\t\t\t\t%s\r", catalogue.zones[i].key_name,
                     catalogue.zones[i].display_name);
    return catalogue.count;
}

int TzDisplayOffset(std::string_view display_name)
{
    const std::size_t mark = display_name.find(DISPLAY_MARK);
    if (mark == std::string_view::npos)
        return TZ_NO_DISPLAY_OFFSET;
    const std::string_view after = display_name.substr(mark + sizeof DISPLAY_MARK - 1);
    if (after.empty() || after[0] == ')')
        return 0;
    // Each number stops at its first non-digit, and at the end of the text:
    // a short name reads no further than its terminator.
    const auto number_at = [after](std::size_t pos) {
        int n = 0;
        for (; pos < after.size() && after[pos] >= '0' && after[pos] <= '9'; ++pos)
            n = std::min(n * 10 + (after[pos] - '0'), MAX_OFFSET_NUMBER);
        return n;
    };
    const int minutes = number_at(1) * 60 + number_at(4);
    return after[0] == '+' ? minutes : -minutes;
}

long TzReadValue(TzKey key, const char* name, uint32_t* type, void* dest, uint32_t* size)
{
    uint32_t own_type = 0;
    if (type == nullptr)
        type = &own_type;
    uint32_t s = sizeof buff;
    const long rc = TzGetZoneSource().query_value(key, name, false, type, buff.data(), &s);
    if (rc != TZ_ERROR_SUCCESS)
        return rc;
    s = std::min<uint32_t>(s, sizeof buff);
    const uint32_t c = *size;
    auto* out = static_cast<unsigned char*>(dest);
    if (s <= c) {
        std::memcpy(out, buff.data(), s);
        *size = s;
        return TZ_ERROR_SUCCESS;
    }
    std::memcpy(out, buff.data(), c);
    if (is_text_type(*type) && c > 0) {
        out[c - 1] = 0;
        if (*type == TZ_REG_MULTI_SZ && c > 1)
            out[c - 2] = 0;
        *size = c;
    } else {
        *size = s;
    }
    return TZ_ERROR_SUCCESS;
}

TzRules TzRulesOf(const TIME_ZONE_INFORMATION& tzi)
{
    return TzRules{tzi.Bias, tzi.StandardBias, tzi.DaylightBias, tzi.StandardDate,
                   tzi.DaylightDate};
}
