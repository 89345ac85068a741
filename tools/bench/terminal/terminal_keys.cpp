#include "terminal/terminal_keys.h"

#include <curses.h>

#include <cctype>
#include <string>

#include "gui/window_input.h"
#include "terminal/terminal_menu.h"
#include "terminal/terminal_screen.h"

namespace bench {

namespace {

constexpr int kControlC = 3;
constexpr int kEscape = 27;
// xterm's Alt+F4: function keys 49 to 60 are F1 to F12 with Alt.
constexpr int kAltF4 = KEY_F(52);

WPARAM VirtualKeyOf(int key)
{
    switch (key) {
    case '\t':
        return VK_TAB;
    case '\r':
    case '\n':
    case KEY_ENTER:
        return VK_RETURN;
    case ' ':
        return VK_SPACE;
    case KEY_UP:
        return VK_UP;
    case KEY_DOWN:
        return VK_DOWN;
    case KEY_LEFT:
        return VK_LEFT;
    case KEY_RIGHT:
        return VK_RIGHT;
    case KEY_PPAGE:
        return VK_PRIOR;
    case KEY_NPAGE:
        return VK_NEXT;
    case KEY_HOME:
        return VK_HOME;
    case KEY_END:
        return VK_END;
    case KEY_DC:
        return VK_DELETE;
    case KEY_BACKSPACE:
    case 127:
        return VK_BACK;
    default:
        break;
    }
    if (key >= KEY_F(1) && key <= KEY_F(12))
        return VK_F1 + static_cast<WPARAM>(key - KEY_F(1));
    if (key >= 0 && key < 128 && std::isalnum(key))
        return static_cast<WPARAM>(std::toupper(key));
    return 0;
}

// A system key (F10, or a key with Alt held): WM_SYSKEYDOWN and
// WM_SYSKEYUP, as menus and DefWindowProc see them.
void PostSystemKey(HWND target, WPARAM virtualKey, bool alt)
{
    HWND focus = KeyboardFocusOf(target);
    const LPARAM down = alt ? 0x20000001 : 1;
    const LPARAM up = static_cast<LPARAM>(alt ? 0xE0000001u : 0xC0000001u);
    if (alt)
        PostMessageA(focus, WM_SYSKEYDOWN, VK_MENU, down);
    PostMessageA(focus, WM_SYSKEYDOWN, virtualKey, down);
    PostMessageA(focus, WM_SYSKEYUP, virtualKey, up);
    if (alt)
        PostMessageA(focus, WM_KEYUP, VK_MENU, static_cast<LPARAM>(0xC0000001u));
}

// The rest of a control sequence after ESC [: parameters up to the final byte.
std::string ControlSequence(TerminalScreen& screen)
{
    std::string sequence;
    for (int key = screen.PendingKey(); key != ERR && sequence.size() < 16; key = screen.PendingKey()) {
        sequence += static_cast<char>(key);
        if (key >= 0x40 && key <= 0x7E)
            break;
    }
    return sequence;
}

void Close(HWND target)
{
    PostMessageA(target, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void Mouse(const winsim::ui::render::CharGrid& desktop, HWND target, TerminalMenu& menu)
{
    MEVENT event{};
    if (getmouse(&event) != OK)
        return;
    if (event.bstate & BUTTON4_PRESSED) {
        PostWheel(target, 1);
        return;
    }
    if (event.bstate & BUTTON5_PRESSED) {
        PostWheel(target, -1);
        return;
    }
    const int row = event.y - 1;
    if (!(event.bstate & (BUTTON1_CLICKED | BUTTON1_DOUBLE_CLICKED)))
        return;
    if (menu.IsOpen()) {
        menu.Click(desktop, row, event.x);
        return;
    }
    if (!desktop.Bounds().Contains(row, event.x))
        return;
    const winsim::ui::render::Hit& hit = desktop.HitAt(row, event.x);
    if (hit.part == winsim::ui::render::HitPart::kMenuBar) {
        if (IsWindowEnabled(hit.window))
            menu.Open(hit.window, hit.client.x);
        return;
    }
    PostClick(hit, (event.bstate & BUTTON1_DOUBLE_CLICKED) != 0);
}

}  // namespace

TerminalAction DeliverKey(int key, TerminalScreen& screen, HWND target,
                          const winsim::ui::render::CharGrid& desktop, TerminalMenu& menu)
{
    if (key == KEY_MOUSE) {
        Mouse(desktop, target, menu);
        return TerminalAction::kNone;
    }
    if (menu.IsOpen() && key != kControlC) {
        menu.Key(key);
        return TerminalAction::kNone;
    }
    switch (key) {
    case ':':
        return TerminalAction::kCommandLine;
    case kControlC:
        return TerminalAction::kQuit;
    case KEY_BTAB:
        PostKey(target, VK_TAB, true);
        return TerminalAction::kNone;
    case kAltF4:
        Close(target);
        return TerminalAction::kNone;
    case KEY_F(10):
        if (GetMenu(target) != nullptr) {
            menu.Open(target, 0);
        } else {
            PostSystemKey(target, VK_F10, false);
        }
        return TerminalAction::kNone;
    case kEscape: {
        const int next = screen.PendingKey();
        if (next == ERR) {
            PostKey(target, VK_ESCAPE);
        } else if (next == KEY_F(4)) {
            Close(target);
        } else if (next == '[') {
            // A sequence the terminal description does not know; xterm's
            // Alt+F4 (tmux sends it whatever the terminal) is the one that matters.
            if (ControlSequence(screen) == "1;3S")
                Close(target);
        } else if (next >= 0 && next < 128 && std::isalnum(next)) {
            menu.OpenByMnemonic(target, static_cast<char>(next));
            if (!menu.IsOpen())
                PostSystemKey(target, static_cast<WPARAM>(std::toupper(next)), true);
        } else {
            PostKey(target, VK_ESCAPE);
            return DeliverKey(next, screen, target, desktop, menu);
        }
        return TerminalAction::kNone;
    }
    default:
        break;
    }
    const WPARAM virtualKey = VirtualKeyOf(key);
    if (virtualKey != 0) {
        PostKey(target, virtualKey);
    } else if (key >= 0x20 && key < 0x7F) {
        PostCharacter(target, static_cast<char>(key));
    }
    return TerminalAction::kNone;
}

}  // namespace bench
