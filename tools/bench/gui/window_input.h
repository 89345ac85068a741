// What a user's keyboard and mouse do to a window program, as the messages
// Windows posts for them: the bench's `ui key` and the terminal both use it.
#pragma once

#include <windows.h>

#include "ui/render/char_grid.h"

namespace bench {

// The window that has the keyboard: the focused window of the target's
// thread, or the target itself.
HWND KeyboardFocusOf(HWND target);

// A key pressed and released (with Shift held around it when asked); the
// thread's TranslateMessage makes the characters of letters, digits and
// the keys that have one.
void PostKey(HWND target, WPARAM virtualKey, bool shift = false);
// A character without a key of its own.
void PostCharacter(HWND target, char ch);

// A left click (two for a double click) on what a cell of the rendered
// screen shows: a point of a window's client area, its close box, or a part
// of a scroll bar.
void PostClick(const winsim::ui::render::Hit& hit, bool twice);

// The wheel turned by `notches` (positive away from the user) over the
// window that has the keyboard.
void PostWheel(HWND target, int notches);

// A click on one part of a window's standard scroll bar, where DefWindowProc
// finds that part.
void PostScrollBarClick(HWND window, bool vertical, bool farEnd, bool track);

}  // namespace bench
