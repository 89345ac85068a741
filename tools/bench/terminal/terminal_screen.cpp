#include "terminal/terminal_screen.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace bench {

using winsim::ui::render::Cell;
using winsim::ui::render::CharGrid;
using winsim::ui::render::Ink;
using winsim::ui::render::LineBits;

const char* const kHelpLine =
    " QTR84PX-1 bench | :help for help | : bench command (plug B, unplug A, ...) | Alt+F4 or :quit to quit";

namespace {

constexpr int kPaneLines = 8;

enum Pair : short { kRed = 1, kBlue, kGreen, kActiveTitle, kTitle, kHelp };

chtype LineCharacter(uint8_t bits)
{
    using winsim::ui::render::kDown;
    using winsim::ui::render::kLeft;
    using winsim::ui::render::kRight;
    using winsim::ui::render::kUp;
    switch (bits) {
    case kRight | kDown:
        return ACS_ULCORNER;
    case kLeft | kDown:
        return ACS_URCORNER;
    case kRight | kUp:
        return ACS_LLCORNER;
    case kLeft | kUp:
        return ACS_LRCORNER;
    case kUp | kDown:
        return ACS_VLINE;
    case kLeft | kRight:
    case kLeft:
    case kRight:
        return ACS_HLINE;
    case kUp | kDown | kRight:
        return ACS_LTEE;
    case kUp | kDown | kLeft:
        return ACS_RTEE;
    case kLeft | kRight | kDown:
        return ACS_TTEE;
    case kLeft | kRight | kUp:
        return ACS_BTEE;
    case kUp:
    case kDown:
        return ACS_VLINE;
    default:
        return ACS_PLUS;
    }
}

chtype Attributes(const Cell& cell)
{
    chtype attributes = A_NORMAL;
    switch (cell.style.ink) {
    case Ink::kRed:
        attributes |= COLOR_PAIR(kRed);
        break;
    case Ink::kBlue:
        attributes |= COLOR_PAIR(kBlue);
        break;
    case Ink::kGreen:
        attributes |= COLOR_PAIR(kGreen);
        break;
    case Ink::kGray:
        attributes |= A_DIM;
        break;
    case Ink::kNormal:
        break;
    }
    if (cell.style.activeTitle) {
        attributes |= COLOR_PAIR(kActiveTitle) | A_BOLD;
    } else if (cell.style.title) {
        attributes |= COLOR_PAIR(kTitle);
    }
    if (cell.style.highlight)
        attributes |= A_REVERSE;
    if (cell.style.focus)
        attributes |= A_UNDERLINE | A_BOLD;
    if (cell.heavy)
        attributes |= A_BOLD;
    return attributes;
}

void Line(int row, const std::string& text, chtype attributes)
{
    attrset(attributes);
    mvaddnstr(row, 0, text.c_str(), COLS);
    for (int col = std::min<int>(static_cast<int>(text.size()), COLS); col < COLS; ++col)
        addch(' ');
    attrset(A_NORMAL);
}

}  // namespace

TerminalScreen::TerminalScreen()
{
    std::fflush(stdout);
    terminal_ = dup(STDOUT_FILENO);
    output_ = fdopen(terminal_, "w");
    if (pipe(strayOutput_) == 0) {
        fcntl(strayOutput_[0], F_SETFL, O_NONBLOCK);
        fcntl(strayOutput_[1], F_SETFL, O_NONBLOCK);
        dup2(strayOutput_[1], STDOUT_FILENO);
    }
    screen_ = newterm(nullptr, output_, stdin);
    set_term(screen_);
    raw();  // Ctrl+C comes as a key, so the terminal is always given back
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    set_escdelay(50);
    curs_set(0);
    mousemask(BUTTON1_CLICKED | BUTTON1_DOUBLE_CLICKED | BUTTON4_PRESSED | BUTTON5_PRESSED, nullptr);
    if (has_colors()) {
        start_color();
        use_default_colors();
        init_pair(kRed, COLOR_RED, -1);
        init_pair(kBlue, COLOR_BLUE, -1);
        init_pair(kGreen, COLOR_GREEN, -1);
        init_pair(kActiveTitle, COLOR_WHITE, COLOR_BLUE);
        init_pair(kTitle, COLOR_BLACK, COLOR_WHITE);
        init_pair(kHelp, COLOR_BLACK, COLOR_CYAN);
    }
}

TerminalScreen::~TerminalScreen()
{
    endwin();
    delscreen(screen_);
    std::fflush(stdout);
    dup2(terminal_, STDOUT_FILENO);
    std::fclose(output_);
    for (int end : strayOutput_) {
        if (end >= 0)
            close(end);
    }
}

std::string TerminalScreen::TakeStrayOutput()
{
    std::fflush(stdout);
    std::string text;
    char buffer[4096];
    for (ssize_t got; strayOutput_[0] >= 0 && (got = read(strayOutput_[0], buffer, sizeof(buffer))) > 0;) {
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

int TerminalScreen::Rows() const
{
    return LINES;
}
int TerminalScreen::Cols() const
{
    return COLS;
}

void TerminalScreen::Draw(const CharGrid& desktop, bool paneOpen, const std::vector<std::string>& log,
                          const std::string& command)
{
    erase();
    Line(0, helpLine_, has_colors() ? COLOR_PAIR(kHelp) : A_REVERSE);
    for (int row = 0; row < desktop.Rows() && row + 1 < LINES; ++row) {
        for (int col = 0; col < desktop.Cols() && col < COLS; ++col) {
            const Cell& cell = desktop.At(row, col);
            const chtype shown =
                cell.lines != 0 ? LineCharacter(cell.lines) : static_cast<unsigned char>(cell.ch);
            mvaddch(row + 1, col, shown | Attributes(cell));
        }
    }
    if (paneOpen) {
        const int lines = std::min<int>(kPaneLines, static_cast<int>(log.size()));
        const int top = LINES - 2 - lines;
        move(top, 0);
        attrset(A_BOLD);
        for (int col = 0; col < COLS; ++col)
            addch(ACS_HLINE);
        attrset(A_NORMAL);
        for (int i = 0; i < lines; ++i)
            Line(top + 1 + i, log[log.size() - lines + i], A_NORMAL);
        Line(LINES - 1, ":" + command, A_NORMAL);
        curs_set(1);
        move(LINES - 1, std::min<int>(COLS - 1, static_cast<int>(command.size()) + 1));
    } else {
        curs_set(0);
    }
    refresh();
}

int TerminalScreen::ReadKey(int milliseconds)
{
    timeout(milliseconds);
    return getch();
}

int TerminalScreen::PendingKey()
{
    timeout(0);
    return getch();
}

}  // namespace bench
