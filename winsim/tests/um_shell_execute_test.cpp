// Opening files and URLs through the classes' verbs, WinExec's command
// lines, and the 16-bit registry query they read the classes with.
#include <windows.h>

#include <shellapi.h>

#include "um_test_fixture.h"
#include "um/file_system.h"
#include "um/programs.h"

namespace winsim::test {
namespace {

constexpr INT kShowNormal = 1;  // SW_SHOWNORMAL

class ShellExecuteTest : public UserModeTest {
protected:
    // HKEY_CLASSES_ROOT\KEY's unnamed value.
    static void SetClassText(const char* key, const char* text)
    {
        HKEY handle = nullptr;
        const std::string path = std::string("Software\\Classes\\") + key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                                  nullptr),
                  ERROR_SUCCESS);
        if (text != nullptr) {
            ASSERT_EQ(RegSetValueExA(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                     static_cast<DWORD>(strlen(text) + 1)),
                      ERROR_SUCCESS);
        }
        RegCloseKey(handle);
    }
    static void PutFile(const char* path) { um::FileSystem::Instance().PutFile(path, {'M', 'Z'}); }
    static INT_PTR Open(const char* file)
    {
        return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", file, nullptr, nullptr, kShowNormal));
    }
};

TEST_F(ShellExecuteTest, TheSixteenBitQueryReadsAKeysUnnamedValue)
{
    SetClassText(".htm", "htmlfile");
    SetClassText("bare", nullptr);
    char text[16] = "x";
    LONG size = sizeof(text);
    EXPECT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, ".htm", text, &size), ERROR_SUCCESS);
    EXPECT_STREQ(text, "htmlfile");
    EXPECT_EQ(size, 9);
    size = sizeof(text);
    EXPECT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, "bare", text, &size), ERROR_SUCCESS) << "no value reads as empty";
    EXPECT_STREQ(text, "");
    EXPECT_EQ(size, 1);
    size = 4;
    EXPECT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, ".htm", text, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 9);
    size = sizeof(text);
    EXPECT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, ".nothing", text, &size), ERROR_FILE_NOT_FOUND);
    size = 0;
    EXPECT_EQ(RegQueryValueA(HKEY_LOCAL_MACHINE, "Software\\Classes\\.htm", nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 9) << "the size alone without a buffer";
}

TEST_F(ShellExecuteTest, AUrlOpensWithItsSchemesVerb)
{
    PutFile("C:\\Program Files\\Web\\browse.exe");
    SetClassText("http\\shell\\open\\command", "\"C:\\Program Files\\Web\\browse.exe\" -url \"%1\"");
    EXPECT_GT(Open("http://www.example.com/"), 32);
    EXPECT_EQ(um::TakeStartedCommandLines(),
              std::vector<std::string>{"\"C:\\Program Files\\Web\\browse.exe\" -url \"http://www.example.com/\""});
    EXPECT_EQ(Open("ftp://www.example.com/"), SE_ERR_NOASSOC) << "no class for the scheme";
    EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "print", "http://a/", nullptr, nullptr, kShowNormal)),
              SE_ERR_NOASSOC)
        << "no such verb";
    EXPECT_TRUE(um::TakeStartedCommandLines().empty());
}

TEST_F(ShellExecuteTest, AFileOpensWithItsExtensionsClass)
{
    PutFile("C:\\Windows\\notepad.exe");
    PutFile("C:\\Docs\\readme.txt");
    PutFile("C:\\Docs\\picture.xyz");
    SetClassText(".txt", "txtfile");
    SetClassText("txtfile\\shell\\open\\command", "notepad %1");
    EXPECT_GT(Open("C:\\Docs\\readme.txt"), 32);
    EXPECT_EQ(um::TakeStartedCommandLines(), std::vector<std::string>{"notepad C:\\Docs\\readme.txt"});
    EXPECT_EQ(Open("C:\\Docs\\picture.xyz"), SE_ERR_NOASSOC);
    EXPECT_EQ(Open("C:\\Docs\\missing.txt"), SE_ERR_FNF);
}

TEST_F(ShellExecuteTest, AHandlerWhoseProgramIsMissingFailsAsFileNotFound)
{
    SetClassText("http\\shell\\open\\command", "\"C:\\Program Files\\Gone\\browse.exe\" \"%1\"");
    EXPECT_EQ(Open("http://www.example.com/"), SE_ERR_FNF);
    EXPECT_TRUE(um::TakeStartedCommandLines().empty());
}

TEST_F(ShellExecuteTest, WinExecFindsTheProgramAtTheHeadOfItsCommandLine)
{
    PutFile("C:\\Program Files\\Web\\browse.exe");
    EXPECT_GT(WinExec("C:\\Program Files\\Web\\browse.exe http://a/", kShowNormal), 31u) << "unquoted spaces";
    EXPECT_GT(WinExec("\"C:\\Program Files\\Web\\browse\" http://b/", kShowNormal), 31u) << ".exe added";
    EXPECT_EQ(WinExec("C:\\Nowhere\\x.exe", kShowNormal), static_cast<UINT>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(WinExec("\"C:\\Program Files\\Web\\browse.exe", kShowNormal), static_cast<UINT>(ERROR_PATH_NOT_FOUND))
        << "an unclosed quote";
    EXPECT_EQ(um::TakeStartedCommandLines(),
              (std::vector<std::string>{"C:\\Program Files\\Web\\browse.exe http://a/",
                                        "\"C:\\Program Files\\Web\\browse\" http://b/"}));
}

std::string g_seenCommandLine;

int WINAPI KeepsItsCommandLine(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    g_seenCommandLine = commandLine;
    return 0;
}

TEST_F(ShellExecuteTest, AProgramOfTheMachineStartsAsAProcessWithTheCommandLine)
{
    PutFile("C:\\Tools\\keeper.exe");
    um::RegisterProgram("keeper", KeepsItsCommandLine, "C:\\Tools\\keeper.exe");
    EXPECT_GT(WinExec("\"c:\\tools\\KEEPER.exe\" one", kShowNormal), 31u) << "the image path compares without case";
    Sleep(10);  // the new process's thread runs
    EXPECT_EQ(g_seenCommandLine, "\"c:\\tools\\KEEPER.exe\" one");
    EXPECT_EQ(um::TakeStartedCommandLines().size(), 1u);
}

}  // namespace
}  // namespace winsim::test
