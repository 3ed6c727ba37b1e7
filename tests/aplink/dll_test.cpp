// SPDX-License-Identifier: MIT
// qxap.dll as other programs see it: exactly the public interface under the
// names Windows C++ compilers give it, and callable through the import library.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "aplink/qxap.h"
#include "platform/win32/records.h"

namespace {

// The names in the export table of a loaded module.
std::set<std::string> exported_names(HMODULE module)
{
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::set<std::string> names;
    if (dir.Size == 0)
        return names;
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* rvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.insert(reinterpret_cast<const char*>(base + rvas[i]));
    return names;
}

TEST(QxDll, ExportsExactlyThePublicFunctions)
{
    const std::set<std::string> expected = {
        "?QX_OpenCOM@@YA_NPEADKG_N1@Z",
        "?QX_CloseCOM@@YAXXZ",
        "?QX_GetCOM@@YA_NAEAE@Z",
        "?QX_Reset@@YA_NXZ",
        "?QX_GetStatus@@YA_NAEAG@Z",
        "?QX_ROV_Start@@YA_NXZ",
        "?QX_ROV_Stop@@YA_NXZ",
        "?QX_ROV_SetID@@YA_NK@Z",
        "?QX_ROV_GetID@@YA_NAEAK@Z",
        "?QX_ROV_SetHeartrate@@YA_NG@Z",
        "?QX_VAM_Start@@YA_NXZ",
        "?QX_VAM_Stop@@YA_NXZ",
        "?QX_VAM_GetData@@YA_NAEAK@Z",
        "?QX_KEPL_Start@@YA_NXZ",
        "?QX_KEPL_Stop@@YA_NXZ",
        "?QX_KEPL_GetStatus@@YA_NAEAK@Z",
        "?QX_KEPL_GetPacketStatus@@YA_NAEAK@Z",
        "?QX_KEPL_Send_Data@@YA_NPEAEHAEAK@Z",
        "?QX_SYNC_Start@@YA_NXZ",
        "?QX_SYNC_GetBufferStatus@@YA_NAEAG@Z",
        "?QX_SYNC_ReadBuffer@@YA_NPEAE@Z",
    };
    const HMODULE dll = GetModuleHandleA("qxap.dll");
    ASSERT_NE(dll, nullptr) << "linked through its import library";
    EXPECT_EQ(exported_names(dll), expected);
}

TEST(QxDll, AnswersThroughTheImportLibrary)
{
    unsigned short status = 0;
    EXPECT_FALSE(QX_GetStatus(status));
    EXPECT_EQ(status, 7);
    unsigned long value = 99;
    EXPECT_FALSE(QX_ROV_GetID(value));
    EXPECT_EQ(value, 99u);
    char missing[] = "\\\\.\\COM250";
    EXPECT_FALSE(QX_OpenCOM(missing, 115200, 30, false, false));
    QX_CloseCOM();
}

}  // namespace
