// What the renderers read of a window, through Win32 calls as any observer
// would.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winsim::ui::render {

DWORD StyleOf(HWND hwnd);
DWORD ExStyleOf(HWND hwnd);
// The class name in lower case: class names compare without case.
std::string ClassOf(HWND hwnd);
std::string TextOf(HWND hwnd);
// A border line or an edge around the window.
bool Framed(HWND hwnd);
// A combo box's item; what its field shows (the selected item, else its text).
std::string ComboItem(HWND combo, int index);
std::string ComboField(HWND combo);
// The control with the keyboard focus on the window's thread.
HWND FocusOf(HWND hwnd);
std::string TabLabel(HWND tabs, int index);

// A menu item's text as a menu shows it: "&File\tCtrl+F" reads "File"; the
// text after the tab, the shortcut, goes to `shortcut` when asked for.
std::string MenuLabel(const std::string& text, std::string* shortcut = nullptr);
// The items of a window's menu bar, left to right.
struct MenuBarItem {
    std::string label;
    bool grayed;
};
std::vector<MenuBarItem> MenuBarItems(HWND hwnd);

// An MDI child that its client window holds as the active one.
bool IsActiveMdiChild(HWND hwnd);

// The shown children in the order to draw them: those that clip their
// siblings (MDI children) from the bottom of the z-order up, so the top one
// lies over the others; the rest in z-order, as a dialog's controls come.
std::vector<HWND> DrawingOrder(HWND parent);

}  // namespace winsim::ui::render
