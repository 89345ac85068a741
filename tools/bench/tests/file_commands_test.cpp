// file and clock through their printed output and what a program of the
// simulated PC then finds.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "bench_test.h"

namespace bench {
namespace {

using FileCommandsTest = BenchTest;

TEST_F(FileCommandsTest, PutGetAndDeleteAFileWithItsLines)
{
    EXPECT_EQ(Run("file put C:\\Windows\\notes.txt \"one\\r\\ntwo \\\"2\\\"\\n\\nlast\""), "");
    EXPECT_EQ(Run("file get c:\\windows\\NOTES.TXT"),
              "file c:\\windows\\NOTES.TXT 18\n"
              "file line \"one\"\n"
              "file line \"two \\\"2\\\"\"\n"
              "file line \"\"\n"
              "file line \"last\"\n");
    EXPECT_EQ(Run("file put \"C:\\\\Program Files\\\\Tessary\\\\empty.txt\" \"\""), "") << "folders are made";
    EXPECT_EQ(Run("file get \"C:\\\\Program Files\\\\Tessary\\\\empty.txt\""),
              "file \"C:\\\\Program Files\\\\Tessary\\\\empty.txt\" 0\n");
    EXPECT_EQ(Run("file del C:\\Windows\\notes.txt"), "");
    EXPECT_EQ(Run("file get C:\\Windows\\notes.txt"), "error: file C:\\Windows\\notes.txt: ERROR_FILE_NOT_FOUND(2)\n");
    EXPECT_FALSE(last);
    EXPECT_EQ(Run("file del C:\\Nowhere\\notes.txt"), "error: file C:\\Nowhere\\notes.txt: ERROR_PATH_NOT_FOUND(3)\n");
}

TEST_F(FileCommandsTest, TheTimeOfAFileIsLocalAndAProgramReadsItBackThroughTheConversions)
{
    Run("file put C:\\stamp.txt \"x\"");
    EXPECT_EQ(Run("file time C:\\stamp.txt 2025-12-24 18:30"), "");
    HANDLE file = CreateFileA("C:\\stamp.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME written;
    FILETIME local;
    SYSTEMTIME date;
    ASSERT_TRUE(GetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);
    FileTimeToSystemTime(&written, &date);
    EXPECT_EQ(date.wHour, 17) << "kept in UTC";
    FileTimeToLocalFileTime(&written, &local);
    FileTimeToSystemTime(&local, &date);
    EXPECT_EQ(date.wYear, 2025);
    EXPECT_EQ(date.wMonth, 12);
    EXPECT_EQ(date.wDay, 24);
    EXPECT_EQ(date.wHour, 18);
    EXPECT_EQ(date.wMinute, 30);
}

TEST_F(FileCommandsTest, TheClockStartsAtItsDateAndCanBeSet)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2026);
    EXPECT_EQ(now.wDay, 5);
    EXPECT_EQ(now.wHour, 9);
    EXPECT_EQ(Run("clock set 2030-06-15 23:59:58"), "");
    Run("wait 3s");
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2030);
    EXPECT_EQ(now.wMonth, 6);
    EXPECT_EQ(now.wDay, 16);
    EXPECT_EQ(now.wHour, 0);
    EXPECT_EQ(now.wSecond, 1);
}

// What the About box does: the translations, then each one's FileVersion,
// and the file's last-write time in local time.
TEST_F(FileCommandsTest, TheInstalledDriverFileCarriesTheResourceCompilersVersionResource)
{
    char path[MAX_PATH];
    GetWindowsDirectoryA(path, MAX_PATH);
    strcat(path, "\\system32\\drivers\\84prusb64.sys");
    DWORD handle;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    ASSERT_NE(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, handle, size, info.data()));
    WORD* pairs = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<LPVOID*>(&pairs), &length));
    ASSERT_EQ(length, 4u);
    char query[64];
    snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", pairs[0], pairs[1], "FileVersion");
    EXPECT_STREQ(query, "\\StringFileInfo\\040904b0\\FileVersion");
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), query, reinterpret_cast<LPVOID*>(&text), &length));
    EXPECT_STREQ(text, "1.0.772.0");
    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x0001'0000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 772u << 16);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DRV));

    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME written;
    FILETIME local;
    SYSTEMTIME date;
    GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    FileTimeToLocalFileTime(&written, &local);
    FileTimeToSystemTime(&local, &date);
    EXPECT_EQ(date.wYear, 2013);
    EXPECT_EQ(date.wMonth, 10);
    EXPECT_EQ(date.wDay, 14);
    EXPECT_EQ(date.wHour, 11);
    EXPECT_EQ(date.wMinute, 10);
}

TEST_F(FileCommandsTest, MistakesAreErrors)
{
    EXPECT_EQ(Run("clock set 2030-02-30 10:00:00"), "error: no such time: 2030-02-30 10:00:00\n");
    EXPECT_EQ(Run("clock set 2030-02-03 10:00"), "error: a time is YYYY-MM-DD HH:MM:SS, not 2030-02-03 10:00\n");
    EXPECT_EQ(Run("clock 2030-02-03 10:00:00"), "error: usage: clock set YYYY-MM-DD HH:MM:SS\n");
    EXPECT_EQ(Run("file time C:\\x.txt 2030-02-03 10:00:00"),
              "error: a time is YYYY-MM-DD HH:MM, not 2030-02-03 10:00:00\n");
    EXPECT_EQ(Run("file time C:\\x.txt 2030-02-03 10:00"), "error: file C:\\x.txt: ERROR_FILE_NOT_FOUND(2)\n");
    EXPECT_EQ(Run("file put C:\\x.txt"),
              "error: usage: file get PATH | file put PATH \"TEXT\" | file del PATH | file time PATH YYYY-MM-DD "
              "HH:MM\n");
    EXPECT_EQ(Run("file get C:\\Windows"), "error: file C:\\Windows: ERROR_ACCESS_DENIED(5)\n");
    EXPECT_EQ(Run("file put C:\\a<b \"x\""), "error: file C:\\a<b: ERROR_INVALID_NAME(123)\n");
}

}  // namespace
}  // namespace bench
