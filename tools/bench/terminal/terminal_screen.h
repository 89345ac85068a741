// The terminal through ncurses: the first line of help, the simulated
// desktop drawn from its character grid (colours, selection, focus and
// title bars as video attributes, boxes in line-drawing characters), and
// the command pane at the bottom. Opening it takes the terminal over;
// closing it gives it back as it was. While it is open, whatever the
// process writes to its standard output (a library's printf) goes into a
// pipe instead of across the screen.
#pragma once

#include <curses.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "ui/render/char_grid.h"

namespace bench {

// The first screen line.
extern const char* const kHelpLine;

class TerminalScreen {
public:
    TerminalScreen();
    ~TerminalScreen();
    TerminalScreen(const TerminalScreen&) = delete;
    TerminalScreen& operator=(const TerminalScreen&) = delete;

    int Rows() const;
    int Cols() const;
    // Rows the desktop may take: all but the help line.
    int DesktopRows() const { return Rows() - 1; }

    // Draws one frame. With the pane open, the last lines of `log` and the
    // command being typed cover the bottom of the desktop.
    void Draw(const winsim::ui::render::CharGrid& desktop, bool paneOpen, const std::vector<std::string>& log,
              const std::string& command);

    // The first line, kHelpLine until set.
    void SetHelpLine(std::string line) { helpLine_ = std::move(line); }

    // The next key or mouse event (ncurses codes), or ERR after `milliseconds`.
    int ReadKey(int milliseconds);
    // A key already waiting, without delay (the rest of an escape sequence).
    int PendingKey();

    // What was written to standard output since the last call.
    std::string TakeStrayOutput();

private:
    int terminal_ = -1;              // the terminal, for ncurses
    int strayOutput_[2] = {-1, -1};  // the pipe standard output now writes into
    std::FILE* output_ = nullptr;
    SCREEN* screen_ = nullptr;
    std::string helpLine_ = kHelpLine;
};


}  // namespace bench
