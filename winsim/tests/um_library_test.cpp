// System libraries by name, their withholding knobs, the platform's version
// report and local memory.
#include <windows.h>

#include "um_test_fixture.h"
#include "um/platform_version.h"
#include "um/system_libraries.h"
#include "um/um_process.h"

namespace winsim::test {
namespace {

int WINAPI FirstExport() { return 1; }
int WINAPI SecondExport() { return 2; }

class UserLibraryTest : public UserModeTest {
protected:
    void SetUp() override
    {
        UserModeTest::SetUp();
        um::RegisterSystemExport("testlib.dll", "First", &FirstExport);
        um::RegisterSystemExport("TESTLIB.DLL", "Second", &SecondExport);
    }
};

TEST_F(UserLibraryTest, NamesMatchWithoutCaseAndWithTheExtensionOptional)
{
    HMODULE plain = LoadLibraryA("testlib.dll");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(LoadLibraryA("TestLib"), plain);
    EXPECT_EQ(LoadLibraryA("C:\\Windows\\system32\\TESTLIB.DLL"), plain);
    // A trailing dot means no extension: a file called "testlib" is no DLL.
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("testlib."), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(LoadLibraryA("nosuch.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_NE(LoadLibraryA("setupapi"), plain);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(FreeLibrary(plain));
    FreeLibrary(GetModuleHandleA("setupapi.dll"));
}

TEST_F(UserLibraryTest, ExportNamesAreExactAndOrdinalsFindNothing)
{
    HMODULE module = LoadLibraryA("testlib");
    ASSERT_NE(module, nullptr);
    FARPROC first = GetProcAddress(module, "First");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first(), 1);
    EXPECT_EQ(GetProcAddress(module, "Second")(), 2);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, "first"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(module, reinterpret_cast<LPCSTR>(1)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    FreeLibrary(module);
}

TEST_F(UserLibraryTest, TheLastFreeUnloadsAndAStaleHandleFindsNothing)
{
    EXPECT_EQ(GetModuleHandleA("testlib.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    HMODULE module = LoadLibraryA("testlib.dll");
    EXPECT_EQ(LoadLibraryA("testlib.dll"), module);
    EXPECT_EQ(GetModuleHandleA("TESTLIB"), module);

    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(GetModuleHandleA("testlib.dll"), module) << "one load is left";
    EXPECT_NE(GetProcAddress(module, "First"), nullptr);

    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(GetModuleHandleA("testlib.dll"), nullptr);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, "First"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_FALSE(FreeLibrary(module));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(UserLibraryTest, WhatEveryProgramImportsIsLoadedFromTheStartAndStays)
{
    HMODULE kernel32 = GetModuleHandleA("KERNEL32");
    ASSERT_NE(kernel32, nullptr);
    EXPECT_TRUE(FreeLibrary(kernel32));
    EXPECT_TRUE(FreeLibrary(kernel32));
    EXPECT_EQ(GetModuleHandleA("kernel32.dll"), kernel32);
    EXPECT_EQ(GetModuleHandleA(nullptr), um::CurrentProcess().MainModule());
    EXPECT_EQ(GetProcAddress(GetModuleHandleA(nullptr), "First"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
}

TEST_F(UserLibraryTest, AWithheldDllDoesNotLoadAndAWithheldExportIsNotFound)
{
    ASSERT_TRUE(um::SetSystemLibraryWithheld("TestLib", true));
    EXPECT_EQ(LoadLibraryA("testlib.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    ASSERT_TRUE(um::SetSystemLibraryWithheld("testlib.dll", false));

    ASSERT_TRUE(um::SetSystemLibraryWithheld("testlib.dll!Second", true));
    HMODULE module = LoadLibraryA("testlib.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "First"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "Second"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    ASSERT_TRUE(um::SetSystemLibraryWithheld("testlib.dll!Second", false));
    EXPECT_NE(GetProcAddress(module, "Second"), nullptr);

    // Unknown targets are refused, so a script's typo does not pass as a knob.
    EXPECT_FALSE(um::SetSystemLibraryWithheld("nosuch.dll", true));
    EXPECT_FALSE(um::SetSystemLibraryWithheld("testlib.dll!Third", true));

    // A boot offers everything again.
    ASSERT_TRUE(um::SetSystemLibraryWithheld("testlib.dll", true));
    um::BootUserMode();
    EXPECT_NE(LoadLibraryA("testlib.dll"), nullptr);
}

DWORD VersionWithSize(DWORD size, OSVERSIONINFOEXA* info)
{
    *info = {};
    info->dwOSVersionInfoSize = size;
    SetLastError(0);
    return GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(info)) ? ERROR_SUCCESS : GetLastError();
}

TEST_F(UserLibraryTest, EachPlatformReportsItsVersionAndChecksTheStructureSize)
{
    OSVERSIONINFOEXA info;
    ASSERT_EQ(VersionWithSize(sizeof(OSVERSIONINFOA), &info), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_EQ(info.dwMajorVersion, 6u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_EQ(info.wProductType, 0) << "the short structure leaves the extended fields alone";
    ASSERT_EQ(VersionWithSize(sizeof(OSVERSIONINFOEXA), &info), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(info.wProductType, VER_NT_WORKSTATION);
    EXPECT_EQ(VersionWithSize(sizeof(OSVERSIONINFOA) - 1, &info), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(VersionWithSize(0, &info), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    um::SetPlatformVersion(um::PlatformVersion::kNt40);
    ASSERT_EQ(VersionWithSize(sizeof(OSVERSIONINFOA), &info), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_EQ(info.dwMajorVersion, 4u);
    EXPECT_EQ(info.dwMinorVersion, 0u);

    um::SetPlatformVersion(um::PlatformVersion::kWin9x);
    ASSERT_EQ(VersionWithSize(sizeof(OSVERSIONINFOA), &info), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS));
    EXPECT_EQ(info.dwMajorVersion, 4u);
    EXPECT_EQ(info.dwMinorVersion, 10u);
    EXPECT_EQ(info.dwBuildNumber & 0xFFFF, 2222u);
    EXPECT_EQ(VersionWithSize(sizeof(OSVERSIONINFOEXA), &info), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(UserLibraryTest, LocalBlocksAreZeroedOnRequestAndCountedUntilFreed)
{
    const size_t before = um::CurrentProcess().LocalBlocks();
    auto* zeroed = static_cast<unsigned char*>(LocalAlloc(LPTR, 64));
    ASSERT_NE(zeroed, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(zeroed[i], 0);
    HLOCAL empty = LocalAlloc(LMEM_FIXED, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_NE(empty, zeroed);
    EXPECT_EQ(um::CurrentProcess().LocalBlocks(), before + 2);

    EXPECT_EQ(LocalFree(zeroed), nullptr);
    EXPECT_EQ(LocalFree(empty), nullptr);
    EXPECT_EQ(um::CurrentProcess().LocalBlocks(), before);
    // A second free is refused instead of corrupting the heap.
    EXPECT_EQ(LocalFree(empty), empty);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(LocalFree(nullptr), nullptr);

    EXPECT_EQ(LocalAlloc(LMEM_MOVEABLE, 16), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
}  // namespace winsim::test
