// SPDX-License-Identifier: MIT
// The INI reader over any text: section lists that never pass their buffer,
// integers of any key.
#include <cstring>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "tests/fuzz/fuzz_input.h"
#include "watchlink/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    fuzz_input in{data, size};
    const std::size_t buf_size = in.byte() % 300;
    const std::string section(in.text(in.byte() % 16));
    const std::string key(in.text(in.byte() % 16));
    const std::string_view text = in.rest();

    // A guard byte after the buffer shows any write past it.
    std::vector<char> buf(buf_size + 1, 'g');
    const std::size_t n = profile_text_section_names(text, buf.data(), buf_size);
    FUZZ_CHECK(buf[buf_size] == 'g');
    if (buf_size < 2) {
        FUZZ_CHECK(n == 0);
    } else {
        FUZZ_CHECK(n <= buf_size - 2);
        FUZZ_CHECK(buf[n] == '\0' && buf[n + 1] == '\0');
    }
    profile_text_int(text, section.c_str(), key.c_str(), 128);
    for (const heq_field& f : HEQ_FIELDS)
        profile_text_int(text, "heq_info", f.name, 0);
    return 0;
}
