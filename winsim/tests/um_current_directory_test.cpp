// Each process's current directory: where it starts, how it changes, and
// what the file functions make of relative names with it.
#include <windows.h>

#include <string>
#include <vector>

#include "um_test_fixture.h"
#include "um/file_paths.h"
#include "um/file_system.h"
#include "um/programs.h"

namespace winsim::test {
namespace {

using CurrentDirectoryTest = UserModeTest;

TEST(FullFilePathTest, CompletesWhatWindowsCompletesAndLeavesTheRest)
{
    const char* folder = "C:\\Program Files\\Tool";
    EXPECT_EQ(um::FullFilePath("a.txt", folder), "C:\\Program Files\\Tool\\a.txt");
    EXPECT_EQ(um::FullFilePath("..\\b\\a.txt", folder), "C:\\Program Files\\Tool\\..\\b\\a.txt")
        << "the parser resolves the dots";
    EXPECT_EQ(um::FullFilePath(".", folder), "C:\\Program Files\\Tool\\.");
    EXPECT_EQ(um::FullFilePath("\\Windows\\x", folder), "C:\\Windows\\x") << "the root of its drive";
    EXPECT_EQ(um::FullFilePath("c:a.txt", folder), "C:\\Program Files\\Tool\\a.txt") << "its own drive";
    EXPECT_EQ(um::FullFilePath("D:a.txt", folder), "D:\\a.txt") << "another drive, from its root";
    EXPECT_EQ(um::FullFilePath("a.txt", "C:\\"), "C:\\a.txt");
    for (const char* whole : {"C:\\x\\a.txt", "C:/x", "\\\\?\\C:\\x", "\\\\.\\COM3", "\\\\server\\share", ""}) {
        EXPECT_EQ(um::FullFilePath(whole, folder), whole);
    }
}

TEST_F(CurrentDirectoryTest, TheMachinesUserStartsAtTheRoot)
{
    char text[MAX_PATH] = "";
    EXPECT_EQ(GetCurrentDirectoryA(sizeof(text), text), 3u);
    EXPECT_STREQ(text, "C:\\");
    um::FileSystem::Instance().PutFile("C:\\top.txt", {'t'});
    EXPECT_NE(GetFileAttributesA("top.txt"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CurrentDirectoryTest, TheBufferSizeRulesOfBothCharacterSets)
{
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Windows\\inf"));
    const DWORD needed = sizeof("C:\\Windows\\inf");
    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), needed) << "the size with its NUL";
    char small[8] = "xxxxxxx";
    EXPECT_EQ(GetCurrentDirectoryA(sizeof(small), small), needed);
    EXPECT_STREQ(small, "xxxxxxx") << "a short buffer is left alone";
    char exact[sizeof("C:\\Windows\\inf")] = "";
    EXPECT_EQ(GetCurrentDirectoryA(sizeof(exact), exact), needed - 1);
    EXPECT_STREQ(exact, "C:\\Windows\\inf");
    WCHAR wide[MAX_PATH] = L"";
    EXPECT_EQ(GetCurrentDirectoryW(MAX_PATH, wide), needed - 1);
    EXPECT_EQ(std::string(wide, wide + needed), std::string("C:\\Windows\\inf", needed)) << "with its NUL";
    EXPECT_TRUE(SetCurrentDirectoryW(L"..\\SYSTEM32"));
    char text[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(text), text);
    EXPECT_STREQ(text, "C:\\Windows\\SYSTEM32") << "as it was given";
}

TEST_F(CurrentDirectoryTest, OnlyAnExistingFolderBecomesCurrent)
{
    um::FileSystem::Instance().PutFile("C:\\Windows\\notes.txt", {'n'});
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Windows"));
    EXPECT_FALSE(SetCurrentDirectoryA("missing"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(SetCurrentDirectoryA("notes.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
    EXPECT_FALSE(SetCurrentDirectoryA("a|b"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_FALSE(SetCurrentDirectoryA(""));
    EXPECT_FALSE(SetCurrentDirectoryW(L"\u0416"));
    char text[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(text), text);
    EXPECT_STREQ(text, "C:\\Windows") << "a refused change keeps the folder";
    ASSERT_TRUE(SetCurrentDirectoryA("\\"));
    GetCurrentDirectoryA(sizeof(text), text);
    EXPECT_STREQ(text, "C:\\");
}

// What the program saw of its current directory and its relative names.
struct Seen {
    std::string startFolder;
    std::string read;
    std::string afterChange;
    DWORD copyAttributes = 0;
    bool deleted = false;
    DWORD versionError = 0;
};
Seen g_seen;

std::string ReadWhole(const char* name)
{
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<not found>";
    char text[64] = "";
    DWORD got = 0;
    ReadFile(file, text, sizeof(text) - 1, &got, nullptr);
    CloseHandle(file);
    return std::string(text, got);
}

int WINAPI RelativeNamesMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(folder), folder);
    g_seen.startFolder = folder;
    g_seen.read = ReadWhole("data.txt");
    CopyFileA("data.txt", "copy.txt", TRUE);
    g_seen.copyAttributes = GetFileAttributesA("C:\\Tools\\copy.txt");
    CreateDirectoryA("logs", nullptr);
    SetCurrentDirectoryA("logs");
    HANDLE file = CreateFileA("today.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    WriteFile(file, "log", 3, nullptr, nullptr);
    CloseHandle(file);
    g_seen.afterChange = ReadWhole("..\\data.txt");
    g_seen.deleted = DeleteFileA("..\\copy.txt") != FALSE;
    DWORD ignored = 0;
    if (GetFileVersionInfoSizeA("module.dll", &ignored) == 0) g_seen.versionError = GetLastError();
    return 0;
}

TEST_F(CurrentDirectoryTest, AProgramStartsInItsFolderAndItsRelativeNamesFollowIt)
{
    um::FileSystem& fs = um::FileSystem::Instance();
    fs.PutFile("C:\\Tools\\data.txt", {'d', 'a', 't', 'a'});
    fs.PutFile("C:\\data.txt", {'r', 'o', 'o', 't'});
    fs.PutFile("C:\\Tools\\logs\\module.dll", {'M', 'Z'});
    fs.SetVersionResource("C:\\Tools\\logs\\module.dll", {0, 0});
    um::RegisterProgram("relative.exe", RelativeNamesMain, "C:\\Tools\\relative.exe");
    auto program = um::StartProgram("relative.exe");
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(program->WaitForEnd(), 0u);
    EXPECT_EQ(g_seen.startFolder, "C:\\Tools");
    EXPECT_EQ(g_seen.read, "data") << "not the root's file of that name";
    EXPECT_EQ(g_seen.copyAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(g_seen.afterChange, "data");
    EXPECT_TRUE(g_seen.deleted);
    EXPECT_EQ(g_seen.versionError, static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND))
        << "a module is looked for in the current directory too; this one's resource is empty";
    std::vector<BYTE> bytes;
    EXPECT_EQ(fs.GetFile("C:\\Tools\\logs\\today.txt", &bytes), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(fs.GetFile("C:\\Tools\\copy.txt", &bytes), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    char text[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(text), text);
    EXPECT_STREQ(text, "C:\\") << "the program's change is its own";
}

}  // namespace
}  // namespace winsim::test
