// SPDX-License-Identifier: MIT
// Every executable's command line: --help and --version answered without
// opening anything, arguments a tool does not take refused before the port.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "orv3_version.h"
#include "tests/support/sim_harness.h"
#include "tools/tools.h"

namespace {

const char* const EXECUTABLES[] = {"orv3get", "orv3set", "orv3param", "orv3dump", "orv3drift", "orv3sim"};

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

run_result run_alone(std::vector<std::string> command)
{
    run_options o;
    o.command = std::move(command);
    o.no_sim = true;
    return run_tool(o);
}

TEST(command_line, help_and_version_of_every_executable)
{
    for (const std::string name : EXECUTABLES) {
        SCOPED_TRACE(name);
        for (const char* help : {"--help", "-h"}) {
            const run_result r = run_alone({name, help});
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out.rfind("usage: " + name + " ", 0), 0u) << r.out;
            EXPECT_TRUE(has(r.out, "--version"));
            EXPECT_EQ(r.err, "");
            if (name != "orv3sim") {
                EXPECT_TRUE(has(r.out, "Changes")) << "what it changes on the watch";
                EXPECT_TRUE(has(r.out, "Exit status:\n"));
            }
        }
        const run_result r = run_alone({name, "--version"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, name + " " + ORV3_VERSION + "\n");
        EXPECT_EQ(r.err, "");
    }
}

TEST(command_line, help_lists_the_setter_options_and_its_codes)
{
    const run_result r = run_alone({"orv3set", "--help"});
    for (const char* part : {"tzoff=MIN", "tz=INDEX", "dst=MODE", "tempoff=N", "at most 255", "-32768 to 32767",
                             "    2        ", "    255 (-1)   ", "  128+N        "})
        EXPECT_TRUE(has(r.out, part)) << part << " in\n" << r.out;
}

struct refusal_case {
    std::vector<std::string> command;
    std::string named;  // in the message
};

// Refused with the simulated access point present: nothing reaches it.
const refusal_case REFUSALS[] = {
    {{"orv3get", "foo"}, "'foo'"},
    {{"orv3get", "--version", "x"}, "'--version'"},
    {{"orv3dump", "--verbose"}, "'--verbose'"},
    {{"orv3param", "ORV3PARAM.INI"}, "'ORV3PARAM.INI'"},
    {{"orv3set", "tzof=60"}, "'tzof=60'"},
    {{"orv3set", "tz=5", "--help"}, "'--help'"},
    {{"orv3set", "-h", "tz=5"}, "'-h'"},
    {{"orv3set", "tz=256"}, "'tz=256'"},
    {{"orv3set", "TZ=4294967297"}, "'TZ=4294967297'"},
    {{"orv3set", "tempoff=32768"}, "'tempoff=32768'"},
    {{"orv3set", "tz=5", "tempoff=70000", "dst=0"}, "'tempoff=70000'"},
    {{"orv3set", "tempoff=-32769"}, "'tempoff=-32769'"},
    {{"orv3set", "tempoff=99999999999"}, "'tempoff=99999999999'"},
    {{"orv3set", "tempoff=12", "tz=300"}, "'tz=300'"},
};

TEST(command_line, refused_before_anything_is_opened)
{
    for (const refusal_case& c : REFUSALS) {
        SCOPED_TRACE(c.command.at(0) + " " + c.command.at(1));
        run_options o;
        o.command = c.command;
        const run_result r = run_tool(o);
        EXPECT_EQ(r.status, TOOL_USAGE);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(has(r.err, c.command.at(0) + ": ")) << r.err;
        EXPECT_TRUE(has(r.err, c.named)) << r.err;
        EXPECT_TRUE(has(r.err, c.command.at(0) + " --help")) << r.err;
        EXPECT_TRUE(has(r.summary, "access point frames: 0\n")) << r.summary;
        EXPECT_TRUE(frames_of(r.wire, "pc>ap").empty());
    }
}

// The extremes of the temperature offset are taken: the run goes on to its
// console check, which a pipe as the standard output fails.
TEST(command_line, tempoff_extremes_are_taken)
{
    for (const char* arg : {"tempoff=-32768", "tempoff=32767"}) {
        SCOPED_TRACE(arg);
        const run_result r = run_alone({"orv3set", arg});
        EXPECT_EQ(r.status, 256 + TOOL_REDIRECTED);
    }
}

struct sim_case {
    std::vector<std::string> args;  // after orv3sim
    int status;
    std::string err;  // part of standard error
};

TEST(command_line, simulator_options)
{
    const std::string summary = make_temp_dir() + "/summary";
    const sim_case cases[] = {
        {{"--offset"}, TOOL_USAGE, "--offset needs a value: --offset=MS or --offset MS"},
        {{"--offset", "--", "orv3get"}, TOOL_USAGE, "--offset needs a value"},
        {{"--transcript", "--offset=3"}, TOOL_USAGE, "--transcript needs a value"},
        {{"--offset", "abc"}, TOOL_USAGE, "bad value for --offset: 'abc'"},
        {{"--offest=3"}, TOOL_USAGE, "unknown option '--offest'"},
        {{"--help", "--offset=3"}, TOOL_USAGE, "'--help' is given alone"},
        {{"--offset=3", "--version"}, TOOL_USAGE, "'--version' is given alone"},
        {{"--watch-utc=1"}, TOOL_USAGE, "bad value for --watch-utc"},
        // Both forms, a negative value among them; the command's own --help is its own.
        {{"--summary", summary, "--offset", "-5", "--drift=2", "--", bin_path("orv3get"), "--version"}, 0, ""},
    };
    for (const sim_case& c : cases) {
        SCOPED_TRACE(c.args.at(0));
        std::vector<std::string> command = {"orv3sim"};
        command.insert(command.end(), c.args.begin(), c.args.end());
        const run_result r = run_alone(command);
        EXPECT_EQ(r.status, c.status);
        if (c.status != 0) {
            EXPECT_TRUE(has(r.err, "orv3sim: " + c.err)) << r.err;
            EXPECT_EQ(r.out, "");
        }
    }
    EXPECT_TRUE(has(read_file(summary), "access point frames: 0\n"));
}

}  // namespace
