// The screen in cells: what the terminal shows of dialogs and controls, and
// which window point a click on a cell reaches.
#include <commctrl.h>

#include "ui/dialogs/dialog_manager.h"
#include "ui/render/char_grid.h"
#include "ui/render/screen_renderer.h"
#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using render::CellRect;
using render::CharGrid;
using render::HitPart;
using render::RenderDesktop;
using render::RenderWindow;
using RenderTest = UiTest;

constexpr int kList = 200;
constexpr int kCheck = 201;
constexpr int kRadio = 202;
constexpr int kCombo = 203;
constexpr int kApply = 204;

INT_PTR CALLBACK PlainProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// 25 x 6 cells of client area under a title bar: 100 x 48 dialog units.
HWND Settings()
{
    DialogBuilder builder("Settings", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 100, 48);
    builder.Item("ListBox", "", kList, WS_BORDER | WS_TABSTOP, 4, 0, 40, 40)
        .Item("Button", "&Loop", kCheck, BS_AUTOCHECKBOX | WS_TABSTOP, 52, 0, 40, 8)
        .Item("Button", "Fast", kRadio, BS_AUTORADIOBUTTON, 52, 8, 40, 8)
        .Item("ComboBox", "", kCombo, CBS_DROPDOWNLIST | WS_TABSTOP, 52, 16, 44, 40)
        .Item("Button", "&Apply", kApply, BS_PUSHBUTTON | WS_TABSTOP, 52, 32, 40, 12);
    HWND dialog = CreateDialogFromTemplate(builder.Template(), nullptr, nullptr, PlainProc, 0);
    for (const char* item : {"COM3", "COM4", "COM5"}) {
        SendDlgItemMessageA(dialog, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        SendDlgItemMessageA(dialog, kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    SendDlgItemMessageA(dialog, kCombo, CB_SETCURSEL, 1, 0);
    CheckDlgButton(dialog, kCheck, BST_CHECKED);
    SetFocus(GetDlgItem(dialog, kApply));
    Pump();
    return dialog;
}

TEST_F(RenderTest, BoxesJoinAndReadAsPlainText)
{
    CharGrid grid(4, 8);
    grid.Box(CellRect{0, 0, 4, 5}, true, grid.Bounds());
    grid.Box(CellRect{0, 4, 3, 8}, false, grid.Bounds());
    grid.Text(1, 1, "abcdefgh", {}, CellRect{0, 1, 4, 4});  // clipped to three cells
    EXPECT_EQ(grid.Lines(), (std::vector<std::string>{"+===+--+", "|abc|  |", "|   +--+", "+---+"}));
    EXPECT_EQ(grid.At(0, 4).lines, render::kLeft | render::kRight | render::kDown);
}

TEST_F(RenderTest, ADialogShowsItsFrameTitleControlsAndFocus)
{
    HWND dialog = Settings();
    const CharGrid screen = RenderWindow(dialog, true);
    EXPECT_EQ(screen.Lines(), (std::vector<std::string>{
                                  "+========================+",
                                  "| Settings            [X]|",
                                  "|+---------+ [X] Loop    |",
                                  "||COM3     | ( ) Fast    |",
                                  "||COM4     | [COM4     v]|",
                                  "||COM5     |             |",
                                  "|+---------+>[  Apply  ] |",
                                  "|                        |",
                                  "+------------------------+",
                              }));
    EXPECT_TRUE(screen.At(6, 14).style.focus);
    EXPECT_TRUE(screen.At(1, 3).style.activeTitle);
    DestroyWindow(dialog);
}

TEST_F(RenderTest, AClickOnACellReachesWhatTheCellShows)
{
    HWND dialog = Settings();
    CharGrid screen = RenderWindow(dialog, true);
    const render::Hit item = screen.HitAt(5, 4);  // "COM5", the list's third line
    ASSERT_EQ(item.window, GetDlgItem(dialog, kList));
    SendMessageA(item.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(item.client.x, item.client.y));
    SendMessageA(item.window, WM_LBUTTONUP, 0, MAKELPARAM(item.client.x, item.client.y));
    EXPECT_EQ(SendMessageA(item.window, LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(screen.HitAt(1, 23).part, HitPart::kClose);
    EXPECT_EQ(screen.HitAt(1, 5).part, HitPart::kCaption);
    EXPECT_EQ(screen.HitAt(6, 18).window, GetDlgItem(dialog, kApply));

    // A selected line is shown highlighted across the list.
    Pump();
    screen = RenderWindow(dialog, true);
    EXPECT_TRUE(screen.At(5, 3).style.highlight);
    EXPECT_TRUE(screen.At(5, 10).style.highlight);
    EXPECT_FALSE(screen.At(4, 3).style.highlight);
    DestroyWindow(dialog);
}

TEST_F(RenderTest, ADroppedListCoversWhatLiesBelowItsField)
{
    HWND dialog = Settings();
    HWND combo = GetDlgItem(dialog, kCombo);
    SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
    Pump();
    CharGrid screen = RenderWindow(dialog, true);
    const std::vector<std::string> lines = screen.Lines();
    EXPECT_EQ(lines[5], "||COM5     | +----------+|");
    EXPECT_EQ(lines[6], "|+---------+>|COM3      ||");
    EXPECT_EQ(lines[7], "|            |COM4      ||");
    EXPECT_TRUE(screen.At(7, 16).style.highlight);  // the selection
    // A click on an item of the dropped list reaches the combo box.
    EXPECT_EQ(screen.HitAt(8, 16).window, combo);
    DestroyWindow(dialog);
}

TEST_F(RenderTest, ATipShowsUnderThePointerAboveTheDialog)
{
    HWND dialog = Settings();
    HWND tip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, dialog,
                               nullptr, nullptr, nullptr);
    HWND check = GetDlgItem(dialog, kCheck);
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(check);
    tool.lpszText = const_cast<char*>("Loops TX to RX");
    SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    MSG move{check, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2), 0, {}};
    SendMessageA(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
    Advance(600);
    Pump();
    ASSERT_TRUE(IsWindowVisible(tip));
    POINT pointer{2, 2};
    ClientToScreen(check, &pointer);
    RECT placed;
    GetWindowRect(tip, &placed);
    EXPECT_EQ(placed.left, pointer.x);
    EXPECT_GT(placed.top, pointer.y);

    const std::vector<std::string> lines = RenderDesktop({tip, dialog}, dialog, 12, 40).Lines();
    EXPECT_EQ(lines[3].substr(lines[3].find('+', 13)), "+--------------+");
    EXPECT_NE(lines[4].find("|Loops TX to RX|"), std::string::npos);
    DestroyWindow(dialog);
}

// A monitor line: its head in a fixed font five pixels wide, the data drawn
// right where the head's extent ends.
TEST_F(RenderTest, TextThatFollowsANarrowFontsTextOnItsLineStartsAfterIt)
{
    RegisterHandlerClass("Narrow");
    HWND window = CreateHandlerWindow(
        "Narrow", "Monitor", WS_POPUP | WS_CAPTION | WS_VISIBLE, nullptr, 0,
        [](HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT* result) {
            if (message != WM_PAINT) return false;
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            HFONT font = CreateFontA(10, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH, "courier");
            HGDIOBJ old = SelectObject(dc, font);
            SIZE head{};
            GetTextExtentPoint32A(dc, "00001 12:00:", 12, &head);
            TextOutA(dc, 5, 2, "00001 12:00:", 12);
            TextOutA(dc, 5 + head.cx, 2, "TX:Hello", 8);
            TextOutA(dc, 5, 30, "gap", 3);
            TextOutA(dc, 5 + 40 * 5, 30, "far", 3);  // where its pixels put it: no closer
            SelectObject(dc, old);
            DeleteObject(font);
            EndPaint(hwnd, &ps);
            *result = 0;
            return true;
        });
    SetWindowPos(window, nullptr, 0, 0, 300, 100, SWP_NOZORDER | SWP_NOMOVE);
    Pump();
    const std::vector<std::string> lines = RenderWindow(window, true).Lines();
    EXPECT_NE(lines[2].find("00001 12:00:TX:Hello"), std::string::npos) << lines[2];
    POINT far{5 + 40 * 5, 0};
    ClientToScreen(window, &far);
    RECT frame{};
    GetWindowRect(window, &frame);
    EXPECT_EQ(lines[4].find("far"), static_cast<size_t>((far.x - frame.left) / 6)) << lines[4];
    DestroyWindow(window);
}

// Windows that clip their siblings (MDI children) show as their z-order
// stacks them: the top one whole, over the others.
TEST_F(RenderTest, SiblingsThatClipEachOtherLieAsTheirZOrderStacksThem)
{
    RegisterHandlerClass("Desk");
    HWND desk = CreateHandlerWindow("Desk", "desk", WS_POPUP | WS_VISIBLE, nullptr, 0, nullptr);
    SetWindowPos(desk, nullptr, 0, 0, 300, 200, SWP_NOZORDER);
    const DWORD style = WS_CHILD | WS_CAPTION | WS_CLIPSIBLINGS | WS_VISIBLE;
    HWND upper = CreateHandlerWindow("Desk", "upper", style, desk, 1, nullptr);
    HWND lower = CreateHandlerWindow("Desk", "lower", style, desk, 2, nullptr);  // created below
    SetWindowPos(upper, nullptr, 0, 26, 200, 100, SWP_NOZORDER);
    SetWindowPos(lower, nullptr, 0, 0, 200, 100, SWP_NOZORDER);  // its caption above, its body under upper's caption
    Pump();
    const auto shows = [desk](const char* text) {
        for (const std::string& line : RenderWindow(desk, true).Lines())
            if (line.find(text) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(shows("upper"));
    EXPECT_TRUE(shows("lower"));
    BringWindowToTop(lower);  // its body now covers upper's caption
    EXPECT_TRUE(shows("lower"));
    EXPECT_FALSE(shows("upper"));
    DestroyWindow(desk);
}

// Labels sit 2 dialog units below the top of the 12-unit field beside them,
// so their text is centred on it; the field is one line whatever rows its
// pixels straddle.
TEST_F(RenderTest, AOneLineFieldSitsOnTheRowOfTheLabelCentredBesideIt)
{
    DialogBuilder builder("Port", WS_POPUP | WS_CAPTION | WS_VISIBLE, 100, 56);
    builder.Item("Static", "COM:", -1, SS_LEFT, 4, 6, 24, 8)
        .Item("Edit", "COM3", 300, WS_BORDER | ES_READONLY, 30, 4, 40, 12)
        .Item("Static", "Port:", -1, SS_LEFT, 4, 24, 24, 8)
        .Item("ComboBox", "", 301, CBS_DROPDOWNLIST, 30, 22, 40, 40)
        .Item("Static", "State:", -1, SS_LEFT, 4, 42, 24, 8)
        .Item("Edit", "IDLE", 302, WS_BORDER | ES_READONLY, 30, 40, 40, 12);
    HWND dialog = CreateDialogFromTemplate(builder.Template(), nullptr, nullptr, PlainProc, 0);
    SendDlgItemMessageA(dialog, 301, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("1"));
    SendDlgItemMessageA(dialog, 301, CB_SETCURSEL, 0, 0);
    Pump();
    const std::vector<std::string> lines = RenderWindow(dialog, true).Lines();
    const auto rowOf = [&lines](const std::string& text) {
        for (size_t row = 0; row < lines.size(); ++row)
            if (lines[row].find(text) != std::string::npos) return static_cast<int>(row);
        return -1;
    };
    EXPECT_NE(rowOf("COM:"), -1);
    EXPECT_EQ(rowOf("[COM3"), rowOf("COM:"));
    EXPECT_EQ(rowOf("[1"), rowOf("Port:"));
    EXPECT_EQ(rowOf("[IDLE"), rowOf("State:"));
    DestroyWindow(dialog);
}

}  // namespace
}  // namespace winsim::ui::test
