#include "ui/render/window_facts.h"

#include <commctrl.h>

#include <cctype>

namespace winsim::ui::render {

DWORD StyleOf(HWND hwnd)
{
    return static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE));
}

DWORD ExStyleOf(HWND hwnd)
{
    return static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_EXSTYLE));
}

std::string ClassOf(HWND hwnd)
{
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof(name));
    std::string lower = name;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::string TextOf(HWND hwnd)
{
    char text[512] = {};
    GetWindowTextA(hwnd, text, sizeof(text));
    return text;
}

bool Framed(HWND hwnd)
{
    return (StyleOf(hwnd) & WS_BORDER) || (ExStyleOf(hwnd) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
}

std::string ComboItem(HWND combo, int index)
{
    const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0)
        return "";
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

std::string ComboField(HWND combo)
{
    const auto selection = static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0));
    return selection >= 0 ? ComboItem(combo, selection) : TextOf(combo);
}

HWND FocusOf(HWND hwnd)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

std::string TabLabel(HWND tabs, int index)
{
    char text[128] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(tabs, TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return text;
}

std::string MenuLabel(const std::string& text, std::string* shortcut)
{
    const size_t tab = text.find('\t');
    if (shortcut != nullptr)
        *shortcut = tab == std::string::npos ? "" : text.substr(tab + 1);
    std::string label;
    const std::string shown = text.substr(0, tab);
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] == '&' && i + 1 < shown.size())
            ++i;
        label += shown[i];
    }
    return label;
}

std::vector<MenuBarItem> MenuBarItems(HWND hwnd)
{
    std::vector<MenuBarItem> items;
    HMENU menu = GetMenu(hwnd);
    for (int position = 0; menu != nullptr && position < GetMenuItemCount(menu); ++position) {
        char text[128] = {};
        GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof(text), MF_BYPOSITION);
        const UINT state = GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION);
        items.push_back(MenuBarItem{MenuLabel(text), (state & (MF_GRAYED | MF_DISABLED)) != 0});
    }
    return items;
}

std::vector<HWND> DrawingOrder(HWND parent)
{
    std::vector<HWND> clipping;
    std::vector<HWND> order;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!(StyleOf(child) & WS_VISIBLE))
            continue;
        (StyleOf(child) & WS_CLIPSIBLINGS ? clipping : order).push_back(child);
    }
    order.insert(order.end(), clipping.rbegin(), clipping.rend());
    return order;
}

bool IsActiveMdiChild(HWND hwnd)
{
    if (!(ExStyleOf(hwnd) & WS_EX_MDICHILD))
        return false;
    return reinterpret_cast<HWND>(SendMessageA(GetParent(hwnd), WM_MDIGETACTIVE, 0, 0)) == hwnd;
}

}  // namespace winsim::ui::render
