#include "terminal/terminal_menu.h"

#include <curses.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "commands/ui_menu_pick.h"
#include "ui/render/screen_renderer.h"

namespace bench {

using winsim::ui::render::CellRect;
using winsim::ui::render::CellStyle;
using winsim::ui::render::CharGrid;
using winsim::ui::render::HitPart;
using winsim::ui::render::Ink;
using winsim::ui::render::MenuLabel;

namespace {

std::string ItemText(HMENU menu, int position)
{
    char text[256] = {};
    GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof(text), MF_BYPOSITION);
    return text;
}

UINT StateOf(HMENU menu, int position)
{
    return GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION);
}

}  // namespace

void TerminalMenu::Open(HWND window, int position)
{
    HMENU bar = GetMenu(window);
    if (bar == nullptr || position < 0 || position >= GetMenuItemCount(bar))
        return;
    window_ = window;
    position_ = position;
    item_ = -1;
    // The program hears the menus open and may change their items' states.
    SendMessageA(window, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
    if (HMENU popup = Popup()) {
        SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), MAKELPARAM(position, FALSE));
    }
    Step(1);
}

void TerminalMenu::OpenByMnemonic(HWND window, char letter)
{
    HMENU bar = GetMenu(window);
    if (bar == nullptr)
        return;
    for (int position = 0; position < GetMenuItemCount(bar); ++position) {
        const std::string text = ItemText(bar, position);
        const size_t amp = text.find('&');
        if (amp != std::string::npos && amp + 1 < text.size() &&
            std::tolower(static_cast<unsigned char>(text[amp + 1])) ==
                std::tolower(static_cast<unsigned char>(letter))) {
            Open(window, position);
            return;
        }
    }
}

HMENU TerminalMenu::Popup() const
{
    return GetSubMenu(GetMenu(window_), position_);
}

int TerminalMenu::Count() const
{
    HMENU popup = Popup();
    return popup != nullptr ? GetMenuItemCount(popup) : 0;
}

bool TerminalMenu::Selectable(int index) const
{
    return (StateOf(Popup(), index) & MF_SEPARATOR) == 0;
}

void TerminalMenu::Step(int by)
{
    const int count = Count();
    for (int tries = 0; tries < count; ++tries) {
        item_ = ((item_ + by) % count + count) % count;
        if (Selectable(item_))
            return;
    }
}

void TerminalMenu::Choose(int index)
{
    HMENU popup = Popup();
    HWND window = window_;
    Close();
    if (popup == nullptr || index < 0)
        return;
    const UINT id = GetMenuItemID(popup, index);
    if (id != static_cast<UINT>(-1))
        PickMenuItem(window, id);
}

void TerminalMenu::Draw(CharGrid& desktop)
{
    if (!IsWindow(window_)) {
        Close();
        return;
    }
    // Under the bar item, found where the renderer drew it.
    int top = -1, left = 0;
    for (int row = 0; row < desktop.Rows() && top < 0; ++row) {
        for (int col = 0; col < desktop.Cols(); ++col) {
            const auto& hit = desktop.HitAt(row, col);
            if (hit.window == window_ && hit.part == HitPart::kMenuBar && hit.client.x == position_) {
                top = row;
                left = col;
                break;
            }
        }
    }
    if (top < 0)
        return;
    CellStyle chosen;
    chosen.highlight = true;
    desktop.Mark(
        CellRect{top, left, top + 1,
                 left + static_cast<int>(MenuLabel(ItemText(GetMenu(window_), position_)).size()) + 2},
        chosen, desktop.Bounds());
    HMENU popup = Popup();
    if (popup == nullptr)
        return;
    std::vector<std::string> labels, shortcuts;
    size_t width = 0;
    for (int i = 0; i < Count(); ++i) {
        std::string shortcut;
        labels.push_back(MenuLabel(ItemText(popup, i), &shortcut));
        shortcuts.push_back(shortcut);
        width = std::max(width, labels.back().size() + (shortcut.empty() ? 0 : shortcut.size() + 3));
    }
    box_ = CellRect{top + 1, left, top + 3 + Count(), left + static_cast<int>(width) + 6};
    desktop.Clear(box_, desktop.Bounds());
    desktop.Box(box_, false, desktop.Bounds());
    for (int i = 0; i < Count(); ++i) {
        const int row = box_.top + 1 + i;
        const UINT state = StateOf(popup, i);
        if (state & MF_SEPARATOR) {
            desktop.HorizontalLine(row, box_.left, box_.right, false, desktop.Bounds());
            continue;
        }
        CellStyle style;
        style.ink = (state & (MF_GRAYED | MF_DISABLED)) ? Ink::kGray : Ink::kNormal;
        style.highlight = i == item_;
        const CellRect line{row, box_.left + 1, row + 1, box_.right - 1};
        desktop.Mark(line, style, desktop.Bounds());
        std::string text = std::string(state & MF_CHECKED ? "* " : "  ") + labels[static_cast<size_t>(i)];
        if (GetSubMenu(popup, i) != nullptr)
            text += " >";
        desktop.Text(row, line.left, text, style, line);
        const std::string& shortcut = shortcuts[static_cast<size_t>(i)];
        desktop.Text(row, line.right - 1 - static_cast<int>(shortcut.size()), shortcut, style, line);
    }
}

void TerminalMenu::Key(int key)
{
    const int barItems = GetMenuItemCount(GetMenu(window_));
    switch (key) {
    case KEY_UP:
        Step(-1);
        return;
    case KEY_DOWN:
        Step(1);
        return;
    case KEY_LEFT:
        Open(window_, (position_ + barItems - 1) % std::max(barItems, 1));
        return;
    case KEY_RIGHT:
        Open(window_, (position_ + 1) % std::max(barItems, 1));
        return;
    case '\r':
    case '\n':
    case KEY_ENTER:
        Choose(item_);
        return;
    case 27:
    case KEY_F(10):
        Close();
        return;
    default:
        break;
    }
}

void TerminalMenu::Click(const CharGrid& desktop, int row, int col)
{
    if (box_.Contains(row, col) && row > box_.top && row < box_.bottom - 1) {
        const int index = row - box_.top - 1;
        if (index < Count() && Selectable(index))
            Choose(index);
        return;
    }
    const auto& hit =
        desktop.Bounds().Contains(row, col) ? desktop.HitAt(row, col) : winsim::ui::render::Hit{};
    if (hit.part == HitPart::kMenuBar && hit.window == window_ && hit.client.x != position_) {
        Open(window_, hit.client.x);
        return;
    }
    Close();
}

}  // namespace bench
