// Menus as user32 keeps them: a handle per menu bar or pop-up menu, each
// with its items; a pop-up item holds the handle of its submenu. Menus are
// USER objects of the program that made them. The store has its own lock,
// which may be taken while the window system's lock is held, never the
// other way round.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "ui/program.h"

namespace winsim::ui {

struct MenuItemData {
    UINT type = MFT_STRING;  // MFT_ flags
    UINT state = 0;          // MFS_ flags; MF_GRAYED and MF_DISABLED kept apart
    UINT id = 0;
    HMENU subMenu = nullptr;
    std::string text;
    ULONG_PTR data = 0;
};

struct Menu {
    HMENU handle = nullptr;
    bool popup = false;
    Program* program = nullptr;
    std::vector<MenuItemData> items;
};

// An item found by command (searching submenus depth first, as Windows
// does) or by position: the menu that holds it and its index there.
struct MenuItemRef {
    Menu* menu = nullptr;
    size_t index = 0;
    MenuItemData* operator->() const { return &menu->items[index]; }
    explicit operator bool() const { return menu != nullptr; }
};

std::mutex& MenuLock();
// Menu lock held.
Menu* FindMenuLocked(HMENU handle);
HMENU NewMenuLocked(bool popup);
// Destroys the menu and, as DestroyMenu does, every submenu in it.
void DestroyMenuLocked(HMENU handle);
MenuItemRef FindItemLocked(HMENU handle, UINT item, bool byPosition);
// What the program still holds goes when it ends.
void ReleaseProgramMenus(Program& program);

}  // namespace winsim::ui
