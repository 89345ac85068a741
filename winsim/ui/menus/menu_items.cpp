// The items of a menu: adding, changing and removing them, and reading
// their ids, texts and states.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "ui/menus/menu_store.h"

using namespace winsim::ui;

namespace {

constexpr UINT kTypeFlags = MF_BITMAP | MF_OWNERDRAW | MF_SEPARATOR | MF_MENUBARBREAK | MF_MENUBREAK | MF_RIGHTJUSTIFY;
constexpr UINT kStateFlags = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE | MF_DEFAULT;
constexpr UINT kNotFound = static_cast<UINT>(-1);

bool IsText(UINT type) { return (type & (MFT_BITMAP | MFT_OWNERDRAW | MFT_SEPARATOR)) == 0; }

// An item as the older calls describe it.
MenuItemData ItemOfFlags(UINT flags, UINT_PTR idOrMenu, LPCSTR content)
{
    MenuItemData item;
    item.type = flags & kTypeFlags;
    item.state = flags & kStateFlags;
    if (flags & MF_POPUP) item.subMenu = reinterpret_cast<HMENU>(idOrMenu);
    item.id = static_cast<UINT>(idOrMenu);
    if (IsText(item.type) && content != nullptr) {
        item.text = content;
    } else if (item.type & MFT_OWNERDRAW) {
        item.data = reinterpret_cast<ULONG_PTR>(content);
    }
    return item;
}

bool ValidInfoSize(UINT size) { return size == sizeof(MENUITEMINFOA) || size == offsetof(MENUITEMINFOA, hbmpItem); }

void ApplyInfo(MenuItemData& item, const MENUITEMINFOA& info)
{
    if (info.fMask & (MIIM_FTYPE | MIIM_TYPE)) item.type = info.fType;
    if ((info.fMask & MIIM_STRING) || ((info.fMask & MIIM_TYPE) && IsText(info.fType))) {
        item.text = info.dwTypeData != nullptr ? info.dwTypeData : "";
    }
    if (info.fMask & MIIM_STATE) item.state = info.fState;
    if (info.fMask & MIIM_ID) item.id = info.wID;
    if (info.fMask & MIIM_SUBMENU) item.subMenu = info.hSubMenu;
    if (info.fMask & MIIM_DATA) item.data = info.dwItemData;
}

// Where a new item goes: before the item named, or at the end when there is none.
bool InsertLocked(HMENU handle, UINT position, bool byPosition, MenuItemData item)
{
    Menu* menu = FindMenuLocked(handle);
    if (menu == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return false;
    }
    if (byPosition && position >= menu->items.size()) {
        menu->items.push_back(std::move(item));
        return true;
    }
    MenuItemRef before = FindItemLocked(handle, position, byPosition);
    if (!before) {
        if (byPosition || position == kNotFound) {
            menu->items.push_back(std::move(item));
            return true;
        }
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return false;
    }
    before.menu->items.insert(before.menu->items.begin() + static_cast<std::ptrdiff_t>(before.index),
                              std::move(item));
    return true;
}

UINT StateFlags(const MenuItemData& item)
{
    const UINT flags = item.type | item.state | (item.subMenu != nullptr ? MF_POPUP : 0);
    if (item.subMenu == nullptr) return flags;
    Menu* sub = FindMenuLocked(item.subMenu);
    const UINT count = sub != nullptr ? static_cast<UINT>(sub->items.size()) : 0;
    return (count << 8) | (flags & 0xFF);
}

bool RemoveLocked(HMENU handle, UINT position, UINT flags, bool destroySubMenu)
{
    MenuItemRef found = FindItemLocked(handle, position, (flags & MF_BYPOSITION) != 0);
    if (!found) {
        SetLastError(FindMenuLocked(handle) == nullptr ? ERROR_INVALID_MENU_HANDLE : ERROR_MENU_ITEM_NOT_FOUND);
        return false;
    }
    HMENU sub = found->subMenu;
    found.menu->items.erase(found.menu->items.begin() + static_cast<std::ptrdiff_t>(found.index));
    if (destroySubMenu) DestroyMenuLocked(sub);
    return true;
}

}  // namespace

extern "C" {

BOOL WINAPI AppendMenuA(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    return InsertLocked(hMenu, kNotFound, true, ItemOfFlags(uFlags, uIDNewItem, lpNewItem)) ? TRUE : FALSE;
}

BOOL WINAPI InsertMenuA(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    return InsertLocked(hMenu, uPosition, (uFlags & MF_BYPOSITION) != 0, ItemOfFlags(uFlags, uIDNewItem, lpNewItem))
               ? TRUE
               : FALSE;
}

BOOL WINAPI ModifyMenuA(HMENU hMnu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    MenuItemRef found = FindItemLocked(hMnu, uPosition, (uFlags & MF_BYPOSITION) != 0);
    if (!found) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return FALSE;
    }
    // The submenu an item stops opening goes with it.
    HMENU old = found->subMenu;
    *found.operator->() = ItemOfFlags(uFlags, uIDNewItem, lpNewItem);
    if (old != nullptr && old != found->subMenu) DestroyMenuLocked(old);
    return TRUE;
}

BOOL WINAPI InsertMenuItemA(HMENU hmenu, UINT item, BOOL fByPosition, LPCMENUITEMINFOA lpmi)
{
    if (lpmi == nullptr || !ValidInfoSize(lpmi->cbSize)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MenuItemData data;
    ApplyInfo(data, *lpmi);
    std::lock_guard<std::mutex> guard(MenuLock());
    return InsertLocked(hmenu, item, fByPosition != FALSE, std::move(data)) ? TRUE : FALSE;
}

BOOL WINAPI SetMenuItemInfoA(HMENU hmenu, UINT item, BOOL fByPositon, LPCMENUITEMINFOA lpmii)
{
    if (lpmii == nullptr || !ValidInfoSize(lpmii->cbSize)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(MenuLock());
    MenuItemRef found = FindItemLocked(hmenu, item, fByPositon != FALSE);
    if (!found) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return FALSE;
    }
    ApplyInfo(*found.operator->(), *lpmii);
    return TRUE;
}

BOOL WINAPI GetMenuItemInfoA(HMENU hmenu, UINT item, BOOL fByPosition, LPMENUITEMINFOA lpmii)
{
    if (lpmii == nullptr || !ValidInfoSize(lpmii->cbSize)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(MenuLock());
    MenuItemRef found = FindItemLocked(hmenu, item, fByPosition != FALSE);
    if (!found) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return FALSE;
    }
    const MenuItemData& data = *found.operator->();
    const UINT mask = lpmii->fMask;
    if (mask & (MIIM_FTYPE | MIIM_TYPE)) lpmii->fType = data.type;
    if (mask & MIIM_STATE) lpmii->fState = data.state;
    if (mask & MIIM_ID) lpmii->wID = data.id;
    if (mask & MIIM_SUBMENU) lpmii->hSubMenu = data.subMenu;
    if (mask & MIIM_DATA) lpmii->dwItemData = data.data;
    if ((mask & MIIM_STRING) || ((mask & MIIM_TYPE) && IsText(data.type))) {
        if (lpmii->dwTypeData != nullptr && lpmii->cch > 0) {
            const size_t count = std::min<size_t>(data.text.size(), lpmii->cch - 1);
            std::memcpy(lpmii->dwTypeData, data.text.data(), count);
            lpmii->dwTypeData[count] = '\0';
        }
        lpmii->cch = static_cast<UINT>(data.text.size());
    }
    return TRUE;
}

BOOL WINAPI RemoveMenu(HMENU hMenu, UINT uPosition, UINT uFlags)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    return RemoveLocked(hMenu, uPosition, uFlags, false) ? TRUE : FALSE;
}

BOOL WINAPI DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    return RemoveLocked(hMenu, uPosition, uFlags, true) ? TRUE : FALSE;
}

HMENU WINAPI GetSubMenu(HMENU hMenu, int nPos)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    MenuItemRef found = FindItemLocked(hMenu, static_cast<UINT>(nPos), true);
    return found && FindMenuLocked(found->subMenu) != nullptr ? found->subMenu : nullptr;
}

int WINAPI GetMenuItemCount(HMENU hMenu)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    Menu* menu = FindMenuLocked(hMenu);
    if (menu == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return -1;
    }
    return static_cast<int>(menu->items.size());
}

UINT WINAPI GetMenuItemID(HMENU hMenu, int nPos)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    MenuItemRef found = FindItemLocked(hMenu, static_cast<UINT>(nPos), true);
    return found && found->subMenu == nullptr ? found->id : kNotFound;
}

int WINAPI GetMenuStringA(HMENU hMenu, UINT uIDItem, LPSTR lpString, int cchMax, UINT flags)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    MenuItemRef found = FindItemLocked(hMenu, uIDItem, (flags & MF_BYPOSITION) != 0);
    if (lpString != nullptr && cchMax > 0) lpString[0] = '\0';
    if (!found) return 0;
    const std::string& text = found->text;
    if (lpString == nullptr) return static_cast<int>(text.size());
    if (cchMax <= 0) return 0;
    const size_t count = std::min<size_t>(text.size(), static_cast<size_t>(cchMax - 1));
    std::memcpy(lpString, text.data(), count);
    lpString[count] = '\0';
    return static_cast<int>(count);
}

UINT WINAPI GetMenuState(HMENU hMenu, UINT uId, UINT uFlags)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    MenuItemRef found = FindItemLocked(hMenu, uId, (uFlags & MF_BYPOSITION) != 0);
    return found ? StateFlags(*found.operator->()) : kNotFound;
}

BOOL WINAPI EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    MenuItemRef found = FindItemLocked(hMenu, uIDEnableItem, (uEnable & MF_BYPOSITION) != 0);
    if (!found) return -1;
    const UINT previous = found->state & (MF_GRAYED | MF_DISABLED);
    found->state = (found->state & ~(MF_GRAYED | MF_DISABLED)) | (uEnable & (MF_GRAYED | MF_DISABLED));
    return static_cast<BOOL>(previous);
}

DWORD WINAPI CheckMenuItem(HMENU hMenu, UINT uIDCheckItem, UINT uCheck)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    MenuItemRef found = FindItemLocked(hMenu, uIDCheckItem, (uCheck & MF_BYPOSITION) != 0);
    if (!found) return static_cast<DWORD>(-1);
    const DWORD previous = found->state & MF_CHECKED;
    found->state = (found->state & ~MF_CHECKED) | (uCheck & MF_CHECKED);
    return previous;
}

// The items first to last of the menu that holds `check` become a radio
// group with `check` chosen.
BOOL WINAPI CheckMenuRadioItem(HMENU hmenu, UINT first, UINT last, UINT check, UINT flags)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    const bool byPosition = (flags & MF_BYPOSITION) != 0;
    MenuItemRef chosen = FindItemLocked(hmenu, check, byPosition);
    if (!chosen) return FALSE;
    Menu& menu = *chosen.menu;
    for (size_t i = 0; i < menu.items.size(); ++i) {
        MenuItemData& item = menu.items[i];
        const UINT key = byPosition ? static_cast<UINT>(i) : item.id;
        if (key < first || key > last || item.subMenu != nullptr) continue;
        item.type |= MFT_RADIOCHECK;
        item.state = (item.state & ~MF_CHECKED) | (i == chosen.index ? MF_CHECKED : 0);
    }
    return TRUE;
}

}  // extern "C"
