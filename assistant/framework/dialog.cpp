#include "assistant/framework/dialog.h"

#include "assistant/framework/subclassed_window.h"

namespace fw {

namespace {

// Messages whose dialog-procedure return value is the result itself rather
// than a handled flag (the rest report their result through DWLP_MSGRESULT).
bool ReturnsResultDirectly(UINT message)
{
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}

// A page template run as a modal dialog of its own becomes a captioned pop-up.
DWORD PopupStyle(DWORD style)
{
    return (style & ~static_cast<DWORD>(WS_CHILD | DS_CONTROL)) | WS_POPUP | WS_CAPTION | WS_SYSMENU |
           DS_MODALFRAME | DS_CENTER;
}

}  // namespace

Dialog::~Dialog()
{
    if (*this) {
        DestroyWindow(Handle());
    }
}

INT_PTR Dialog::RunModal(HWND owner)
{
    modalEnded_ = false;
    modalResult_ = IDCANCEL;
    HWND window = CreatePopup(owner);
    if (window == nullptr) {
        return -1;
    }
    const bool disableOwner = owner != nullptr && IsWindowEnabled(owner);
    if (disableOwner) {
        EnableWindow(owner, FALSE);
    }
    if (!modalEnded_) {
        ShowWindow(window, SW_SHOW);
    }
    MSG message{};
    while (!modalEnded_) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) {
                PostQuitMessage(static_cast<int>(message.wParam));  // for the loop outside
            }
            break;
        }
        PreTranslate(message);
        if (!IsDialogMessageA(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    // Enable the owner before the dialog goes, so activation returns to it.
    if (disableOwner) {
        EnableWindow(owner, TRUE);
    }
    if (*this) {
        DestroyWindow(Handle());
    }
    pages_.clear();  // they went with the window
    return modalResult_;
}

void Dialog::EndModal(INT_PTR result)
{
    modalResult_ = result;
    modalEnded_ = true;
}

HWND Dialog::CreatePopup(HWND owner)
{
    HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(templateId_), RT_DIALOG);
    HGLOBAL loaded = found != nullptr ? LoadResource(module_, found) : nullptr;
    const auto* bytes = static_cast<const BYTE*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    const DWORD size = found != nullptr ? SizeofResource(module_, found) : 0;
    // DLGTEMPLATEEX starts with version 1 and signature 0xFFFF and has its style at offset 12;
    // DLGTEMPLATE starts with its style.
    const bool extended = bytes != nullptr && size >= 16 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0xFF && bytes[3] == 0xFF;
    const size_t styleOffset = extended ? 12 : 0;
    if (bytes == nullptr || size < styleOffset + sizeof(DWORD)) {
        return nullptr;
    }
    DWORD style = 0;
    CopyMemory(&style, bytes + styleOffset, sizeof(style));
    if ((style & WS_CHILD) == 0) {
        return CreateDialogParamA(module_, MAKEINTRESOURCEA(templateId_), owner, Procedure,
                                  reinterpret_cast<LPARAM>(this));
    }
    std::vector<BYTE> copy(bytes, bytes + size);
    style = PopupStyle(style);
    CopyMemory(copy.data() + styleOffset, &style, sizeof(style));
    return CreateDialogIndirectParamA(module_, reinterpret_cast<LPCDLGTEMPLATEA>(copy.data()), owner, Procedure,
                                      reinterpret_cast<LPARAM>(this));
}

bool Dialog::CreatePage(HWND parent, Dialog& host)
{
    HWND page = CreateDialogParamA(module_, MAKEINTRESOURCEA(templateId_), parent, Procedure,
                                   reinterpret_cast<LPARAM>(this));
    if (page == nullptr) {
        return false;
    }
    // A child window's id: the page answers to its template's number, as its controls to theirs.
    SetWindowLongPtrA(page, GWLP_ID, templateId_);
    host.pages_.push_back(this);
    return true;
}

void Dialog::UpdateData(bool fromControls)
{
    DataExchange exchange(Handle(), fromControls);
    DoDataExchange(exchange);
}

BOOL Dialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

bool Dialog::CreateToolTips()
{
    return tips_.Create(Handle());
}

bool Dialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED) {
            return false;
        }
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return true;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return true;
        }
        return false;
    case WM_CLOSE:
        // As the system's dialog manager does: the close box is Cancel.
        CloseAsCancel();
        return true;
    case WM_NOTIFY: {
        auto& header = *reinterpret_cast<NMHDR*>(lParam);
        if (tips_ && header.hwndFrom == tips_.Handle() && header.code == TTN_GETDISPINFOA) {
            tips_.SupplyText(*reinterpret_cast<NMTTDISPINFOA*>(lParam), module_);
            return true;
        }
        return false;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
        // A subclassed control chooses its own colours.
        const LRESULT brush = SendMessageA(reinterpret_cast<HWND>(lParam), kReflectedMessageBase + message, wParam, lParam);
        if (brush == 0) {
            return false;
        }
        result = brush;
        return true;
    }
    default:
        return false;
    }
}

void Dialog::PreTranslate(const MSG& message) const
{
    if (!*this || !Contains(message.hwnd)) {
        return;
    }
    tips_.Relay(message);
    for (const Dialog* page : pages_) {
        page->PreTranslate(message);
    }
}

INT_PTR CALLBACK Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->Attach(window);
        return dialog->OnInitDialog();
    }
    auto* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (dialog == nullptr) {
        return FALSE;  // messages before WM_INITDIALOG
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        dialog->Attach(nullptr);
        dialog->tips_.Attach(nullptr);  // an owned window, destroyed with its owner
        return FALSE;
    }
    return dialog->Route(message, wParam, lParam);
}

INT_PTR Dialog::Route(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!HandleMessage(message, wParam, lParam, result)) {
        return FALSE;
    }
    if (ReturnsResultDirectly(message)) {
        return static_cast<INT_PTR>(result);
    }
    SetWindowLongPtrA(Handle(), DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace fw
