// A drop-down list's window is as tall as its selection field; the height
// it was created or sized with is its height with the list dropped, and the
// list opens below the window.
#include "ui/dialogs/dialog_manager.h"
#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using DropDownListTest = UiTest;

constexpr int kCombo = 70;

LONG HeightOf(const RECT& rect) { return rect.bottom - rect.top; }

RECT WindowRectOf(HWND hwnd)
{
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

RECT DroppedRectOf(HWND combo)
{
    RECT rect{};
    EXPECT_TRUE(SendMessageA(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&rect)));
    return rect;
}

LONG FieldHeight(HWND combo)
{
    return static_cast<LONG>(SendMessageA(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
}

INT_PTR CALLBACK MeasuringProc(HWND, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_MEASUREITEM) return FALSE;
    auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
    measure->itemHeight = measure->itemID == static_cast<UINT>(-1) ? 18 : 14;
    return TRUE;
}

INT_PTR CALLBACK NoMeasureProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

HWND BuildDialog(DWORD comboStyle, int cy)
{
    DialogBuilder builder("Drop", WS_POPUP | WS_VISIBLE, 200, 200);
    builder.Item("ComboBox", "", kCombo, CBS_DROPDOWNLIST | WS_VSCROLL | comboStyle, 10, 16, 96, cy);
    return CreateDialogFromTemplate(builder.Template(), nullptr, nullptr, MeasuringProc, 0);
}

TEST_F(DropDownListTest, TheWindowIsAsTallAsItsFieldAndTheTemplateHeightIsTheDroppedHeight)
{
    HWND dialog = BuildDialog(0, 100);
    HWND combo = GetDlgItem(dialog, kCombo);
    // The 8-point font's 13-pixel cell, a pixel above and below it, and the
    // field's three-pixel edges: 21 pixels, 13 dialog units as on Windows.
    EXPECT_EQ(FieldHeight(combo), 15);
    const RECT window = WindowRectOf(combo);
    EXPECT_EQ(HeightOf(window), 21);
    RECT units{0, 0, 0, 13};
    MapDialogRect(dialog, &units);
    EXPECT_EQ(units.bottom, 21);

    const RECT dropped = DroppedRectOf(combo);
    EXPECT_EQ(dropped.left, window.left);
    EXPECT_EQ(dropped.top, window.top);
    EXPECT_EQ(dropped.right, window.right);
    RECT template100{0, 0, 0, 100};
    MapDialogRect(dialog, &template100);
    EXPECT_EQ(HeightOf(dropped), template100.bottom);

    // Dropping the list leaves the window's size alone.
    SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
    EXPECT_TRUE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(HeightOf(WindowRectOf(combo)), 21);
    DestroyWindow(dialog);
}

TEST_F(DropDownListTest, SizingTheWindowSetsTheDroppedHeightAndTheFieldKeepsItsOwn)
{
    HWND dialog = BuildDialog(0, 100);
    HWND combo = GetDlgItem(dialog, kCombo);
    SetWindowPos(combo, nullptr, 0, 0, 120, 240, SWP_NOMOVE | SWP_NOZORDER);
    const RECT window = WindowRectOf(combo);
    EXPECT_EQ(window.right - window.left, 120);
    EXPECT_EQ(HeightOf(window), 21);
    EXPECT_EQ(HeightOf(DroppedRectOf(combo)), 240);

    // A bigger font grows the field and the window; the dropped height stays.
    LOGFONTA big{};
    big.lfHeight = 20;
    HFONT font = CreateFontIndirectA(&big);
    SendMessageA(combo, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    EXPECT_EQ(FieldHeight(combo), 22);
    EXPECT_EQ(HeightOf(WindowRectOf(combo)), 28);
    EXPECT_EQ(HeightOf(DroppedRectOf(combo)), 240);

    // So does a field height the program sets, which the font then leaves alone.
    SendMessageA(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), 30);
    EXPECT_EQ(HeightOf(WindowRectOf(combo)), 36);
    EXPECT_EQ(HeightOf(DroppedRectOf(combo)), 240);
    SendMessageA(combo, WM_SETFONT, 0, FALSE);
    EXPECT_EQ(FieldHeight(combo), 30);
    DestroyWindow(dialog);
    DeleteObject(font);
}

TEST_F(DropDownListTest, AnOwnerDrawnListsWindowTakesTheMeasuredFieldHeight)
{
    HWND dialog = BuildDialog(CBS_OWNERDRAWFIXED | CBS_HASSTRINGS, 80);
    HWND combo = GetDlgItem(dialog, kCombo);
    EXPECT_EQ(FieldHeight(combo), 18);
    EXPECT_EQ(HeightOf(WindowRectOf(combo)), 24);
    RECT template80{0, 0, 0, 80};
    MapDialogRect(dialog, &template80);
    EXPECT_EQ(HeightOf(DroppedRectOf(combo)), template80.bottom);
    DestroyWindow(dialog);
}

// A parent that does not answer WM_MEASUREITEM leaves the field the height
// a text field has.
TEST_F(DropDownListTest, AnUnmeasuredOwnerDrawnFieldIsAsTallAsATextField)
{
    DialogBuilder builder("Drop", WS_POPUP | WS_VISIBLE, 200, 200);
    builder.Item("ComboBox", "", kCombo, CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS, 10, 16, 96, 80);
    HWND dialog = CreateDialogFromTemplate(builder.Template(), nullptr, nullptr, NoMeasureProc, 0);
    HWND combo = GetDlgItem(dialog, kCombo);
    EXPECT_EQ(FieldHeight(combo), 15);
    EXPECT_EQ(SendMessageA(combo, CB_GETITEMHEIGHT, 0, 0), 13);
    EXPECT_EQ(HeightOf(WindowRectOf(combo)), 21);
    DestroyWindow(dialog);
}

TEST_F(DropDownListTest, AClickOnTheFieldsLowerEdgeChoosesNoItem)
{
    HWND dialog = BuildDialog(0, 100);
    HWND combo = GetDlgItem(dialog, kCombo);
    for (const char* item : {"COM3", "COM4"}) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendMessageA(combo, CB_SETCURSEL, 1, 0);
    SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
    const LONG height = HeightOf(WindowRectOf(combo));
    SendMessageA(combo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, height - 1));  // still the field
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));  // the field closes the list
    DestroyWindow(dialog);
}

}  // namespace
}  // namespace winsim::ui::test
