#include "ui/render/window_facts.h"

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

}  // namespace winsim::ui::render
