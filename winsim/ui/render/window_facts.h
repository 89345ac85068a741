// What the renderers read of a window, through Win32 calls as any observer
// would.
#pragma once

#include <windows.h>

#include <string>

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

}  // namespace winsim::ui::render
