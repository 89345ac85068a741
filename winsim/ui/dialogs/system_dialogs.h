// The system's own dialogs built in code (message boxes, the save-file
// dialog): captioned modal pop-ups in the 8-point shell font that stay open
// until answered and are reported to the observer as they open, not as
// ordinary windows.
#pragma once

#include <windows.h>

#include <string>

#include "ui/resources/dialog_template.h"

namespace winsim::ui {

// Ordinals of the predefined control classes in a dialog item.
constexpr uint16_t kButtonClass = 0x0080;
constexpr uint16_t kEditClass = 0x0081;
constexpr uint16_t kStaticClass = 0x0082;
constexpr uint16_t kComboClass = 0x0085;

// The dialog without its items and size.
resources::DialogTemplate SystemDialogTemplate(const std::string& title);

// A visible child item at (x, y), cx by cy dialog units.
resources::DialogItem SystemDialogItem(uint16_t classOrdinal, uint32_t id, resources::ResourceId title,
                                       DWORD style, int x, int y, int cx, int cy);
resources::ResourceId TextId(const std::string& text);

// Runs the dialog modally over `owner`; what EndDialog gave, -1 when it
// could not be created.
INT_PTR RunSystemDialog(const resources::DialogTemplate& dialog, HWND owner, DLGPROC proc, LPARAM param);

}  // namespace winsim::ui
