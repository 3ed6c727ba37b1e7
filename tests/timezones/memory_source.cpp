// SPDX-License-Identifier: MIT
#include "tests/timezones/memory_source.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace {

MemKey root;
bool root_fails = false;
MemStats stats;

// An empty value or text may have no storage at all: nothing is copied then.
void copy_bytes(void* to, const void* from, std::size_t n)
{
    if (n != 0)
        std::memcpy(to, from, n);
}

MemKey* key_of(TzKey key) { return reinterpret_cast<MemKey*>(key); }
TzKey handle_of(MemKey* key) { return reinterpret_cast<TzKey>(key); }

bool is_text(uint32_t type)
{
    return type == TZ_REG_SZ || type == TZ_REG_EXPAND_SZ || type == TZ_REG_MULTI_SZ;
}

long open_root(TzKey* key)
{
    if (root_fails)
        return TZ_ERROR_FILE_NOT_FOUND;
    ++stats.opens;
    *key = handle_of(&root);
    return TZ_ERROR_SUCCESS;
}

long enum_key(TzKey key, uint32_t index, char* name, uint32_t* size)
{
    ++stats.enums;
    stats.highest_enum_index = std::max<int64_t>(stats.highest_enum_index, index);
    const MemKey* k = key_of(key);
    if (index >= k->subkeys.size())
        return TZ_ERROR_NO_MORE_ITEMS;
    const MemKey& sub = *k->subkeys[index];
    if (sub.enum_fails)
        return TZ_ERROR_MORE_DATA;
    if (sub.name.size() >= *size)
        return TZ_ERROR_MORE_DATA;
    std::memcpy(name, sub.name.c_str(), sub.name.size() + 1);
    *size = static_cast<uint32_t>(sub.name.size());
    return TZ_ERROR_SUCCESS;
}

long open_key(TzKey key, const char* name, TzKey* subkey)
{
    for (auto& sub : key_of(key)->subkeys) {
        if (sub->name == name) {
            if (sub->open_fails)
                return TZ_ERROR_FILE_NOT_FOUND;
            ++stats.opens;
            *subkey = handle_of(sub.get());
            return TZ_ERROR_SUCCESS;
        }
    }
    return TZ_ERROR_FILE_NOT_FOUND;
}

long query_value(TzKey key, const char* name, bool wide, uint32_t* type, void* data,
                 uint32_t* size)
{
    const auto& values = key_of(key)->values;
    const auto it = std::find_if(values.begin(), values.end(),
                                 [name](const MemValue& v) { return v.name == name; });
    if (it == values.end())
        return TZ_ERROR_FILE_NOT_FOUND;
    std::vector<uint8_t> bytes = it->bytes;
    if (is_text(it->type) && it->wide && !wide) {
        std::u16string text(bytes.size() / 2, u'\0');
        copy_bytes(text.data(), bytes.data(), text.size() * 2);
        std::string narrow(text.size() + 1, '\0');
        narrow_text(text, narrow);
        bytes.assign(narrow.begin(), narrow.end() - 1);
    } else if (is_text(it->type) && !it->wide && wide) {
        const std::string text(bytes.begin(), bytes.end());
        std::u16string widened(text.size() + 1, u'\0');
        widen_text(text, widened);
        bytes.resize(text.size() * 2);
        copy_bytes(bytes.data(), widened.data(), bytes.size());
    }
    if (type != nullptr)
        *type = it->type;
    const uint32_t capacity = *size;
    *size = static_cast<uint32_t>(bytes.size());
    if (bytes.size() > capacity)
        return TZ_ERROR_MORE_DATA;
    copy_bytes(data, bytes.data(), bytes.size());
    return TZ_ERROR_SUCCESS;
}

void close_key(TzKey) { ++stats.closes; }

constexpr TzZoneSource source{open_root, enum_key, open_key, query_value, close_key};

void set_value(MemKey& key, std::string_view name, uint32_t type, std::vector<uint8_t> bytes,
               bool wide = false)
{
    auto& values = key.values;
    values.erase(std::remove_if(values.begin(), values.end(),
                                [name](const MemValue& v) { return v.name == name; }),
                 values.end());
    values.push_back(MemValue{std::string(name), type, std::move(bytes), wide});
}

}  // namespace

void mem_reset()
{
    root = MemKey{};
    root_fails = false;
    stats = MemStats{};
}

MemKey& mem_root() { return root; }
void mem_root_fails(bool fails) { root_fails = fails; }
const MemStats& mem_stats() { return stats; }
const TzZoneSource& mem_source() { return source; }

MemKey& mem_add_key(MemKey& parent, std::string_view name)
{
    parent.subkeys.push_back(std::make_unique<MemKey>());
    parent.subkeys.back()->name = std::string(name);
    return *parent.subkeys.back();
}

void mem_set_text(MemKey& key, std::string_view name, std::u16string_view text, uint32_t type)
{
    std::vector<uint8_t> bytes((text.size() + 1) * 2, 0);
    copy_bytes(bytes.data(), text.data(), text.size() * 2);
    set_value(key, name, type, std::move(bytes), true);
}

void mem_set_text(MemKey& key, std::string_view name, std::string_view text, uint32_t type)
{
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    set_value(key, name, type, std::move(bytes));
}

void mem_set_bytes(MemKey& key, std::string_view name, uint32_t type, std::vector<uint8_t> bytes)
{
    set_value(key, name, type, std::move(bytes));
}

void mem_set_rules(MemKey& key, std::string_view name, const TzRules& rules)
{
    std::vector<uint8_t> bytes(sizeof rules);
    std::memcpy(bytes.data(), &rules, sizeof rules);
    set_value(key, name, TZ_REG_BINARY, std::move(bytes));
}

MemKey& mem_add_zone(std::string_view name, const TzRules& rules)
{
    MemKey& zone = mem_add_key(root, name);
    mem_set_rules(zone, "TZI", rules);
    return zone;
}
