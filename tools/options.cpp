// SPDX-License-Identifier: MIT
#include "tools/options.h"

#include <cctype>
#include <climits>
#include <cstring>

#include "platform/text.h"

int32_t opt_tzoff = 0;
bool opt_tzoff_set = false;
int32_t opt_tempoff = 0;
bool opt_tempoff_set = false;
int32_t opt_tz = -1;
bool opt_tz_set = false;
int32_t opt_dst = DST_AUTOMATIC;

namespace {

constexpr int32_t TZOFF_LIMIT_MIN = 1440;  // minutes either side of UTC
constexpr int32_t MINUTES_PER_QUARTER = 15;

bool tzoff_handler(const char* value)
{
    int32_t v = 0;
    if (read_decimal(value, v)) {
        opt_tzoff_set = true;
        if (v < -TZOFF_LIMIT_MIN)
            v = -TZOFF_LIMIT_MIN;
        if (v > TZOFF_LIMIT_MIN)
            v = TZOFF_LIMIT_MIN;
        opt_tzoff = v / MINUTES_PER_QUARTER;
    }
    return false;
}

bool tempoff_handler(const char* value)
{
    if (read_decimal(value, opt_tempoff))
        opt_tempoff_set = true;
    return opt_tempoff_set;
}

bool tz_handler(const char* value)
{
    if (read_decimal(value, opt_tz))
        opt_tz_set = true;
    return false;
}

bool dst_handler(const char* value)
{
    if (!read_decimal(value, opt_dst))
        opt_dst = DST_AUTOMATIC;
    return false;
}

}  // namespace

// The zone index is one byte (-1 and below keep their meaning); the
// temperature offset a signed 16-bit field. The zone offset limits itself.
const std::array<option_row, 4> option_table = {{
    {"tzoff=", tzoff_handler, INT32_MIN, INT32_MAX},
    {"tempoff=", tempoff_handler, INT16_MIN, INT16_MAX},
    {"tz=", tz_handler, INT32_MIN, UINT8_MAX},
    {"dst=", dst_handler, INT32_MIN, INT32_MAX},
}};

namespace {

const option_row* matching_row(const char* arg)
{
    for (const option_row& row : option_table)
        if (starts_with_ignoring_case(arg, row.prefix))
            return &row;
    return nullptr;
}

}  // namespace

bool read_decimal(const char* text, int32_t& value)
{
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (!std::isdigit(static_cast<unsigned char>(*p)))
        return false;
    int64_t v = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)); ++p)
        if (v <= int64_t{INT32_MAX} + 1)
            v = v * 10 + (*p - '0');
    if (negative)
        v = -v;
    value = static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
    return true;
}

std::string option_refusal(const char* arg)
{
    const option_row* row = matching_row(arg);
    if (row == nullptr)
        return "unknown argument '" + std::string(arg) + "'";
    int32_t v = 0;
    if (!read_decimal(arg + std::strlen(row->prefix), v) || (v >= row->min && v <= row->max))
        return "";
    std::string range = row->min == INT32_MIN ? "at most " + std::to_string(row->max)
                                              : std::to_string(row->min) + " to " + std::to_string(row->max);
    return std::string("'").append(arg).append("': out of range (").append(range).append(")");
}

void reset_options()
{
    opt_tzoff = 0;
    opt_tzoff_set = false;
    opt_tempoff = 0;
    opt_tempoff_set = false;
    opt_tz = -1;
    opt_tz_set = false;
    opt_dst = DST_AUTOMATIC;
}

int parse_options(int argc, char** argv)
{
    int count = 0;
    for (int i = 1; i < argc; ++i)
        if (const option_row* row = matching_row(argv[i]); row != nullptr && row->handler(argv[i] + std::strlen(row->prefix)))
            ++count;
    return count;
}
