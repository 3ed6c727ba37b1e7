// The INI reader's section list: files without a section, and a list cut to
// the caller's buffer without a byte written past it.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

#include "platform/profile.h"
#include "tests/support/in_temp_dir.h"
#include "tests/support/sim_harness.h"


namespace {

void write_file(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

std::string binary_noise()
{
    std::string s;
    for (int i = 0; i < 2048; ++i)
        s.push_back(static_cast<char>((i * 131 + 7) % 256));
    return s;
}

// Files in which no section is found: the search goes on to the next name.
TEST_F(in_temp_dir, files_without_a_section_are_not_found)
{
    const std::string not_files[] = {
        std::string("heq_a=5\n"), std::string("[]\n[  ]\n"), std::string("[heq_info\n"),
        std::string("\0\0\0\0", 4), binary_noise(), std::string(1 << 20, '['),
    };
    for (const std::string& content : not_files) {
        write_file("ORV3PARAM.INI", content);
        char buf[256];
        EXPECT_EQ(plat_profile_section_names("ORV3PARAM.INI", buf, sizeof buf), 0u);
    }
    EXPECT_EQ(plat_profile_section_names("missing.ini", nullptr, 0), 0u);
}

TEST_F(in_temp_dir, section_list_is_cut_to_its_buffer)
{
    write_file("a.ini", "[abc]\n[defgh]\n");
    char big[256];
    std::memset(big, 'x', sizeof big);
    EXPECT_EQ(plat_profile_section_names("a.ini", big, sizeof big), 10u);
    EXPECT_EQ(std::string(big, 11), std::string("abc\0defgh\0\0", 11));

    // A list that does not fit: cut, two closing zeros, size - 2, and not a
    // byte written past the buffer (the guard bytes stay).
    char small[10];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(plat_profile_section_names("a.ini", small, 8), 6u);
    EXPECT_EQ(std::string(small, 10), std::string("abc\0de\0\0xx", 10));

    std::string many;
    for (int i = 0; i < 200; ++i)
        many += "[section" + std::to_string(i) + "]\n";
    write_file("many.ini", many);
    char list[258];
    list[256] = list[257] = 'g';
    EXPECT_EQ(plat_profile_section_names("many.ini", list, 256), 254u);
    EXPECT_EQ(list[254], '\0');
    EXPECT_EQ(list[255], '\0');
    EXPECT_EQ(list[256], 'g');
    EXPECT_EQ(list[257], 'g');
}

}  // namespace
