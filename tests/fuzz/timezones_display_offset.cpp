// SPDX-License-Identifier: MIT
// Display names of any text, DST rule words of any date, rule comparison
// of any records: nothing read past its end, offsets bounded.
#include <cstdint>

#include "tests/fuzz/fuzz_input.h"
#include "timezones/catalogue.h"
#include "timezones/watch_zones.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    fuzz_input in{data, size};
    SYSTEMTIME date{};
    date.wYear = in.number<uint16_t>();
    date.wMonth = in.number<uint16_t>();
    date.wDayOfWeek = in.number<uint16_t>();
    date.wDay = in.number<uint16_t>();
    date.wHour = in.number<uint16_t>();
    date.wMinute = in.number<uint16_t>();
    TzEncodeDstRule(date, in.byte() & 1);

    TIME_ZONE_INFORMATION tzi{};
    tzi.Bias = in.number<int32_t>();
    tzi.StandardBias = in.number<int32_t>();
    tzi.DaylightBias = in.number<int32_t>();
    tzi.StandardDate = date;
    TzRules rules = TzRulesOf(tzi);
    FUZZ_CHECK(TzRulesEqual(rules, tzi, true) && TzRulesEqual(rules, tzi, false));
    rules.DaylightBias ^= 1;
    FUZZ_CHECK(!TzRulesEqual(rules, tzi, true) && TzRulesEqual(rules, tzi, false));

    // Exactly the rest of the input, so that a read past it is seen.
    const std::string_view text = in.rest();
    const int offset = TzDisplayOffset(text);
    // Hours and minutes each stop growing at 100000.
    FUZZ_CHECK(offset >= -6100000 && offset <= 6100000);
    if (text.find("(GMT") == std::string_view::npos)
        FUZZ_CHECK(offset == TZ_NO_DISPLAY_OFFSET);
    return 0;
}
