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

}  // namespace winsim::ui::render
