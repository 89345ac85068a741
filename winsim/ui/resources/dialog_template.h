// A dialog template (RT_DIALOG) as the dialog manager needs it: the dialog's
// styles, rectangle in dialog units, menu, class, caption and font, and its
// controls in template order. Both layouts are read: DLGTEMPLATEEX (DIALOGEX
// in a .rc) and the older DLGTEMPLATE (DIALOG).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ui/resources/parsed.h"
#include "ui/resources/resource_id.h"

namespace winsim::ui::resources {

// Font of a dialog with DS_SETFONT (DS_SHELLFONT includes it). The old layout
// has only the point size and face; weight, italic and charset are then 0.
struct DialogFont {
    uint16_t pointSize = 0;
    uint16_t weight = 0;
    bool italic = false;
    uint8_t charset = 0;
    std::u16string face;
};

struct DialogItem {
    uint32_t helpId = 0;  // 0 in the old layout
    uint32_t exStyle = 0;
    uint32_t style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    // A DWORD in DLGITEMTEMPLATEEX; the old layout's WORD is zero-extended
    // (an id of -1 there reads 0xFFFF).
    uint32_t id = 0;
    // Ordinals 0x0080..0x0085 name the predefined classes (see ClassName()).
    ResourceId windowClass;
    // Text, or an ordinal: the icon or bitmap resource of a static control.
    ResourceId title;
    std::vector<uint8_t> creationData;  // passed as lParam of WM_CREATE

    // The class name: Button, Edit, Static, ListBox, ScrollBar or ComboBox
    // for the predefined ordinals, else the template's string ("" for an
    // unknown ordinal).
    std::u16string ClassName() const;
};

struct DialogTemplate {
    bool extended = false;  // DLGTEMPLATEEX
    uint32_t helpId = 0;
    uint32_t exStyle = 0;
    uint32_t style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    std::optional<ResourceId> menu;         // absent when the template names none
    std::optional<ResourceId> windowClass;  // absent: the dialog class
    std::u16string title;
    std::optional<DialogFont> font;  // present exactly when style has DS_SETFONT
    std::vector<DialogItem> items;
};

// Reads the bytes of an RT_DIALOG resource (LockResource's pointer,
// SizeofResource's size). Malformed or truncated bytes give an error.
Parsed<DialogTemplate> ParseDialogTemplate(std::span<const uint8_t> bytes);

}  // namespace winsim::ui::resources
