// MessageBoxA as Windows builds it: a modal dialog (owner disabled while it
// is open, the thread's timers still running) with an icon, the text and a
// row of buttons, laid out in dialog units of an 8-point font.
#include <algorithm>
#include <string>
#include <vector>

#include "ui/dialogs/system_dialogs.h"
#include "ui/ui_events.h"

using namespace winsim::ui;
using winsim::ui::resources::DialogTemplate;
using winsim::ui::resources::ResourceId;

namespace {

constexpr int kIconId = 20;
constexpr int kTextId = 0xFFFF;
constexpr int kMargin = 7;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kButtonGap = 4;
constexpr int kIconSize = 21;
constexpr int kMaxTextWidth = 240;
constexpr int kLineHeight = 8;
constexpr int kCharWidth = 4;

struct Button {
    int id;
    const char* text;
};

std::vector<Button> ButtonsOf(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO: return {{IDYES, "&Yes"}, {IDNO, "&No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};
    default: return {{IDOK, "OK"}};
    }
}

uint16_t IconOf(UINT type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return 32513;         // IDI_HAND
    case MB_ICONQUESTION: return 32514;     // IDI_QUESTION
    case MB_ICONEXCLAMATION: return 32515;  // IDI_EXCLAMATION
    case MB_ICONASTERISK: return 32516;     // IDI_ASTERISK
    default: return 0;
    }
}

// Lines wrap at the widest line the box allows; the box is as wide as its
// longest line or its buttons need.
SIZE TextSize(const std::string& text)
{
    int lines = 0;
    int widest = 0;
    size_t start = 0;
    const int perLine = kMaxTextWidth / kCharWidth;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const int length = static_cast<int>(end - start) - (end > start && text[end - 1] == '\r' ? 1 : 0);
        lines += std::max(1, (length + perLine - 1) / perLine);
        widest = std::max(widest, std::min(length, perLine));
        start = end + 1;
    }
    return SIZE{widest * kCharWidth, lines * kLineHeight};
}

DialogTemplate BuildTemplate(const std::string& text, const std::string& caption, UINT type)
{
    DialogTemplate box = SystemDialogTemplate(caption);
    const uint16_t icon = IconOf(type);
    const int textLeft = kMargin + (icon != 0 ? kIconSize + kMargin : 0);
    const SIZE textSize = TextSize(text);
    const std::vector<Button> buttons = ButtonsOf(type);
    const int buttonsWidth = static_cast<int>(buttons.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
    const int width = std::max<int>(textLeft + textSize.cx + kMargin, buttonsWidth + 2 * kMargin);
    const int textHeight = std::max<int>(textSize.cy, icon != 0 ? kIconSize : 0);
    const int buttonTop = kMargin + textHeight + kMargin;

    if (icon != 0) {
        box.items.push_back(SystemDialogItem(kStaticClass, kIconId, ResourceId::FromOrdinal(icon), SS_ICON, kMargin,
                                             kMargin, kIconSize, kIconSize));
    }
    box.items.push_back(SystemDialogItem(kStaticClass, kTextId, TextId(text), SS_LEFT | SS_NOPREFIX | WS_GROUP,
                                         textLeft, kMargin, textSize.cx, textSize.cy));

    const UINT defaultIndex = (type & MB_DEFMASK) >> 8;
    int x = (width - buttonsWidth) / 2;
    for (size_t i = 0; i < buttons.size(); ++i) {
        const bool isDefault = i == (defaultIndex < buttons.size() ? defaultIndex : 0);
        box.items.push_back(SystemDialogItem(kButtonClass, static_cast<uint32_t>(buttons[i].id),
                                             TextId(buttons[i].text),
                                             WS_TABSTOP | (i == 0 ? WS_GROUP : 0) |
                                                 (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                                             x, buttonTop, kButtonWidth, kButtonHeight));
        x += kButtonWidth + kButtonGap;
    }
    box.cx = static_cast<int16_t>(width);
    box.cy = static_cast<int16_t>(buttonTop + kButtonHeight + kMargin);
    return box;
}

struct BoxContext {
    std::string caption;
    std::string text;
    UINT type;
};

INT_PTR CALLBACK MessageBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* context = reinterpret_cast<BoxContext*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, lParam);
        ReportEvent(UiEvent{UiEvent::Kind::kMessageBox, &CurrentProgram(), context->caption, context->text,
                            context->type});
        // The default button takes the focus.
        const LRESULT defId = SendMessageA(hwnd, DM_GETDEFID, 0, 0);
        if (HWND button = GetDlgItem(hwnd, LOWORD(defId))) SetFocus(button);
        return FALSE;
    }
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return FALSE;
    auto* context = reinterpret_cast<BoxContext*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    const int id = LOWORD(wParam);
    if (id == IDCANCEL && GetDlgItem(hwnd, IDCANCEL) == nullptr) {
        // Escape or the close box answers OK in a box that only has OK.
        if ((context->type & MB_TYPEMASK) == MB_OK) EndDialog(hwnd, IDOK);
        return TRUE;
    }
    if (GetDlgItem(hwnd, id) != nullptr) EndDialog(hwnd, id);
    return TRUE;
}

}  // namespace

extern "C" {

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    BoxContext context{lpCaption != nullptr ? lpCaption : "Error", lpText != nullptr ? lpText : "", uType};
    DialogTemplate box = BuildTemplate(context.text, context.caption, uType);
    return static_cast<int>(RunSystemDialog(box, hWnd, MessageBoxProc, reinterpret_cast<LPARAM>(&context)));
}

}  // extern "C"
