// The About box and the Help page on the simulated PC: the installed files'
// versions and dates, the firmware line, and the links as a user clicks them.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "assistant_test.h"
#include "um/programs.h"

namespace bench {
namespace {

constexpr COLORREF kLinkBlue = RGB(0, 0, 255);
constexpr COLORREF kVisitedPurple = RGB(128, 0, 128);
constexpr COLORREF kFocusTeal = RGB(0, 128, 128);

class AboutBoxTest : public AssistantTest {
protected:
    std::string Modules()
    {
        Run("ui command 32771");
        std::string modules = Text("1050");
        Run("ui close");
        return modules;
    }
};

TEST_F(AboutBoxTest, TheAssistantAndItsLibraryAreFoundBesideTheProgram)
{
    Start();
    const std::string expected[] = {
        "Assistant\tqtr84px1asst64.exe\t1.0.819\t10/15/2013 09:42 AM\r\n",
        "CleanReg\tcl84prreg64.dll\t1.0.772.0\t10/15/2013 08:30 AM\r\n",
        "USB Driver\t84prusb64.sys\t1.0.772.0\t10/14/2013 11:10 AM\r\n",
    };
    const std::string modules = Modules();
    const std::string page = Text("100:1050");
    for (const std::string& line : expected) {
        EXPECT_TRUE(Has(modules, line)) << modules;
        EXPECT_TRUE(Has(page, line)) << page;
    }
    // Where the program looks, not where the files would be from C:\.
    Run("file put C:\\cl84prreg64.dll \"MZ\"");
    Run("file time C:\\cl84prreg64.dll 2026-01-05 13:05");
    EXPECT_TRUE(Has(Modules(), expected[1]));
}

TEST_F(AboutBoxTest, TheDatesFollowTheTwelveHourClockAndMissingFilesShowQuestionMarks)
{
    Start();
    const char* driverFile = "C:\\Windows\\system32\\drivers\\84prusb64.sys";
    const std::pair<const char*, const char*> times[] = {
        {"00:30", "01/05/2026 00:30 AM"}, {"12:30", "01/05/2026 12:30 PM"}, {"13:05", "01/05/2026 01:05 PM"}};
    for (const auto& [set, shown] : times) {
        Run(std::string("file time ") + driverFile + " 2026-01-05 " + set);
        const std::string modules = Modules();
        EXPECT_TRUE(Has(modules, std::string("USB Driver\t84prusb64.sys\t1.0.772.0\t") + shown)) << modules;
        EXPECT_TRUE(Has(modules, "Port Driver\t84prport64.sys\t?\t?\r\n")) << "a missing file keeps its line";
        EXPECT_TRUE(Has(modules, "\r\n\r\nFirmware Version String:  \"?\"")) << "no driver to ask";
    }
    Run("file del \"C:\\\\Program Files\\\\Tessary\\\\QTR84PX-1\\\\cl84prreg64.dll\"");
    EXPECT_TRUE(Has(Modules(), "CleanReg\tcl84prreg64.dll\t?\t?\r\n"));
}

TEST_F(AboutBoxTest, TheFirmwareLineIsTheAdaptersOwnText)
{
    Run("plug A1");
    Start();
    EXPECT_TRUE(Has(Modules(), "\r\n\r\nFirmware Version String:  \"Oct 14 2013 11:10:11 Ver 1.0.772\""));
}

// The links of the About box, which nothing in the Assistant shows: a test
// shows one to click it, as a user would once it were visible.
class HyperlinkTest : public AboutBoxTest {
protected:
    void SetUp() override
    {
        Start();
        Run("ui command 32771");
        Run("ui click 1094");
        EXPECT_FALSE(last) << "hidden, as the box creates it";
        link = Control("1094");
        ShowWindow(link, SW_SHOW);
        Run("wait 10ms");
        winsim::um::TakeStartedCommandLines();
    }
    // The text colour the link picks when its static asks the box for its
    // colours while painting, as a Windows static does.
    COLORREF Colour() const
    {
        HDC dc = GetDC(link);
        SendMessageA(GetParent(link), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(link));
        const COLORREF colour = SetTextColor(dc, 0);
        ReleaseDC(link, dc);
        return colour;
    }
    // The classes' keys as a browser's setup writes them.
    void SetClassKey(const std::string& key, const std::string& value)
    {
        Run("reg set \"HKLM\\\\Software\\\\Classes\\\\" + key + "\" \"\" sz " + value);
    }
    void InstallBrowser()
    {
        Run(R"(file put "C:\\Program Files\\Web\\browse.exe" "MZ")");
        SetClassKey("http\\\\shell\\\\open\\\\command", R"("\"C:\\Program Files\\Web\\browse.exe\" \"%1\"")");
        SetClassKey(".htm", "htmlfile");
        SetClassKey("htmlfile\\\\shell\\\\open\\\\command",
                      R"("\"C:\\Program Files\\Web\\browse.exe\" -nohome \"%1\"")");
    }
    // The box a failed open shows, answered.
    std::string FailureBox()
    {
        const std::string shown = Run("ui click 1094");
        Run("ui answer ok");
        return shown;
    }

    HWND link = nullptr;
};

TEST_F(HyperlinkTest, TheLinkOpensItsTextThroughTheWebPageHandlerAndTurnsPurple)
{
    InstallBrowser();
    EXPECT_EQ(Colour(), kLinkBlue);
    EXPECT_EQ(Run("ui click 1094"), "") << "no box";
    // The text is no URL, so the shell's own open fails and the .htm class's
    // command runs with the text in place of its quoted "%1".
    EXPECT_EQ(winsim::um::TakeStartedCommandLines(),
              std::vector<std::string>{R"("C:\Program Files\Web\browse.exe" -nohome  Tessary Home Page)"});
    EXPECT_EQ(Colour(), kFocusTeal) << "the click gave it the focus";
    Run("ui key space");
    EXPECT_EQ(winsim::um::TakeStartedCommandLines().size(), 1u) << "the space key opens it too";
    Run("ui key tab");
    EXPECT_EQ(Colour(), kVisitedPurple) << "visited, once the focus left";
}

TEST_F(HyperlinkTest, WithoutAWebPageHandlerTheBoxSaysWhyAndTheLinkStaysBlue)
{
    SetClassKey("http\\\\shell\\\\open\\\\command", "browse.exe");
    EXPECT_EQ(FailureBox(),
              "msgbox \"Error\" \"Can't open link:\\n\\nThe specified file was not found.\" ok warning\n");
    // A handler whose program is gone fails the same way.
    SetClassKey(".htm", "htmlfile");
    SetClassKey("htmlfile\\\\shell\\\\open\\\\command", R"("\"C:\\Gone\\browse.exe\" \"%1\"")");
    EXPECT_EQ(FailureBox(),
              "msgbox \"Error\" \"Can't open link:\\n\\nThe specified file was not found.\" ok warning\n");
    EXPECT_TRUE(winsim::um::TakeStartedCommandLines().empty());
    Run("ui key tab");
    EXPECT_EQ(Colour(), kLinkBlue);
}

TEST_F(HyperlinkTest, AFileOfThatNameInTheCurrentFolderWithoutAClassHasNoAssociation)
{
    Run(R"(file put "C:\\Program Files\\Tessary\\QTR84PX-1\\Tessary Home Page" "x")");
    EXPECT_EQ(FailureBox(), "msgbox \"Error\" \"Can't open link:\\n\\nThere is no application associated\\nwith the "
                            "given filename extension.\" ok warning\n");
}

}  // namespace
}  // namespace bench
