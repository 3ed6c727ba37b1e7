// SPDX-License-Identifier: MIT
// The setter's command line: any arguments, NUL-separated in the input.
// What is taken never leaves a value that does not fit the watch.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_input.h"
#include "tools/command_line.h"
#include "tools/options.h"
#include "tools/tools.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_quiet_output();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    fuzz_input in{data, size};
    std::vector<std::string> args = {"orv3set"};
    const std::string_view all = in.rest();
    for (std::size_t at = 0; at <= all.size() && args.size() < 32;) {
        const std::size_t end = std::min(all.find('\0', at), all.size());
        args.emplace_back(all.substr(at, end - at));
        at = end + 1;
    }
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(args.size());

    bool all_taken = true;
    for (int i = 1; i < argc; ++i)
        all_taken = all_taken && option_refusal(argv[i]).empty();

    reset_options();
    const int count = parse_options(argc, argv.data());
    FUZZ_CHECK(opt_tzoff >= -96 && opt_tzoff <= 96);
    FUZZ_CHECK((count > 0) == opt_tempoff_set);
    if (all_taken) {
        FUZZ_CHECK(opt_tz <= 255);
        FUZZ_CHECK(opt_tempoff >= INT16_MIN && opt_tempoff <= INT16_MAX);
    }

    static const tool_help help = {"orv3set", "[OPTIONS]", "", {TOOL_DONE, TOOL_USAGE}};
    const int code = answer_command_line(argc, argv.data(), help, option_refusal);
    const bool asks = argc == 2 && (args[1] == "--help" || args[1] == "-h" || args[1] == "--version");
    FUZZ_CHECK(code == (asks ? TOOL_DONE : all_taken ? COMMAND_LINE_RUN : TOOL_USAGE));
    return 0;
}
