// A window's menu bar opened from the terminal (F10, Alt and a letter, or a
// click on the bar): the pop-up of the chosen bar item drawn under it, the
// arrows moving through items and bar, Enter or a click picking an item the
// way a user's pick reaches the program, Escape closing it.
#pragma once

#include <windows.h>

#include "ui/render/char_grid.h"

namespace bench {

class TerminalMenu {
public:
    bool IsOpen() const { return window_ != nullptr; }
    // Opens the bar of `window` at `position`; nothing when it has no bar.
    void Open(HWND window, int position);
    // Opens the bar item whose text has the mnemonic `letter`.
    void OpenByMnemonic(HWND window, char letter);
    void Close() { window_ = nullptr; }

    // Draws the open pop-up onto the desktop, under its bar item.
    void Draw(winsim::ui::render::CharGrid& desktop);
    // A key while the menu is open (ncurses codes).
    void Key(int key);
    // A click on a desktop cell while the menu is open.
    void Click(const winsim::ui::render::CharGrid& desktop, int row, int col);

private:
    HMENU Popup() const;
    int Count() const;
    bool Selectable(int index) const;
    void Step(int by);
    void Choose(int index);

    HWND window_ = nullptr;
    int position_ = 0;                    // on the bar
    int item_ = 0;                        // in the pop-up
    winsim::ui::render::CellRect box_{};  // where the pop-up was drawn
};

}  // namespace bench
