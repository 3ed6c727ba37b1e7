// SPDX-License-Identifier: MIT
// The portable profile reader against the platform's own (on Windows the
// private-profile calls) over a table of odd files. Where the two part, the
// row says why and what each gives.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/profile.h"

namespace {

struct Case {
    const char* what;
    std::string text;  // the whole file
    const char* section;
    const char* key;
    int32_t def;
    int32_t want;  // what the portable reader gives
    // When the platform gives something else: what, and why that is kept.
    int32_t platform = 0;
    const char* why_apart = nullptr;
};

// A file of its own per case, beside the test's other scratch files.
std::string write_file(const std::string& name, const std::string& text)
{
    const std::filesystem::path dir = std::filesystem::absolute("profile-peer");
    std::filesystem::create_directories(dir);
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

TEST(ProfilePeer, IntegersAsThePlatformReadsThem)
{
    using namespace std::string_literals;
    const Case cases[] = {
        {"plain", "[s]\nk=42\n", "s", "k", 7, 42},
        {"blanks around", "  [ s ]  \n  k  =  42  \n", "s", "k", 7, 42},
        {"tabs around", "[s]\n\tk\t=\t42\t\n", "s", "k", 7, 42},
        {"minus", "[s]\nk=-42\n", "s", "k", 7, -42},
        {"plus", "[s]\nk=+42\n", "s", "k", 7, 42},
        {"minus alone", "[s]\nk=-\n", "s", "k", 7, 0},
        {"blank after sign", "[s]\nk=- 5\n", "s", "k", 7, 0},
        {"digits then letters", "[s]\nk=12abc\n", "s", "k", 7, 12},
        {"letters", "[s]\nk=abc\n", "s", "k", 7, 0},
        {"empty value", "[s]\nk=\n", "s", "k", 7, 7},
        {"key alone", "[s]\nk\n", "s", "k", 7, 7},
        {"hex 0x", "[s]\nk=0x10\n", "s", "k", 7, 16},
        {"hex 0X", "[s]\nk=0X1f\n", "s", "k", 7, 0},
        {"negative hex", "[s]\nk=-0x1f\n", "s", "k", 7, -31},
        {"hex up to its last digit", "[s]\nk=0x1fg\n", "s", "k", 7, 31},
        {"hex 2^32 + 1 wraps", "[s]\nk=0x100000001\n", "s", "k", 7, 1},
        {"octal 0o", "[s]\nk=0o17\n", "s", "k", 7, 15},
        {"binary 0b", "[s]\nk=0b101\n", "s", "k", 7, 5},
        {"hex suffix", "[s]\nk=10h\n", "s", "k", 7, 10},
        {"octal-looking", "[s]\nk=010\n", "s", "k", 7, 10},
        {"double quotes", "[s]\nk=\"42\"\n", "s", "k", 7, 42},
        {"single quotes", "[s]\nk='42'\n", "s", "k", 7, 42},
        {"quotes with blanks", "[s]\nk=\" 42 \"\n", "s", "k", 7, 42},
        {"unmatched quote", "[s]\nk=\"42\n", "s", "k", 7, 0},
        {"duplicate key", "[s]\nk=1\nk=2\n", "s", "k", 7, 1},
        {"duplicate section", "[s]\na=1\n[s]\nk=2\n", "s", "k", 7, 7},
        {"section case", "[HEQ_Info]\nk=3\n", "heq_info", "k", 7, 3},
        {"key case", "[s]\nTC_FLAGS=5\n", "s", "tc_flags", 7, 5},
        {"comment line", "[s]\n;k=1\nk=2\n", "s", "k", 7, 2},
        {"comment after value", "[s]\nk=5 ; five\n", "s", "k", 7, 5},
        {"hash is no comment", "[s]\n#k=1\nk=2\n", "s", "k", 7, 2},
        {"CRLF line ends", "[s]\r\nk=9\r\n", "s", "k", 7, 9},
        {"lone CR line ends", "[s]\rk=9\r", "s", "k", 7, 9},
        {"CR inside a value", "[s]\nk=1\r2\n", "s", "k", 7, 1},
        {"no line end at the end", "[s]\nk=9", "s", "k", 7, 9},
        {"key before any section", "k=4\n[s]\nj=1\n", "s", "k", 7, 7},
        {"empty section name", "[]\nk=4\n", "", "k", 7, 7},
        {"blank section name", "[ ]\nk=4\n", "", "k", 7, 7},
        {"text after the header", "[s] trailing\nk=4\n", "s", "k", 7, 4},
        {"header without ]", "[s\nk=4\n", "s", "k", 7, 7},
        {"2^31 - 1", "[s]\nk=2147483647\n", "s", "k", 7, 2147483647},
        {"2^31 wraps", "[s]\nk=2147483648\n", "s", "k", 7, INT32_MIN},
        {"-2^31", "[s]\nk=-2147483648\n", "s", "k", 7, INT32_MIN},
        {"2^32 + 1 wraps", "[s]\nk=4294967297\n", "s", "k", 7, 1},
        {"twenty digits", "[s]\nk=99999999999999999999\n", "s", "k", 7, 1661992959},
        {"blank in the key", "[s]\nk k=4\n", "s", "k k", 7, 4},
        {"equals in the value", "[s]\nk=4=5\n", "s", "k", 7, 4},
        {"UTF-8 byte order mark", "\xEF\xBB\xBF[s]\nk=4\n", "s", "k", 7, 4},
        {"missing section", "[t]\nk=4\n", "s", "k", 7, 7},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = write_file("odd" + std::to_string(n++) + ".ini", c.text);
        const int32_t portable = profile_file_int(c.section, c.key, c.def, path.c_str());
        const int32_t platform = plat_profile_int(c.section, c.key, c.def, path.c_str());
        EXPECT_EQ(portable, c.want);
        if (c.why_apart == nullptr)
            EXPECT_EQ(platform, portable) << "the readers part";
        else
            EXPECT_EQ(platform, c.platform) << c.why_apart;
    }
}

TEST(ProfilePeer, SectionNamesAsThePlatformListsThem)
{
    struct Names {
        const char* what;
        std::string text;
    };
    const Names cases[] = {
        {"empty file", ""},
        {"no header", "k=1\n"},
        {"two sections", "[a]\n[ b ]\n"},
        {"duplicate sections", "[a]\n[a]\n"},
        {"empty name", "[]\n[a]\n"},
        {"header without ]", "[a\n"},
        {"lone CR line ends", "[a]\r[b]\r"},
    };
    int n = 0;
    for (const Names& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = write_file("names" + std::to_string(n++) + ".ini", c.text);
        char portable[256], platform[256];
        const std::size_t a = profile_file_section_names(path.c_str(), portable, sizeof portable);
        const std::size_t b = plat_profile_section_names(path.c_str(), platform, sizeof platform);
        EXPECT_EQ(std::string(portable, a), std::string(platform, b));
    }
}

}  // namespace
