// SPDX-License-Identifier: MIT
#include "tools/command_line.h"

#include <cstdio>
#include <string_view>

#include "orv3_version.h"
#include "tools/tools.h"

namespace {

struct code_meaning {
    int code;
    const char* meaning;
};

// Every code a tool returns, as the user reads it.
constexpr code_meaning CODE_MEANINGS[] = {
    {TOOL_DONE, "done"},
    {TOOL_COMM_ERROR, "the watch or the access point stopped answering"},
    {TOOL_NO_LINK, "access point not found, its port not opened, or the link not started"},
    {TEMPOFF_NO_LINK, "with tempoff=: access point not found, its port not opened, or the link not started"},
    {TOOL_NO_READING, "no trustworthy reading: too few clock samples pass the plausibility rule"},
    {TOOL_NO_PARAM_FILE, "the file it reads is missing or unusable (nothing sent to the watch)"},
    {TOOL_OUTPUT_FAILED, "the results could not be written (the standard output, or a plot file)"},
    {TOOL_NOT_SET, "a written block did not read back unchanged"},
    {TOOL_REDIRECTED, "standard output redirected where a console is needed"},
    {TOOL_USAGE, "an argument it does not take, or a value out of range (nothing opened)"},
    {TOOL_SIGNAL_BASE, "interrupted by signal N"},
};

bool is_help(std::string_view a) { return a == "--help" || a == "-h"; }
bool is_version(std::string_view a) { return a == "--version"; }

int refuse(const tool_help& help, const std::string& why)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for what it takes.\n", help.name, why.c_str(), help.name);
    return TOOL_USAGE;
}

int answer(const std::string& text)
{
    std::fputs(text.c_str(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("cannot write the standard output\n", stderr);
        return TOOL_OUTPUT_FAILED;
    }
    return TOOL_DONE;
}

}  // namespace

std::string help_text(const tool_help& help)
{
    std::string s = std::string("usage: ") + help.name + " " + help.synopsis + "\n       " + help.name +
                    " --help | -h | --version\n\n" + help.text + "\nExit status:\n";
    char line[160];
    for (const int code : help.codes)
        for (const code_meaning& m : CODE_MEANINGS)
            if (m.code == code) {
                // The shell sees a negative code as 256 plus the code.
                const std::string shell = code == TOOL_SIGNAL_BASE ? "128+N" : std::to_string(code < 0 ? 256 + code : code);
                const std::string signed_code = code < 0 ? std::string("(").append(std::to_string(code)).append(")") : "";
                std::snprintf(line, sizeof line, "  %5s %-6s %s\n", shell.c_str(), signed_code.c_str(), m.meaning);
                s += line;
            }
    return s;
}

int answer_command_line(int argc, char** argv, const tool_help& help, argument_check check)
{
    if (argc == 2 && is_help(argv[1]))
        return answer(help_text(help));
    if (argc == 2 && is_version(argv[1]))
        return answer(std::string(help.name) + " " + ORV3_VERSION + "\n");
    for (int i = 1; i < argc; ++i) {
        if (is_help(argv[i]) || is_version(argv[i]))
            return refuse(help, std::string("'") + argv[i] + "' is given alone");
        std::string why = check != nullptr ? check(argv[i]) : "unknown argument '" + std::string(argv[i]) + "'";
        if (!why.empty())
            return refuse(help, why);
    }
    return COMMAND_LINE_RUN;
}
