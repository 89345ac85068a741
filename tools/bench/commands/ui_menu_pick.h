// What a user's pick of a menu item does, through Win32 calls only: the
// window hears WM_INITMENU, then WM_MENUSELECT and WM_INITMENUPOPUP for
// every pop-up on the way to the item, as when the menus open, WM_MENUSELECT
// for the item, and the command only when the item is enabled once they
// are open.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace bench {

enum class MenuPick { kNoSuchItem, kPicked, kDisabled };

// Posts WM_COMMAND (notification code 0) for an enabled item of the
// window's menu bar. kNoSuchItem when the bar has no item with that id;
// nothing is sent then.
MenuPick PickMenuItem(HWND window, UINT id);

// The items of the window's menu bar, depth first, as a user sees them
// browsing it: each pop-up that can open is opened (WM_INITMENUPOPUP) before
// its items are read. `item NAME INDEX "TEXT" [selected] [gray] [value=ID]
// level=L`: checked items are selected, grayed or disabled ones gray,
// commands carry their id; separators leave their index out.
std::vector<std::string> MenuItemLines(HWND window, const std::string& name);

}  // namespace bench
