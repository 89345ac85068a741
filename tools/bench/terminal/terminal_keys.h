// The person's keys and mouse, as ncurses reports them, given to the window
// program as Windows would give them: Tab, Shift+Tab, arrows, Enter, Space,
// Escape, F1 to F12, Alt+F4, F10 and Alt+letter for menus, clicks, double
// clicks and the wheel.
#pragma once

#include <windows.h>

#include "ui/render/char_grid.h"

namespace bench {

class TerminalMenu;
class TerminalScreen;

enum class TerminalAction { kNone, kCommandLine, kQuit };

// `key` is the ncurses code read; an escape may be followed by the rest of
// an Alt combination, read from `screen`. `desktop` (drawn one row below the
// top of the terminal) turns a click into what its cell shows. F10, Alt and
// a letter, and a click on a menu bar open `menu`; while it is open it has
// the keys and the mouse.
TerminalAction DeliverKey(int key, TerminalScreen& screen, HWND target,
                          const winsim::ui::render::CharGrid& desktop, TerminalMenu& menu);

}  // namespace bench
