#include "commands/ui_menu_pick.h"

#include <vector>

#include "window_report.h"

namespace bench {

namespace {

struct Step {
    HMENU menu;
    int position;
};

constexpr UINT kUnusable = MF_GRAYED | MF_DISABLED;

UINT StateAt(const Step& step) { return GetMenuState(step.menu, static_cast<UINT>(step.position), MF_BYPOSITION); }

// The pointer comes to an item: WM_MENUSELECT with its id (a pop-up's
// position) and flags, and the menu holding it.
void Highlight(HWND window, const Step& step, UINT idOrPosition)
{
    const UINT flags = (StateAt(step) & 0xFF) | MF_HILITE | MF_MOUSESELECT;
    SendMessageA(window, WM_MENUSELECT, MAKEWPARAM(idOrPosition, flags), reinterpret_cast<LPARAM>(step.menu));
}

// The positions from the bar down to the item with that id, depth first as
// Windows searches by command. False when there is none.
bool PathTo(HMENU menu, UINT id, std::vector<Step>& path, int depth)
{
    constexpr int kMaxDepth = 16;
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        path.push_back({menu, position});
        HMENU sub = GetSubMenu(menu, position);
        if (sub == nullptr && GetMenuItemID(menu, position) == id) return true;
        if (sub != nullptr && depth < kMaxDepth && PathTo(sub, id, path, depth + 1)) return true;
        path.pop_back();
    }
    return false;
}

void EnterMenu(HWND window, HMENU bar)
{
    SendMessageA(window, WM_ENTERMENULOOP, FALSE, 0);
    SendMessageA(window, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
}

void LeaveMenu(HWND window)
{
    SendMessageA(window, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);  // the menu closes
    SendMessageA(window, WM_EXITMENULOOP, FALSE, 0);
}

std::string ItemText(HMENU menu, int position)
{
    char text[256] = "";
    GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof(text), MF_BYPOSITION);
    return text;
}

// `index` runs over every item depth first, separators included.
void ListItems(HWND window, HMENU menu, int level, const std::string& name, std::vector<std::string>& lines,
               int& index)
{
    constexpr int kMaxDepth = 16;
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        const int at = index++;
        const UINT state = GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION);
        if (state & MF_SEPARATOR) continue;
        HMENU sub = GetSubMenu(menu, position);
        std::string line = "item " + name + " " + std::to_string(at) + " " + uidump::Quote(ItemText(menu, position));
        if (state & MF_CHECKED) line += " selected";
        if (state & kUnusable) line += " gray";
        if (sub == nullptr) line += " value=" + std::to_string(GetMenuItemID(menu, position));
        lines.push_back(line + " level=" + std::to_string(level));
        if (sub == nullptr || level >= kMaxDepth) continue;
        // A pop-up that cannot open is not told it opens; its items show as they are.
        if (!(state & kUnusable)) {
            SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub), MAKELPARAM(position, FALSE));
        }
        ListItems(window, sub, level + 1, name, lines, index);
    }
}

}  // namespace

std::vector<std::string> MenuItemLines(HWND window, const std::string& name)
{
    std::vector<std::string> lines;
    HMENU bar = GetMenu(window);
    if (bar == nullptr) return lines;
    EnterMenu(window, bar);
    int index = 0;
    ListItems(window, bar, 0, name, lines, index);
    LeaveMenu(window);
    return lines;
}

MenuPick PickMenuItem(HWND window, UINT id)
{
    HMENU bar = GetMenu(window);
    std::vector<Step> path;
    if (bar == nullptr || !PathTo(bar, id, path, 0)) return MenuPick::kNoSuchItem;
    EnterMenu(window, bar);
    bool usable = true;
    // Each pop-up on the way opens only from an enabled item; the window may
    // change the states of a pop-up's items as it opens.
    for (size_t i = 0; i + 1 < path.size() && usable; ++i) {
        Highlight(window, path[i], static_cast<UINT>(path[i].position));
        usable = (StateAt(path[i]) & kUnusable) == 0;
        if (!usable) break;
        HMENU popup = path[i + 1].menu;
        SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), MAKELPARAM(path[i].position, FALSE));
    }
    const Step& item = path.back();
    if (usable) {
        Highlight(window, item, id);
        usable = (StateAt(item) & kUnusable) == 0;
    }
    LeaveMenu(window);
    if (!usable) return MenuPick::kDisabled;
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    return MenuPick::kPicked;
}

}  // namespace bench
