// SPDX-License-Identifier: MIT
// libqxap as other programs see it: exactly the public interface, under a
// versioned name, and working on its own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <unistd.h>

#include "aplink/qxap.h"
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
    // absolute symbol without a version.
    std::set<std::string> functions, others, nodes, versions;
    const auto out = lines_of(command_output("nm -D --defined-only -C " + LIBRARY));
    ASSERT_FALSE(out.empty()) << "nm found nothing in " << LIBRARY;
    for (const std::string& l : out) {
        const auto type_at = l.find(' ');
        ASSERT_TRUE(type_at != std::string::npos && type_at + 3 < l.size() && l[type_at + 2] == ' ') << l;
        const char type = l[type_at + 1];
        const std::string symbol = l.substr(type_at + 3);
        const auto at = symbol.find('@');
        if (type == 'A' && at == std::string::npos) {
            nodes.insert(symbol);
            continue;
        }
        (type == 'T' ? functions : others).insert(symbol.substr(0, at));
        versions.insert(at == std::string::npos ? "(none)" : symbol.substr(symbol.find_first_not_of('@', at)));
    }
    EXPECT_EQ(functions, expected);
    EXPECT_THAT(others, testing::IsEmpty());
    // One version node, and every function carries it.
    EXPECT_EQ(nodes.size(), 1u);
    EXPECT_EQ(versions, nodes);
}

TEST(QxLibrary, HasAVersionedSoname)
{
    std::istringstream dyn(command_output("objdump -p " + LIBRARY));
    std::string word, soname;
    while (dyn >> word)
        if (word == "SONAME" && dyn >> soname)
            break;
    const std::string prefix = "libqxap.so.";
    ASSERT_EQ(soname.substr(0, prefix.size()), prefix) << soname;
    const std::string version = soname.substr(prefix.size());
    EXPECT_TRUE(!version.empty() && version.find_first_not_of("0123456789") == std::string::npos) << soname;
    EXPECT_EQ(access((std::string(ORV3_LIB_DIR) + "/" + soname).c_str(), F_OK), 0);
}

// This test links the shared library, not the static one the tools use.
TEST(QxLibrary, DrivesTheAccessPointOnItsOwn)
{
    sim_server sim({"--ap-value=0x2A"});
    unsigned char port = 0;
    ASSERT_TRUE(QX_GetCOM(port));
    char path[64];
    std::snprintf(path, sizeof path, QXAP_PORT_PATH_FORMAT, port);
    ASSERT_TRUE(QX_OpenCOM(path, 115200, 30, false, false));
    unsigned short status = 0;
    EXPECT_TRUE(QX_GetStatus(status));
    EXPECT_EQ(status, 0x2A);
    QX_CloseCOM();
    EXPECT_FALSE(QX_GetStatus(status));
    EXPECT_EQ(status, 7);
}

}  // namespace
