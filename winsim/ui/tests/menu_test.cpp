// Menus: items by position and by command (submenus searched), their states,
// menus built from templates, menu bars taking their row from the client
// area, and menus counted as their program's USER objects until destroyed.
#include <cstring>
#include <vector>

#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using MenuTest = UiTest;

std::string TextOf(HMENU menu, UINT item, UINT flags)
{
    char text[64];
    GetMenuStringA(menu, item, text, sizeof(text), flags);
    return text;
}

// File (Open, separator, Exit) and View (Hex) on a bar.
HMENU SampleBar(HMENU* file, HMENU* view)
{
    HMENU bar = CreateMenu();
    *file = CreatePopupMenu();
    AppendMenuA(*file, MF_STRING, 10, "&Open");
    AppendMenuA(*file, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(*file, MF_STRING | MF_GRAYED, 12, "E&xit");
    *view = CreatePopupMenu();
    AppendMenuA(*view, MF_STRING | MF_CHECKED, 20, "&Hex");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(*file), "&File");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(*view), "&View");
    return bar;
}

TEST_F(MenuTest, ItemsAreFoundByPositionOrByCommandThroughTheSubmenus)
{
    HMENU file, view;
    HMENU bar = SampleBar(&file, &view);
    EXPECT_EQ(GetMenuItemCount(bar), 2);
    EXPECT_EQ(GetSubMenu(bar, 1), view);
    EXPECT_EQ(GetSubMenu(file, 0), nullptr);
    EXPECT_EQ(GetMenuItemID(bar, 0), static_cast<UINT>(-1));  // a pop-up has no command
    EXPECT_EQ(GetMenuItemID(file, 2), 12u);
    EXPECT_EQ(GetMenuItemID(file, 7), static_cast<UINT>(-1));
    EXPECT_EQ(TextOf(bar, 20, MF_BYCOMMAND), "&Hex");
    EXPECT_EQ(TextOf(bar, 1, MF_BYPOSITION), "&View");
    EXPECT_EQ(GetMenuStringA(bar, 12, nullptr, 0, MF_BYCOMMAND), 5);
    char cut[4];
    EXPECT_EQ(GetMenuStringA(file, 10, cut, sizeof(cut), MF_BYCOMMAND), 3);
    EXPECT_STREQ(cut, "&Op");

    EXPECT_TRUE(InsertMenuA(file, 12, MF_BYCOMMAND | MF_STRING, 11, "&Save"));
    EXPECT_EQ(GetMenuItemID(file, 2), 11u);
    EXPECT_TRUE(InsertMenuA(file, 0, MF_BYPOSITION | MF_STRING, 9, "&New"));
    EXPECT_EQ(GetMenuItemID(file, 0), 9u);
    EXPECT_FALSE(InsertMenuA(file, 99, MF_BYCOMMAND | MF_STRING, 13, "x"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MENU_ITEM_NOT_FOUND));
    EXPECT_EQ(GetMenuItemCount(file), 5);
    EXPECT_EQ(GetMenuItemCount(reinterpret_cast<HMENU>(0x1234)), -1);
    DestroyMenu(bar);
}

TEST_F(MenuTest, StatesChangeAndReportWhatTheyWere)
{
    HMENU file, view;
    HMENU bar = SampleBar(&file, &view);
    EXPECT_EQ(GetMenuState(bar, 12, MF_BYCOMMAND), static_cast<UINT>(MF_GRAYED));
    EXPECT_EQ(GetMenuState(file, 1, MF_BYPOSITION), static_cast<UINT>(MF_SEPARATOR));
    // A pop-up item: its item count in the high byte, MF_POPUP in the low.
    EXPECT_EQ(GetMenuState(bar, 0, MF_BYPOSITION), static_cast<UINT>((3 << 8) | MF_POPUP));
    EXPECT_EQ(GetMenuState(bar, 77, MF_BYCOMMAND), static_cast<UINT>(-1));

    EXPECT_EQ(EnableMenuItem(bar, 12, MF_BYCOMMAND | MF_ENABLED), MF_GRAYED);
    EXPECT_EQ(EnableMenuItem(bar, 12, MF_BYCOMMAND | MF_DISABLED), MF_ENABLED);
    EXPECT_EQ(GetMenuState(file, 12, MF_BYCOMMAND), static_cast<UINT>(MF_DISABLED));
    EXPECT_EQ(EnableMenuItem(bar, 77, MF_BYCOMMAND | MF_GRAYED), -1);
    EXPECT_EQ(CheckMenuItem(bar, 20, MF_BYCOMMAND | MF_UNCHECKED), static_cast<DWORD>(MF_CHECKED));
    EXPECT_EQ(GetMenuState(view, 0, MF_BYPOSITION) & MF_CHECKED, 0u);
    EXPECT_EQ(CheckMenuItem(view, 5, MF_BYPOSITION | MF_CHECKED), static_cast<DWORD>(-1));

    AppendMenuA(view, MF_STRING, 21, "&Text");
    AppendMenuA(view, MF_STRING, 22, "&Both");
    EXPECT_TRUE(CheckMenuRadioItem(view, 20, 22, 21, MF_BYCOMMAND));
    EXPECT_EQ(GetMenuState(view, 20, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(GetMenuState(view, 21, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    DestroyMenu(bar);
}

TEST_F(MenuTest, ItemInfoReadsAndWritesTypeStateIdTextAndData)
{
    HMENU popup = CreatePopupMenu();
    char text[] = "&Clear";
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_DATA;
    info.wID = 32785;
    info.fState = MFS_GRAYED;
    info.dwItemData = 77;
    info.dwTypeData = text;
    EXPECT_TRUE(InsertMenuItemA(popup, 0, TRUE, &info));

    MENUITEMINFOA read{};
    read.cbSize = sizeof(read);
    read.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_DATA | MIIM_FTYPE;
    char buffer[4];
    read.dwTypeData = buffer;
    read.cch = sizeof(buffer);
    EXPECT_TRUE(GetMenuItemInfoA(popup, 32785, FALSE, &read));
    EXPECT_STREQ(buffer, "&Cl");
    EXPECT_EQ(read.cch, 6u);  // the whole text's length
    EXPECT_EQ(read.fState, static_cast<UINT>(MFS_GRAYED));
    EXPECT_EQ(read.dwItemData, 77u);
    EXPECT_EQ(read.fType, static_cast<UINT>(MFT_STRING));

    MENUITEMINFOA change{};
    change.cbSize = sizeof(change);
    change.fMask = MIIM_STATE;
    change.fState = MFS_CHECKED;
    EXPECT_TRUE(SetMenuItemInfoA(popup, 0, TRUE, &change));
    EXPECT_EQ(GetMenuState(popup, 32785, MF_BYCOMMAND), static_cast<UINT>(MF_CHECKED));
    change.cbSize = 12;
    EXPECT_FALSE(SetMenuItemInfoA(popup, 0, TRUE, &change));
    DestroyMenu(popup);
}

TEST_F(MenuTest, MenusAreCountedUntilDestroyedWithTheirSubmenus)
{
    const int64_t before = program_->userObjects.load();
    HMENU file, view;
    HMENU bar = SampleBar(&file, &view);
    EXPECT_EQ(program_->userObjects.load(), before + 3);
    // DeleteMenu destroys the submenu it removes; RemoveMenu hands it back.
    EXPECT_TRUE(RemoveMenu(bar, 1, MF_BYPOSITION));
    EXPECT_TRUE(IsMenu(view));
    EXPECT_TRUE(DeleteMenu(bar, 0, MF_BYPOSITION));
    EXPECT_FALSE(IsMenu(file));
    EXPECT_EQ(program_->userObjects.load(), before + 2);
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), "&View");
    EXPECT_TRUE(DestroyMenu(bar));
    EXPECT_FALSE(IsMenu(view));
    EXPECT_EQ(program_->userObjects.load(), before);
    EXPECT_FALSE(DestroyMenu(bar));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));

    CreatePopupMenu();  // never destroyed: the program's end takes it
    ReleaseProgramMenus(*program_);
    EXPECT_EQ(program_->userObjects.load(), before);
}

TEST_F(MenuTest, ATemplateInMemoryBuildsTheSameTree)
{
    // MENU: POPUP "&File" { MENUITEM "&Open", 10, GRAYED; MENUITEM SEPARATOR }, MENUITEM "&Go", 30
    std::vector<WORD> words{0, 0};
    auto text = [&](const char* s) {
        for (; *s != '\0'; ++s) words.push_back(static_cast<WORD>(*s));
        words.push_back(0);
    };
    words.push_back(MF_POPUP);
    text("&File");
    words.push_back(MF_GRAYED);
    words.push_back(10);
    text("&Open");
    words.push_back(MF_END);
    words.push_back(0);
    text("");
    words.push_back(MF_END);
    words.push_back(30);
    text("&Go");
    HMENU bar = LoadMenuIndirectA(words.data());
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetMenuItemCount(bar), 2);
    HMENU file = GetSubMenu(bar, 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(GetMenuState(file, 10, MF_BYCOMMAND), static_cast<UINT>(MF_GRAYED));
    EXPECT_EQ(GetMenuState(file, 1, MF_BYPOSITION), static_cast<UINT>(MF_SEPARATOR));
    EXPECT_EQ(TextOf(bar, 30, MF_BYCOMMAND), "&Go");
    EXPECT_EQ(LoadMenuA(nullptr, MAKEINTRESOURCEA(4321)), nullptr);
    DestroyMenu(bar);
}

TEST_F(MenuTest, AMenuBarTakesItsRowFromTheClientAreaAndGoesWithItsWindow)
{
    std::vector<int> heights;
    RegisterHandlerClass("Framed");
    HWND frame = CreateHandlerWindow("Framed", "frame", WS_OVERLAPPEDWINDOW, nullptr, 0,
                                     [&](HWND, UINT message, WPARAM, LPARAM lParam, LRESULT*) {
                                         if (message == WM_SIZE) heights.push_back(HIWORD(lParam));
                                         return false;
                                     });
    RECT before;
    GetClientRect(frame, &before);
    heights.clear();
    HMENU file, view;
    HMENU bar = SampleBar(&file, &view);
    EXPECT_TRUE(SetMenu(frame, bar));
    EXPECT_EQ(GetMenu(frame), bar);
    RECT after;
    GetClientRect(frame, &after);
    EXPECT_EQ(after.bottom, before.bottom - GetSystemMetrics(SM_CYMENU));
    EXPECT_EQ(heights, std::vector<int>{after.bottom});
    RECT adjusted = after;
    AdjustWindowRectEx(&adjusted, WS_OVERLAPPEDWINDOW, TRUE, 0);
    RECT window;
    GetWindowRect(frame, &window);
    EXPECT_EQ(adjusted.bottom - adjusted.top, window.bottom - window.top);
    EXPECT_TRUE(DrawMenuBar(frame));

    HWND child = CreateHandlerWindow("Framed", "child", WS_CHILD, frame, 5, nullptr);
    EXPECT_FALSE(SetMenu(child, bar));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CHILD_WINDOW_MENU));
    EXPECT_EQ(GetMenu(child), nullptr);

    DestroyWindow(frame);
    EXPECT_FALSE(IsMenu(bar));
    EXPECT_FALSE(IsMenu(file));
}

}  // namespace
}  // namespace winsim::ui::test
