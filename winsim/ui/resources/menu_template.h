// A menu template (RT_MENU): MENUITEMTEMPLATE (MENU in a .rc) or
// MENUEX_TEMPLATE (MENUEX), read into one tree of items whose type and state
// use the MFT_ and MFS_ flags of MENUITEMINFO, so LoadMenu builds both alike.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ui/resources/parsed.h"

namespace winsim::ui::resources {

struct MenuItem {
    std::u16string text;
    uint32_t id = 0;      // command id; popups of the old layout have none
    uint32_t type = 0;    // MFT_SEPARATOR, MFT_OWNERDRAW, MFT_MENUBREAK, ...
    uint32_t state = 0;   // MFS_GRAYED, MFS_CHECKED, MFS_DEFAULT
    uint32_t helpId = 0;  // popups of MENUEX only
    bool popup = false;
    std::vector<MenuItem> items;  // a popup's own items

    // The old layout's MENUITEM SEPARATOR is an item without text, id or
    // flags; it reads as MFT_SEPARATOR here.
    bool IsSeparator() const { return (type & 0x800) != 0; }
    bool IsGrayed() const { return (state & 0x3) != 0; }
    bool IsChecked() const { return (state & 0x8) != 0; }
};

struct MenuTemplate {
    bool extended = false;
    uint32_t helpId = 0;  // MENUEX only
    std::vector<MenuItem> items;
};

Parsed<MenuTemplate> ParseMenuTemplate(std::span<const uint8_t> bytes);

}  // namespace winsim::ui::resources
