// SPDX-License-Identifier: MIT
// The ICU zone source: one zone per Windows zone ID that ICU maps a canonical
// tz database zone to, holding only "TZI", the rules of the ID's principal
// zone ("001") this year. Names, display texts and map ids are absent, so the
// catalogue's own fall-backs name the zones.
#include <unicode/ures.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/timezone.h"
#include "timezones/catalogue.h"
#include "timezones/zone_source.h"

namespace {

struct IcuZone {
    std::string windows_id;
    std::string golden_id;  // the tz database zone whose rules it carries
};

// The ID mapping is fixed for the process, and listing it is ICU's slow part,
// so it is made once; the rules are read afresh for every build.
std::vector<IcuZone> zones;
bool zones_listed = false;

constexpr TzKey ROOT_KEY = 1;
constexpr TzKey FIRST_ZONE_KEY = 2;
constexpr char GOLDEN_TERRITORY[] = "001";
constexpr char VALUE_TZI[] = "TZI";
constexpr char WINDOWS_ZONES_BUNDLE[] = "windowsZones";
constexpr char MAP_TIMEZONES[] = "mapTimezones";

// The Windows IDs and their principal zones come straight from ICU's own
// Windows mapping table: asking zone by zone (getWindowsID for ~480 zones)
// costs tens of milliseconds on a first build.
bool list_zones()
{
    if (zones_listed)
        return true;
    UErrorCode ec = U_ZERO_ERROR;
    UResourceBundle* bundle = ures_openDirect(nullptr, WINDOWS_ZONES_BUNDLE, &ec);
    UResourceBundle* map = ures_getByKey(bundle, MAP_TIMEZONES, nullptr, &ec);
    std::vector<IcuZone> listed;
    while (U_SUCCESS(ec) && ures_hasNext(map)) {
        UResourceBundle* entry = ures_getNextResource(map, nullptr, &ec);
        const char* windows_id = ures_getKey(entry);
        int32_t len = 0;
        UErrorCode entry_ec = U_ZERO_ERROR;
        const UChar* golden = ures_getStringByKey(entry, GOLDEN_TERRITORY, &len, &entry_ec);
        if (U_SUCCESS(ec) && U_SUCCESS(entry_ec) && windows_id != nullptr && len > 0) {
            std::string golden_id;
            icu::UnicodeString(golden, len).toUTF8String(golden_id);
            listed.push_back(IcuZone{windows_id, std::move(golden_id)});
        }
        ures_close(entry);
    }
    ures_close(map);
    ures_close(bundle);
    if (U_FAILURE(ec) || listed.empty())
        return false;
    std::sort(listed.begin(), listed.end(),
              [](const IcuZone& a, const IcuZone& b) { return a.windows_id < b.windows_id; });
    zones = std::move(listed);
    zones_listed = true;
    return true;
}

const IcuZone* zone_of(TzKey key)
{
    if (key < FIRST_ZONE_KEY || key - FIRST_ZONE_KEY >= zones.size())
        return nullptr;
    return &zones[key - FIRST_ZONE_KEY];
}

long open_root(TzKey* root)
{
    if (!list_zones())
        return TZ_ERROR_FILE_NOT_FOUND;
    *root = ROOT_KEY;
    return TZ_ERROR_SUCCESS;
}

long enum_key(TzKey key, uint32_t index, char* name, uint32_t* size)
{
    if (key != ROOT_KEY || index >= zones.size())
        return TZ_ERROR_NO_MORE_ITEMS;
    const std::string& id = zones[index].windows_id;
    if (id.size() >= *size)
        return TZ_ERROR_MORE_DATA;
    std::memcpy(name, id.c_str(), id.size() + 1);
    *size = static_cast<uint32_t>(id.size());
    return TZ_ERROR_SUCCESS;
}

long open_key(TzKey key, const char* name, TzKey* subkey)
{
    if (key != ROOT_KEY)
        return TZ_ERROR_FILE_NOT_FOUND;
    const auto it = std::find_if(zones.begin(), zones.end(),
                                 [name](const IcuZone& z) { return z.windows_id == name; });
    if (it == zones.end())
        return TZ_ERROR_FILE_NOT_FOUND;
    *subkey = FIRST_ZONE_KEY + static_cast<TzKey>(it - zones.begin());
    return TZ_ERROR_SUCCESS;
}

long query_value(TzKey key, const char* name, bool, uint32_t* type, void* data, uint32_t* size)
{
    const IcuZone* zone = zone_of(key);
    TIME_ZONE_INFORMATION tzi{};
    if (zone == nullptr || std::strcmp(name, VALUE_TZI) != 0 ||
        !plat_zone_rules(zone->golden_id.c_str(), tzi))
        return TZ_ERROR_FILE_NOT_FOUND;
    const TzRules rules = TzRulesOf(tzi);
    const uint32_t capacity = *size;
    *size = sizeof rules;
    if (type != nullptr)
        *type = TZ_REG_BINARY;
    if (capacity < sizeof rules)
        return TZ_ERROR_MORE_DATA;
    std::memcpy(data, &rules, sizeof rules);
    return TZ_ERROR_SUCCESS;
}

void close_key(TzKey) {}

constexpr TzZoneSource icu_source{open_root, enum_key, open_key, query_value, close_key};

}  // namespace

const TzZoneSource& TzIcuZoneSource() { return icu_source; }

const TzZoneSource& TzPlatformZoneSource() { return icu_source; }
