#include "assistant/diag/hyperlink.h"

#include "assistant/app/text_format.h"

using namespace hyperlink_style;

namespace {

constexpr int kHandCursorResource = 106;
constexpr INT_PTR kShellSuccessAbove = 32;

// The web-page handler's open command with its "%1" (and the quotes round it) cut off.
bool WebPageCommand(std::string* command)
{
    char value[MAX_PATH * 2] = "";
    LONG length = sizeof(value);
    if (RegQueryValueA(HKEY_CLASSES_ROOT, ".htm", value, &length) != ERROR_SUCCESS) {
        return false;
    }
    const std::string key = std::string(value) + "\\shell\\open\\command";
    length = sizeof(value);
    if (RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), value, &length) != ERROR_SUCCESS) {
        return false;
    }
    std::string text = value;
    const size_t quoted = text.find("\"%1\"");
    const size_t bare = text.find("%1");
    if (quoted != std::string::npos) {
        text.resize(quoted);
    } else if (bare != std::string::npos) {
        text.resize(bare);
    }
    *command = text;
    return true;
}

}  // namespace

bool CHyperLink::Attach(HWND dialog, int id)
{
    if (!SubclassDlgItem(dialog, id)) {
        return false;
    }
    const std::string text = Text();
    if (target.empty()) {
        target = text;
    }
    if (text.empty()) {
        SetText(target);
    }
    BuildFont();
    if ((style & kFitToText) != 0) {
        FitToText();
    }
    if ((style & kNoHandCursor) == 0) {
        LoadHandCursor();
    }
    CreateToolTip();
    return true;
}

void CHyperLink::BuildFont()
{
    auto* controlFont = reinterpret_cast<HFONT>(Send(WM_GETFONT));
    LOGFONTA description{};
    if (controlFont == nullptr || GetObjectA(controlFont, sizeof(description), &description) == 0) {
        style &= ~kFitToText;  // nothing to measure the text with
        return;
    }
    description.lfUnderline = (style & kUnderline) != 0 ? TRUE : FALSE;
    font = CreateFontIndirectA(&description);
    Send(WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void CHyperLink::FitToText()
{
    HWND parent = GetParent(Handle());
    RECT window{};
    RECT client{};
    GetWindowRect(Handle(), &window);
    GetClientRect(Handle(), &client);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
    const std::string text = Text();
    HDC dc = GetDC(Handle());
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE extent{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, previous);
    ReleaseDC(Handle(), dc);
    // Keep the border the window has round its client area.
    const LONG width = extent.cx + (window.right - window.left) - (client.right - client.left);
    const LONG height = extent.cy + (window.bottom - window.top) - (client.bottom - client.top);
    const LONG_PTR staticStyle = GetWindowLongPtrA(Handle(), GWL_STYLE);
    LONG top = window.top;
    if ((staticStyle & SS_CENTERIMAGE) != 0) {
        top = window.top + ((window.bottom - window.top) - height) / 2;
    }
    LONG left = window.left;
    const LONG_PTR alignment = staticStyle & SS_TYPEMASK;
    if (alignment == SS_CENTER) {
        left = window.left + ((window.right - window.left) - width) / 2;
    } else if (alignment == SS_RIGHT) {
        left = window.right - width;
    }
    SetWindowPos(Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CHyperLink::LoadHandCursor()
{
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof(windows));
    HMODULE help = LoadLibraryA(assistant::Format("%s\\winhlp32.exe", windows).c_str());
    if (help == nullptr) {
        return;
    }
    HCURSOR cursor = LoadCursorA(help, MAKEINTRESOURCEA(kHandCursorResource));
    if (cursor != nullptr) {
        handCursor = CopyCursor(cursor);
    }
    FreeLibrary(help);
}

void CHyperLink::CreateToolTip()
{
    auto* module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(Handle(), GWLP_HINSTANCE));
    toolTip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr, module, nullptr);
    if (toolTip == nullptr) {
        return;
    }
    TOOLINFOA tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = Handle();
    tool.uId = 1;
    GetClientRect(Handle(), &tool.rect);
    tool.lpszText = target.data();
    SendMessageA(toolTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void CHyperLink::OnReleased()
{
    if (toolTip != nullptr) {
        DestroyWindow(toolTip);
        toolTip = nullptr;
    }
    if (font != nullptr) {
        DeleteObject(font);
        font = nullptr;
    }
    if (handCursor != nullptr) {
        DestroyCursor(handCursor);
        handCursor = nullptr;
    }
}

void CHyperLink::RelayToToolTip(UINT message, WPARAM wParam, LPARAM lParam) const
{
    if (toolTip == nullptr) {
        return;
    }
    MSG relayed{};
    relayed.hwnd = Handle();
    relayed.message = message;
    relayed.wParam = wParam;
    relayed.lParam = lParam;
    SendMessageA(toolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

COLORREF CHyperLink::TextColour() const
{
    if (hovering != 0 && (style & kHoverColour) != 0) {
        return RGB(255, 0, 0);
    }
    if ((style & kNoFocusColour) != 0 || pressed == 0) {
        return visited != 0 ? RGB(128, 0, 128) : RGB(0, 0, 255);
    }
    return RGB(0, 128, 128);
}

bool CHyperLink::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case fw::kReflectedMessageBase + WM_CTLCOLORSTATIC: {
        auto* dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, TextColour());
        SetBkMode(dc, TRANSPARENT);
        result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        return true;
    }
    case WM_NCHITTEST:
        result = HTCLIENT;
        return true;
    case WM_SETCURSOR:
        if (handCursor == nullptr) {
            return false;
        }
        SetCursor(handCursor);
        result = TRUE;
        return true;
    case WM_MOUSEMOVE: {
        RelayToToolTip(message, wParam, lParam);
        if (hovering == 0) {
            hovering = 1;
            Repaint();
            SetCapture(Handle());
            return false;
        }
        RECT client{};
        GetClientRect(Handle(), &client);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (!PtInRect(&client, at)) {
            hovering = 0;
            ReleaseCapture();
            Repaint();
        }
        return false;
    }
    case WM_LBUTTONDOWN:
        RelayToToolTip(message, wParam, lParam);
        if ((style & kFocusOnPress) != 0) {
            SetFocus(Handle());
        }
        if ((style & kOpenOnPress) != 0) {
            OpenTarget();
        }
        pressed = 1;
        return false;
    case WM_LBUTTONUP:
        RelayToToolTip(message, wParam, lParam);
        if (pressed != 0 && (style & kOpenOnPress) == 0) {
            OpenTarget();
        }
        return false;
    case WM_KEYDOWN:
        if (wParam != VK_SPACE) {
            return false;
        }
        OpenTarget();
        return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        pressed = message == WM_SETFOCUS ? 1 : 0;
        Repaint();
        return false;
    default:
        return false;
    }
}

void CHyperLink::OpenTarget()
{
    auto code = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr,
                                                         SW_SHOWNORMAL));
    std::string command;
    if (code <= kShellSuccessAbove && WebPageCommand(&command)) {
        command += " " + target;
        code = static_cast<INT_PTR>(WinExec(command.c_str(), SW_SHOWNORMAL));
    }
    if (code > kShellSuccessAbove) {
        visited = 1;
        Repaint();
        return;
    }
    MessageBeep(MB_ICONEXCLAMATION);
    MessageBoxA(GetParent(Handle()), FailureText(static_cast<int>(code)).c_str(), nullptr,
                MB_OK | MB_ICONEXCLAMATION);
}

std::string CHyperLink::FailureText(int code)
{
    const char* reason = nullptr;
    switch (code) {
    case 0: reason = "The operating system is out\nof memory or resources."; break;
    case 2: reason = "The specified file was not found."; break;
    case 3: reason = "The specified path was not found."; break;
    case 5: reason = "The operating system denied\naccess to the specified file."; break;
    case 8: reason = "There was not enough memory to complete the operation."; break;
    case 11: reason = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."; break;
    case 26: reason = "A sharing violation occurred. "; break;
    case 27: reason = "The filename association is\nincomplete or invalid."; break;
    case 28: reason = "The DDE transaction could not\nbe completed because the request timed out."; break;
    case 29: reason = "The DDE transaction failed."; break;
    case 30:
        reason = "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.";
        break;
    case 31: reason = "There is no application associated\nwith the given filename extension."; break;
    case 32: reason = "The specified dynamic-link library was not found."; break;
    default: return "Can't open link:\n\n" + assistant::Format("Unknown Error (%d) occurred.", code);
    }
    return std::string("Can't open link:\n\n") + reason;
}
