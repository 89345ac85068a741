#include "ui/dialogs/system_dialogs.h"

#include "ui/dialogs/dialog_manager.h"

namespace winsim::ui {

using resources::DialogItem;
using resources::DialogTemplate;
using resources::ResourceId;

DialogTemplate SystemDialogTemplate(const std::string& title)
{
    DialogTemplate dialog;
    dialog.extended = true;
    dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_VISIBLE;
    dialog.title = std::u16string(title.begin(), title.end());
    dialog.font = resources::DialogFont{8, FW_NORMAL, false, DEFAULT_CHARSET, u"MS Shell Dlg"};
    return dialog;
}

DialogItem SystemDialogItem(uint16_t classOrdinal, uint32_t id, ResourceId title, DWORD style, int x, int y,
                            int cx, int cy)
{
    DialogItem item;
    item.style = WS_CHILD | WS_VISIBLE | style;
    item.x = static_cast<int16_t>(x);
    item.y = static_cast<int16_t>(y);
    item.cx = static_cast<int16_t>(cx);
    item.cy = static_cast<int16_t>(cy);
    item.id = id;
    item.windowClass = ResourceId::FromOrdinal(classOrdinal);
    item.title = std::move(title);
    return item;
}

ResourceId TextId(const std::string& text)
{
    return ResourceId::FromName(std::u16string(text.begin(), text.end()));
}

INT_PTR RunSystemDialog(const DialogTemplate& dialog, HWND owner, DLGPROC proc, LPARAM param)
{
    DialogOptions options;
    options.messageBox = true;
    return DialogBoxFromTemplate(dialog, nullptr, owner, proc, param, options);
}

}  // namespace winsim::ui
