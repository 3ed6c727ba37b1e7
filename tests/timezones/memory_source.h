// SPDX-License-Identifier: MIT
// An in-memory zone source for the catalogue tests: a tree of keys with
// values, where any key can refuse to be listed or opened, and counters of
// what the builder asked for.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "timezones/catalogue.h"
#include "timezones/zone_source.h"

struct MemValue {
    std::string name;
    uint32_t type;
    std::vector<uint8_t> bytes;
    bool wide = false;  // a text value stored as 16-bit units
};

struct MemKey {
    std::string name;
    bool enum_fails = false;  // listing its name gives an error
    bool open_fails = false;
    std::vector<MemValue> values;
    std::vector<std::unique_ptr<MemKey>> subkeys;
};

struct MemStats {
    int opens = 0;   // root and subkeys
    int closes = 0;
    int enums = 0;
    int64_t highest_enum_index = -1;
};

// Empties the tree, lets the root open, clears the counters.
void mem_reset();
// The root key; mem_root_fails makes opening it fail.
MemKey& mem_root();
void mem_root_fails(bool fails);
const MemStats& mem_stats();
// The source over the tree.
const TzZoneSource& mem_source();

MemKey& mem_add_key(MemKey& parent, std::string_view name);
// A terminated text value (type TZ_REG_SZ unless given), 16-bit or 8-bit;
// either query form gets it converted.
void mem_set_text(MemKey& key, std::string_view name, std::u16string_view text,
                  uint32_t type = TZ_REG_SZ);
void mem_set_text(MemKey& key, std::string_view name, std::string_view text,
                  uint32_t type = TZ_REG_SZ);
// A value of the given type and bytes (a text type: 8-bit text as stored).
void mem_set_bytes(MemKey& key, std::string_view name, uint32_t type, std::vector<uint8_t> bytes);
void mem_set_rules(MemKey& key, std::string_view name, const TzRules& rules);
// A zone with a "TZI" value of the given rules.
MemKey& mem_add_zone(std::string_view name, const TzRules& rules);
