// Menus as objects (made, loaded from templates, destroyed) and as the menu
// bars of top-level windows.
#include <cstdint>
#include <span>

#include "ui/menus/menu_store.h"
#include "ui/resources/module_resources.h"
#include "ui/window_system.h"

using namespace winsim::ui;

namespace {

// A template's items, built into the menu; popups become pop-up menus of
// their own. Menu lock held.
void AddTemplateItemsLocked(HMENU handle, const std::vector<resources::MenuItem>& items)
{
    for (const resources::MenuItem& source : items) {
        MenuItemData item;
        item.type = source.type;
        item.state = source.state;
        item.id = source.id;
        item.text = resources::ToAnsi(source.text);
        if (source.popup) {
            item.subMenu = NewMenuLocked(true);
            AddTemplateItemsLocked(item.subMenu, source.items);
        }
        FindMenuLocked(handle)->items.push_back(std::move(item));
    }
}

HMENU BuildMenu(const resources::Parsed<resources::MenuTemplate>& parsed)
{
    if (!parsed) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(MenuLock());
    HMENU menu = NewMenuLocked(false);
    AddTemplateItemsLocked(menu, parsed->items);
    return menu;
}

}  // namespace

extern "C" {

HMENU WINAPI CreateMenu(void)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    return NewMenuLocked(false);
}

HMENU WINAPI CreatePopupMenu(void)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    return NewMenuLocked(true);
}

BOOL WINAPI DestroyMenu(HMENU hMenu)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    if (FindMenuLocked(hMenu) == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    DestroyMenuLocked(hMenu);
    return TRUE;
}

BOOL WINAPI IsMenu(HMENU hMenu)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    return FindMenuLocked(hMenu) != nullptr ? TRUE : FALSE;
}

HMENU WINAPI LoadMenuA(HINSTANCE hInstance, LPCSTR lpMenuName)
{
    if (lpMenuName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return BuildMenu(resources::LoadMenuTemplate(hInstance, lpMenuName));
}

// The template carries no size; its items say where it ends, so only a
// well-formed template in memory may be passed, as on Windows.
HMENU WINAPI LoadMenuIndirectA(const MENUTEMPLATEA* lpMenuTemplate)
{
    if (lpMenuTemplate == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    constexpr size_t kLargestTemplate = 0x10000;
    return BuildMenu(resources::ParseMenuTemplate(
        std::span<const uint8_t>(static_cast<const uint8_t*>(lpMenuTemplate), kLargestTemplate)));
}

HMENU WINAPI GetMenu(HWND hWnd)
{
    HMENU menu = nullptr;
    WithWindow(hWnd, [&](Window& window) {
        if (IsTopLevel(window)) menu = window.menu;
    });
    return menu;
}

// The client area gives the bar its row, and the window hears of its new size.
BOOL WINAPI SetMenu(HWND hWnd, HMENU hMenu)
{
    RECT before{};
    if (!GetClientRect(hWnd, &before)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        Window* window = FindLocked(hWnd);
        if (window == nullptr) return FALSE;
        if (!IsTopLevel(*window)) {
            SetLastError(ERROR_CHILD_WINDOW_MENU);
            return FALSE;
        }
        std::lock_guard<std::mutex> menus(MenuLock());
        if (hMenu != nullptr && FindMenuLocked(hMenu) == nullptr) {
            SetLastError(ERROR_INVALID_MENU_HANDLE);
            return FALSE;
        }
        window->menu = hMenu;
    }
    RECT after{};
    GetClientRect(hWnd, &after);
    if (after.bottom != before.bottom) SendMessageA(hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(after.right, after.bottom));
    return TRUE;
}

BOOL WINAPI DrawMenuBar(HWND hWnd)
{
    if (GetMenu(hWnd) == nullptr) {
        SetLastError(IsWindow(hWnd) ? ERROR_INVALID_MENU_HANDLE : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
