// SPDX-License-Identifier: MIT
// The parameter file reader over any file content under one of its names:
// used or refused, never more, and a used file gives what its keys say.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <unistd.h>

#include "platform/profile.h"
#include "tests/fuzz/fuzz_input.h"
#include "tools/heq_params.h"
#include "tools/tools.h"

namespace {

// The files' directory, the current one while the fuzzer runs.
char dir[] = "/tmp/orv3-fuzz-ini.XXXXXX";

void remove_files()
{
    for (const char* n : HEQ_INI_NAMES)
        unlink(n);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_quiet_output();
    if (mkdtemp(dir) == nullptr || chdir(dir) != 0)
        std::abort();
    std::atexit([] {
        remove_files();
        rmdir(dir);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    fuzz_input in{data, size};
    const char* name = HEQ_INI_NAMES[in.byte() % HEQ_INI_NAMES.size()];
    const std::string_view content = in.rest();
    remove_files();
    std::FILE* f = std::fopen(name, "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(std::fwrite(content.data(), 1, content.size(), f) == content.size());
    std::fclose(f);

    heq_params p{};
    p.heq_a = 0x5EED;
    const int r = read_heq_ini(p);
    char sections[256];
    const bool has_section = profile_text_section_names(content, sections, sizeof sections) > 0;
    FUZZ_CHECK(r == (has_section ? 1 : TOOL_NO_PARAM_FILE));
    if (r != 1) {
        FUZZ_CHECK(p.heq_a == 0x5EED);
        return 0;
    }
    visit_heq_fields(p, [&](int i, auto& field) {
        using T = std::remove_reference_t<decltype(field)>;
        const int32_t v = profile_text_int(content, HEQ_INI_SECTION, HEQ_FIELDS[i].name, HEQ_INI_DEFAULTS[i]);
        FUZZ_CHECK(field == static_cast<T>(v));
    });
    return 0;
}
