// platform: the version and the system DLLs a program of the simulated PC
// meets, seen through the calls a program makes.
#include <windows.h>

#include <gtest/gtest.h>

#include "bench_test.h"

namespace bench {
namespace {

using PlatformCommandsTest = BenchTest;

DWORD PlatformId()
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    EXPECT_TRUE(GetVersionExA(&info));
    return info.dwPlatformId * 100 + info.dwMajorVersion * 10 + info.dwMinorVersion;
}

TEST_F(PlatformCommandsTest, VersionSwitchesWhatGetVersionExReports)
{
    EXPECT_EQ(PlatformId(), 261u);
    EXPECT_EQ(Run("platform version win9x"), "");
    EXPECT_EQ(PlatformId(), 150u);
    EXPECT_EQ(Run("platform version nt4"), "");
    EXPECT_EQ(PlatformId(), 240u);
    EXPECT_EQ(Run("platform version nt"), "");
    EXPECT_EQ(PlatformId(), 261u);
}

TEST_F(PlatformCommandsTest, WithholdAndRestoreADll)
{
    Run("platform withhold MSPORTS.DLL");
    EXPECT_TRUE(last);
    EXPECT_EQ(LoadLibraryA("msports.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    Run("platform restore msports");
    HMODULE module = LoadLibraryA("msports.dll");
    EXPECT_NE(module, nullptr);
    FreeLibrary(module);
}

TEST_F(PlatformCommandsTest, MistakesAreErrors)
{
    EXPECT_EQ(Run("platform version xp"), "error: a platform version is nt, nt4 or win9x, not xp\n");
    EXPECT_FALSE(last);
    EXPECT_EQ(Run("platform withhold nosuch.dll"), "error: no system library or export nosuch.dll\n");
    EXPECT_EQ(Run("platform withhold kernel32.dll!NoSuchExport"),
              "error: no system library or export kernel32.dll!NoSuchExport\n");
    EXPECT_EQ(Run("platform"),
              "error: usage: platform version nt|nt4|win9x | platform withhold|restore DLL[!EXPORT]\n");
    EXPECT_EQ(Run("platform forget msports.dll"),
              "error: usage: platform version nt|nt4|win9x | platform withhold|restore DLL[!EXPORT]\n");
}

}  // namespace
}  // namespace bench
