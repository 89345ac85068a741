#include "ui/menus/menu_store.h"

#include <map>
#include <memory>

namespace winsim::ui {

namespace {

struct Store {
    std::map<HMENU, std::unique_ptr<Menu>> menus;
    // Apart from window handles, so a menu handle is never mistaken for one.
    ULONG_PTR nextHandle = 0x70004;
};

Store& Menus()
{
    static Store store;
    return store;
}

MenuItemRef FindByCommandLocked(Menu& menu, UINT id, int depth)
{
    // A submenu that holds itself is not followed for ever.
    constexpr int kMaxDepth = 32;
    for (size_t i = 0; i < menu.items.size(); ++i) {
        if (menu.items[i].id == id) return MenuItemRef{&menu, i};
        Menu* sub = FindMenuLocked(menu.items[i].subMenu);
        if (sub == nullptr || depth >= kMaxDepth) continue;
        if (MenuItemRef found = FindByCommandLocked(*sub, id, depth + 1)) return found;
    }
    return MenuItemRef{};
}

}  // namespace

std::mutex& MenuLock()
{
    static std::mutex lock;
    return lock;
}

Menu* FindMenuLocked(HMENU handle)
{
    auto it = Menus().menus.find(handle);
    return it == Menus().menus.end() ? nullptr : it->second.get();
}

HMENU NewMenuLocked(bool popup)
{
    auto menu = std::make_unique<Menu>();
    menu->handle = reinterpret_cast<HMENU>(Menus().nextHandle);
    Menus().nextHandle += 4;
    menu->popup = popup;
    menu->program = &CurrentProgram();
    menu->program->userObjects++;
    HMENU handle = menu->handle;
    Menus().menus.emplace(handle, std::move(menu));
    return handle;
}

void DestroyMenuLocked(HMENU handle)
{
    auto it = Menus().menus.find(handle);
    if (it == Menus().menus.end()) return;
    std::unique_ptr<Menu> menu = std::move(it->second);
    Menus().menus.erase(it);
    menu->program->userObjects--;
    for (const MenuItemData& item : menu->items) DestroyMenuLocked(item.subMenu);
}

MenuItemRef FindItemLocked(HMENU handle, UINT item, bool byPosition)
{
    Menu* menu = FindMenuLocked(handle);
    if (menu == nullptr) return MenuItemRef{};
    if (byPosition) return item < menu->items.size() ? MenuItemRef{menu, item} : MenuItemRef{};
    return FindByCommandLocked(*menu, item, 0);
}

void ReleaseProgramMenus(Program& program)
{
    std::lock_guard<std::mutex> guard(MenuLock());
    std::vector<HMENU> left;
    for (auto& [handle, menu] : Menus().menus) {
        if (menu->program == &program) left.push_back(handle);
    }
    for (HMENU handle : left) DestroyMenuLocked(handle);
}

}  // namespace winsim::ui
