// The standard controls: buttons and their groups, list boxes, drop-down
// lists with owner-drawn items, and the read-only edit.
#include <cstring>

#include "ui/dialogs/dialog_manager.h"
#include "ui/gdi/display_list.h"
#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using ControlsTest = UiTest;

struct Notifications {
    std::vector<std::pair<int, int>> commands;  // (id, code)
    std::vector<MEASUREITEMSTRUCT> measured;
    std::vector<DRAWITEMSTRUCT> drawn;
};

INT_PTR CALLBACK NotifiedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    auto* seen = reinterpret_cast<Notifications*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    switch (message) {
    case WM_COMMAND:
        if (seen != nullptr) seen->commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_MEASUREITEM: {
        // Arrives while the dialog is still being built: before WM_INITDIALOG.
        static Notifications* building = nullptr;
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        measure->itemHeight = measure->itemID == static_cast<UINT>(-1) ? 20 : 16;
        building = seen;
        if (building != nullptr) building->measured.push_back(*measure);
        return TRUE;
    }
    case WM_DRAWITEM:
        if (seen != nullptr) seen->drawn.push_back(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    default:
        return FALSE;
    }
}

HWND Build(const DialogBuilder& builder, Notifications* seen)
{
    return CreateDialogFromTemplate(builder.Template(), nullptr, nullptr, NotifiedProc,
                                    reinterpret_cast<LPARAM>(seen));
}

UINT Check(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id); }

TEST_F(ControlsTest, AutoRadioButtonsCheckOneOfTheirGroupAndClicksNotify)
{
    DialogBuilder builder("Radios", WS_POPUP, 100, 100);
    builder.Item("Button", "Dynamic", 10, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP)
        .Item("Button", "Geographic", 11, BS_AUTORADIOBUTTON)
        .Item("Button", "Low", 20, BS_AUTORADIOBUTTON | WS_GROUP)
        .Item("Button", "High", 21, BS_AUTORADIOBUTTON)
        .Item("Button", "Log", 30, BS_AUTOCHECKBOX | WS_GROUP)
        .Item("Button", "Frame", 40, BS_GROUPBOX);
    Notifications seen;
    HWND dialog = Build(builder, &seen);
    SendDlgItemMessageA(dialog, 10, BM_CLICK, 0, 0);
    SendDlgItemMessageA(dialog, 20, BM_CLICK, 0, 0);
    SendDlgItemMessageA(dialog, 11, BM_CLICK, 0, 0);
    EXPECT_EQ(Check(dialog, 10), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(Check(dialog, 11), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(Check(dialog, 20), static_cast<UINT>(BST_CHECKED));  // another group is untouched

    SendDlgItemMessageA(dialog, 30, BM_CLICK, 0, 0);
    EXPECT_EQ(Check(dialog, 30), static_cast<UINT>(BST_CHECKED));
    SendDlgItemMessageA(dialog, 30, BM_CLICK, 0, 0);
    EXPECT_EQ(Check(dialog, 30), static_cast<UINT>(BST_UNCHECKED));
    SendDlgItemMessageA(dialog, 40, BM_CLICK, 0, 0);  // a group box is no button to press

    std::vector<std::pair<int, int>> clicks;
    for (auto& command : seen.commands) {
        if (command.second == BN_CLICKED) clicks.push_back(command);
    }
    EXPECT_EQ(clicks, (std::vector<std::pair<int, int>>{
                          {10, BN_CLICKED}, {20, BN_CLICKED}, {11, BN_CLICKED}, {30, BN_CLICKED}, {30, BN_CLICKED}}));

    EnableWindow(GetDlgItem(dialog, 30), FALSE);
    SendDlgItemMessageA(dialog, 30, BM_CLICK, 0, 0);
    EXPECT_EQ(Check(dialog, 30), static_cast<UINT>(BST_UNCHECKED));
    CheckRadioButton(dialog, 10, 11, 10);
    EXPECT_EQ(Check(dialog, 10), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(Check(dialog, 11), static_cast<UINT>(BST_UNCHECKED));
    DestroyWindow(dialog);
}

TEST_F(ControlsTest, ListBoxKeepsItemsSelectionAndDataAndNotifiesOnlyWhatTheUserDoes)
{
    DialogBuilder builder("List", WS_POPUP, 100, 100);
    builder.Item("ListBox", "", 50, LBS_NOTIFY | WS_TABSTOP, 0, 0, 80, 40);  // 40 units: 5 rows of 13 pixels
    Notifications seen;
    HWND dialog = Build(builder, &seen);
    HWND list = GetDlgItem(dialog, 50);
    for (const char* text : {"COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9"}) {
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    EXPECT_EQ(SendMessageA(list, LB_INSERTSTRING, 1, reinterpret_cast<LPARAM>("COM1")), 1);
    EXPECT_EQ(SendMessageA(list, LB_SETCURSEL, 3, 0), 3);
    EXPECT_EQ(SendMessageA(list, LB_SETITEMDATA, 3, 0x1234), TRUE);
    EXPECT_EQ(SendMessageA(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("COM2")), 0);
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 4);  // the selection moved with its item
    EXPECT_EQ(SendMessageA(list, LB_GETITEMDATA, 4, 0), 0x1234);
    EXPECT_GT(SendMessageA(list, LB_GETSEL, 4, 0), 0);  // the item in wParam
    EXPECT_EQ(SendMessageA(list, LB_GETSEL, 0, 4), 0);
    char text[16];
    EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 4, reinterpret_cast<LPARAM>(text)), 4);
    EXPECT_STREQ(text, "COM5");
    EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 99, reinterpret_cast<LPARAM>(text)), LB_ERR);
    EXPECT_EQ(SendMessageA(list, LB_DELETESTRING, 4, 0), 8);
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_TRUE(seen.commands.empty());

    SetFocus(list);
    SendMessageA(list, WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 7);
    EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 3);  // the selection scrolled into view
    SendMessageA(list, WM_KEYDOWN, VK_END, 0);                // no change, no notification
    EXPECT_EQ(std::count(seen.commands.begin(), seen.commands.end(), std::make_pair(50, LBN_SELCHANGE)), 1);

    EXPECT_EQ(SendMessageA(list, LB_SETTOPINDEX, 1, 0), 0);
    EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 1);
    SendMessageA(list, LB_SETHORIZONTALEXTENT, 400, 0);
    EXPECT_EQ(SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0), 400);
    EXPECT_EQ(SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("com6")), 4);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 0);
    DestroyWindow(dialog);
}

TEST_F(ControlsTest, OwnerDrawnComboIsMeasuredAtCreationAndDrawsItsSelectionWithItsData)
{
    DialogBuilder builder("Combo", WS_POPUP, 100, 100);
    builder.Item("ComboBox", "", 60, CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | WS_TABSTOP, 0, 0, 80, 60);
    Notifications seen;
    HWND dialog = Build(builder, &seen);
    HWND combo = GetDlgItem(dialog, 60);
    EXPECT_EQ(SendMessageA(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0), 20);
    EXPECT_EQ(SendMessageA(combo, CB_GETITEMHEIGHT, 0, 0), 16);

    // Without CBS_HASSTRINGS the "strings" are item data.
    SendMessageA(combo, CB_ADDSTRING, 0, 0x1111);
    SendMessageA(combo, CB_ADDSTRING, 0, 0x2222);
    EXPECT_EQ(SendMessageA(combo, CB_GETITEMDATA, 1, 0), 0x2222);
    ULONG_PTR data = 0;
    EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(&data)),
              static_cast<LRESULT>(sizeof(ULONG_PTR)));
    EXPECT_EQ(data, 0x2222u);
    SendMessageA(combo, CB_SETCURSEL, 1, 0);
    ShowWindow(dialog, SW_SHOW);
    seen.drawn.clear();
    UpdateWindow(combo);
    ASSERT_EQ(seen.drawn.size(), 1u);
    EXPECT_EQ(seen.drawn[0].CtlType, static_cast<UINT>(ODT_COMBOBOX));
    EXPECT_EQ(seen.drawn[0].CtlID, 60u);
    EXPECT_EQ(seen.drawn[0].itemID, 1u);
    EXPECT_EQ(seen.drawn[0].itemData, 0x2222u);
    EXPECT_TRUE(seen.drawn[0].itemState & ODS_COMBOBOXEDIT);
    EXPECT_EQ(seen.drawn[0].rcItem.bottom - seen.drawn[0].rcItem.top, 20);

    SetFocus(combo);
    seen.commands.clear();
    SendMessageA(combo, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(seen.commands, (std::vector<std::pair<int, int>>{{60, CBN_SELCHANGE}}));
    DestroyWindow(dialog);
}

TEST_F(ControlsTest, DropDownListShowsItsSelectionAsItsText)
{
    DialogBuilder builder("Combo", WS_POPUP, 100, 100);
    builder.Item("ComboBox", "", 61, CBS_DROPDOWNLIST | CBS_SORT, 0, 0, 80, 60);
    Notifications seen;
    HWND dialog = Build(builder, &seen);
    HWND combo = GetDlgItem(dialog, 61);
    for (const char* text : {"9600", "115200", "19200"}) {
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    EXPECT_EQ(SendMessageA(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("19")), 1);
    char text[16];
    GetWindowTextA(combo, text, sizeof(text));
    EXPECT_STREQ(text, "19200");
    EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 7, 0), CB_ERR);
    GetWindowTextA(combo, text, sizeof(text));
    EXPECT_STREQ(text, "");
    DestroyWindow(dialog);
}

TEST_F(ControlsTest, ReadOnlyEditSplitsLinesAndScrollsToTheCaret)
{
    DialogBuilder builder("Edit", WS_POPUP, 100, 100);
    builder.Item("Edit", "", 70, ES_MULTILINE | ES_READONLY | WS_VSCROLL, 0, 0, 80, 16);  // two lines of 13 px
    Notifications seen;
    HWND dialog = Build(builder, &seen);
    HWND edit = GetDlgItem(dialog, 70);
    SetWindowTextA(edit, "one\r\ntwo\r\nthree\r\nfour");
    EXPECT_EQ(SendMessageA(edit, EM_GETLINECOUNT, 0, 0), 4);
    EXPECT_EQ(SendMessageA(edit, EM_LINEINDEX, 2, 0), 10);
    EXPECT_EQ(SendMessageA(edit, EM_LINELENGTH, 10, 0), 5);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, EM_SCROLLCARET, 0, 0);
    EXPECT_EQ(SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 2);
    SendMessageA(edit, WM_CHAR, 'x', 0);  // read-only: typing changes nothing
    EXPECT_EQ(GetWindowTextLengthA(edit), 21);
    int stops[2] = {16, 40};
    EXPECT_TRUE(SendMessageA(edit, EM_SETTABSTOPS, 2, reinterpret_cast<LPARAM>(stops)));
    EXPECT_TRUE(seen.commands.empty());  // multi-line text set by the program is not reported
    DestroyWindow(dialog);
}

std::vector<std::pair<LONG, std::string>> Texts(HWND hwnd)
{
    std::vector<std::pair<LONG, std::string>> texts;
    for (const DisplayItem& item : DisplayListOf(hwnd)) {
        if (item.kind == DisplayItem::Kind::kText) texts.emplace_back(item.rect.left, item.text);
    }
    return texts;
}

TEST_F(ControlsTest, ListBoxTabStopsPlaceTextInDialogUnitsOfItsFont)
{
    DialogBuilder builder("Tabs", WS_POPUP | WS_VISIBLE, 100, 100);
    builder.Item("ListBox", "", 50, LBS_USETABSTOPS, 0, 0, 90, 40).Item("ListBox", "", 51, 0, 0, 50, 90, 40);
    Notifications seen;
    HWND dialog = Build(builder, &seen);
    HWND stops = GetDlgItem(dialog, 50);
    HWND plain = GetDlgItem(dialog, 51);
    const int columns[2] = {40, 64};  // dialog units: 10 and 16 characters of 6 pixels
    SendMessageA(stops, LB_SETTABSTOPS, 2, reinterpret_cast<LPARAM>(columns));
    for (HWND list : {stops, plain}) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("COM3\tbusy\tx"));
    UpdateWindow(stops);
    UpdateWindow(plain);
    EXPECT_EQ(Texts(stops), (std::vector<std::pair<LONG, std::string>>{{0, "COM3"}, {60, "busy"}, {96, "x"}}));
    // Without LBS_USETABSTOPS a tab advances to the next eight characters.
    EXPECT_EQ(Texts(plain), (std::vector<std::pair<LONG, std::string>>{{0, "COM3"}, {48, "busy"}, {96, "x"}}));
    DestroyWindow(dialog);
}

TEST_F(ControlsTest, EachPaintRedrawsTheWholeWindowAndStaticTextWraps)
{
    DialogBuilder builder("Text", WS_POPUP | WS_VISIBLE, 100, 100);
    builder.Item("Static", "one two three", 52, SS_LEFT, 0, 0, 36, 30);  // 9 characters wide
    Notifications seen;
    HWND dialog = Build(builder, &seen);
    HWND text = GetDlgItem(dialog, 52);
    UpdateWindow(text);
    EXPECT_EQ(Texts(text), (std::vector<std::pair<LONG, std::string>>{{0, "one two"}, {0, "three"}}));
    SetWindowTextA(text, "four");
    UpdateWindow(text);
    EXPECT_EQ(Texts(text), (std::vector<std::pair<LONG, std::string>>{{0, "four"}}));
    DestroyWindow(dialog);
}

TEST_F(ControlsTest, AListKeepsItsScrollBarOnItsItemsAndScrollsByBarAndWheel)
{
    DialogBuilder builder("Scrolled", WS_POPUP | WS_VISIBLE, 100, 100);
    builder.Item("ListBox", "", 56, WS_VSCROLL, 0, 0, 60, 24);  // three lines of 13 pixels
    Notifications seen;
    HWND dialog = Build(builder, &seen);
    HWND list = GetDlgItem(dialog, 56);
    const auto barShown = [list] { return (GetWindowLongPtrA(list, GWL_STYLE) & WS_VSCROLL) != 0; };
    EXPECT_FALSE(barShown());  // nothing to scroll yet
    for (int i = 0; i < 3; ++i) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("line"));
    EXPECT_FALSE(barShown());
    for (int i = 3; i < 10; ++i) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("line"));
    EXPECT_TRUE(barShown());
    SCROLLINFO info{sizeof(info), SIF_ALL};
    GetScrollInfo(list, SB_VERT, &info);
    EXPECT_EQ(info.nMax, 9);
    EXPECT_EQ(info.nPage, 3u);
    EXPECT_EQ(info.nPos, 0);
    SendMessageA(list, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 3);
    SendMessageA(list, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 6);
    SendMessageA(list, WM_VSCROLL, SB_BOTTOM, 0);  // the last page, not past it
    EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 7);
    GetScrollInfo(list, SB_VERT, &info);
    EXPECT_EQ(info.nPos, 7);
    SendMessageA(list, WM_MOUSEWHEEL, MAKEWPARAM(0, 2 * WHEEL_DELTA), 0);
    EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 1);
    DestroyWindow(dialog);
}

TEST_F(ControlsTest, AListsHorizontalBarSpansTheExtentItsProgramSetAndScrollsTheText)
{
    DialogBuilder builder("Wide", WS_POPUP | WS_VISIBLE, 100, 100);
    builder.Item("ListBox", "", 58, WS_HSCROLL, 0, 0, 40, 40)  // 60 pixels wide
        .Item("ListBox", "", 59, WS_VSCROLL | LBS_DISABLENOSCROLL, 44, 0, 40, 40);
    Notifications seen;
    HWND dialog = Build(builder, &seen);
    HWND list = GetDlgItem(dialog, 58);
    const auto barShown = [list] { return (GetWindowLongPtrA(list, GWL_STYLE) & WS_HSCROLL) != 0; };
    EXPECT_FALSE(barShown());
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("COM3 a long line"));
    SendMessageA(list, LB_SETHORIZONTALEXTENT, 200, 0);
    EXPECT_TRUE(barShown());
    SendMessageA(list, WM_HSCROLL, SB_LINERIGHT, 0);
    SendMessageA(list, WM_HSCROLL, SB_LINERIGHT, 0);
    EXPECT_EQ(GetScrollPos(list, SB_HORZ), 12);  // two characters of 6 pixels
    UpdateWindow(list);
    EXPECT_EQ(Texts(list), (std::vector<std::pair<LONG, std::string>>{{-12, "COM3 a long line"}}));
    SendMessageA(list, WM_HSCROLL, SB_RIGHT, 0);
    RECT client;
    GetClientRect(list, &client);
    EXPECT_EQ(GetScrollPos(list, SB_HORZ), 200 - client.right);
    // A narrower extent pulls the text back; one that fits hides the bar.
    SendMessageA(list, LB_SETHORIZONTALEXTENT, 10, 0);
    EXPECT_FALSE(barShown());
    UpdateWindow(list);
    EXPECT_EQ(Texts(list), (std::vector<std::pair<LONG, std::string>>{{0, "COM3 a long line"}}));
    // LBS_DISABLENOSCROLL keeps the bar of an empty list.
    EXPECT_TRUE(GetWindowLongPtrA(GetDlgItem(dialog, 59), GWL_STYLE) & WS_VSCROLL);
    DestroyWindow(dialog);
}

TEST_F(ControlsTest, AClickOnAnItemOfTheDroppedListChoosesIt)
{
    DialogBuilder builder("Combo", WS_POPUP | WS_VISIBLE, 100, 100);
    builder.Item("ComboBox", "", 57, CBS_DROPDOWNLIST, 0, 0, 60, 60);
    Notifications seen;
    HWND dialog = Build(builder, &seen);
    HWND combo = GetDlgItem(dialog, 57);
    for (const char* item : {"COM3", "COM4", "COM5"}) {
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    SendMessageA(combo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));  // the field drops the list
    ASSERT_TRUE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
    // The list opens below the window, which is as tall as its field.
    RECT window;
    GetWindowRect(combo, &window);
    const auto item = static_cast<int>(SendMessageA(combo, CB_GETITEMHEIGHT, 0, 0));
    SendMessageA(combo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, window.bottom - window.top + 2 * item + 1));
    EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(seen.commands, (std::vector<std::pair<int, int>>{
                                 {57, CBN_SETFOCUS}, {57, CBN_DROPDOWN}, {57, CBN_SELCHANGE}, {57, CBN_SELENDOK}, {57, CBN_CLOSEUP}}));
    DestroyWindow(dialog);
}

TEST_F(ControlsTest, MnemonicPrefixesAreNotDrawnUnlessTheStaticAsksForThem)
{
    DialogBuilder builder("Prefixes", WS_POPUP | WS_VISIBLE, 100, 100);
    builder.Item("Button", "&Apply", 53, BS_PUSHBUTTON, 0, 0, 40, 12)
        .Item("Static", "Tom && &Jerry", 54, SS_LEFT, 0, 20, 90, 8)
        .Item("Static", "R&D", 55, SS_LEFT | SS_NOPREFIX, 0, 30, 90, 8);
    Notifications seen;
    HWND dialog = Build(builder, &seen);
    for (int id : {53, 54, 55}) UpdateWindow(GetDlgItem(dialog, id));
    EXPECT_EQ(Texts(GetDlgItem(dialog, 53)), (std::vector<std::pair<LONG, std::string>>{{15, "Apply"}}));
    EXPECT_EQ(Texts(GetDlgItem(dialog, 54)), (std::vector<std::pair<LONG, std::string>>{{0, "Tom & Jerry"}}));
    EXPECT_EQ(Texts(GetDlgItem(dialog, 55)), (std::vector<std::pair<LONG, std::string>>{{0, "R&D"}}));
    DestroyWindow(dialog);
}

}  // namespace
}  // namespace winsim::ui::test
