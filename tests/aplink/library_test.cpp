// libqxap as other programs see it: exactly the public interface, under a
// versioned name, and working on its own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <set>
#include <unistd.h>

#include "aplink/qxap.h"
#include "platform/port_list.h"
#include "tests/support/sim_harness.h"

namespace {

const std::string LIBRARY = std::string(ORV3_LIB_DIR) + "/libqxap.so";

std::string command_output(const std::string& cmd)
{
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> v;
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        v.push_back(text.substr(start, nl - start));
    return v;
}

TEST(QxLibrary, ExportsExactlyThePublicFunctions)
{
    const std::set<std::string> expected = {
        "QX_OpenCOM(char*, unsigned long, unsigned short, bool, bool)",
        "QX_CloseCOM()",
        "QX_GetCOM(unsigned char&)",
        "QX_Reset()",
        "QX_GetStatus(unsigned short&)",
        "QX_ROV_Start()",
        "QX_ROV_Stop()",
        "QX_ROV_SetID(unsigned long)",
        "QX_ROV_GetID(unsigned long&)",
        "QX_ROV_SetHeartrate(unsigned short)",
        "QX_VAM_Start()",
        "QX_VAM_Stop()",
        "QX_VAM_GetData(unsigned long&)",
        "QX_KEPL_Start()",
        "QX_KEPL_Stop()",
        "QX_KEPL_GetStatus(unsigned long&)",
        "QX_KEPL_GetPacketStatus(unsigned long&)",
        "QX_KEPL_Send_Data(unsigned char*, int, unsigned long&)",
        "QX_SYNC_Start()",
        "QX_SYNC_GetBufferStatus(unsigned short&)",
        "QX_SYNC_ReadBuffer(unsigned char*)",
    };
    ASSERT_EQ(expected.size(), 21u);
    // "<address> <type> <name>@@<version>"; the version node itself is an
    // absolute symbol of its own.
    const std::regex line(R"(^[0-9a-f]+ (\w) (.+?)(@@?(\w+))?$)");
    std::set<std::string> functions, others, versions;
    const auto out = lines(command_output("nm -D --defined-only -C " + LIBRARY));
    ASSERT_FALSE(out.empty()) << "nm found nothing in " << LIBRARY;
    for (const std::string& l : out) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l, m, line)) << l;
        if (m[1] == "A" && !m[3].matched) {
            versions.insert(m[2]);
            continue;
        }
        (m[1] == "T" ? functions : others).insert(m[2]);
        versions.insert(m[4].matched ? m[4].str() : "(none)");
    }
    EXPECT_EQ(functions, expected);
    EXPECT_THAT(others, testing::IsEmpty());
    EXPECT_EQ(versions.size(), 1u) << "every symbol carries the one version";
}

TEST(QxLibrary, HasAVersionedSoname)
{
    const std::string dyn = command_output("objdump -p " + LIBRARY);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(dyn, m, std::regex(R"(SONAME\s+(\S+))")));
    EXPECT_TRUE(std::regex_match(m[1].str(), std::regex(R"(libqxap\.so\.[0-9]+)"))) << m[1];
    EXPECT_EQ(access((std::string(ORV3_LIB_DIR) + "/" + m[1].str()).c_str(), F_OK), 0);
}

// This test links the shared library, not the static one the tools use.
TEST(QxLibrary, DrivesTheAccessPointOnItsOwn)
{
    sim_server sim({"--ap-value=0x2A"});
    unsigned char port = 0;
    ASSERT_TRUE(QX_GetCOM(port));
    char path[64];
    std::snprintf(path, sizeof path, PLAT_PORT_PATH_FORMAT, port);
    ASSERT_TRUE(QX_OpenCOM(path, 115200, 30, false, false));
    unsigned short status = 0;
    EXPECT_TRUE(QX_GetStatus(status));
    EXPECT_EQ(status, 0x2A);
    QX_CloseCOM();
    EXPECT_FALSE(QX_GetStatus(status));
    EXPECT_EQ(status, 7);
}

}  // namespace
