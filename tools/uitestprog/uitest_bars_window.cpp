#include "uitest_bars_window.h"

#include <commctrl.h>

#include <string>

#include "uitest_ids.h"

namespace {

constexpr const char* kClassName = "UiTestBars";
constexpr int kImageSize = 32;
constexpr int kLineHeight = 16;
constexpr int kStatePaneWidth = 80;  // the state and count panes, from the right
constexpr int kCountPaneWidth = 80;

struct Line {
    const char* text;
    COLORREF color;
};
constexpr Line kLines[] = {{"alpha", RGB(0, 0, 0)}, {"beta", RGB(255, 0, 0)}, {"gamma", RGB(0, 0, 255)}};

const char* TipOf(UINT_PTR command)
{
    switch (command) {
    case ID_UITEST_HALT: return "Halt the lines";
    case ID_UITEST_RESUME: return "Resume the lines";
    case ID_UITEST_COPY: return "Copy the lines";
    case ID_UITEST_SAVE: return "Save the lines";
    case ID_UITEST_HEX: return "Show in hex";
    default: return "";
    }
}

void SetPane(HWND window, int pane, const std::string& text)
{
    SendDlgItemMessageA(window, IDC_UITEST_STATUS, SB_SETTEXTA, static_cast<WPARAM>(pane),
                        reinterpret_cast<LPARAM>(text.c_str()));
}

// The lines below the toolbar, the same on the screen and in a metafile.
void DrawLines(HWND window, HDC dc)
{
    RECT bar{};
    GetWindowRect(GetDlgItem(window, IDC_UITEST_TOOLBAR), &bar);
    int y = static_cast<int>(bar.bottom - bar.top);
    for (const Line& line : kLines) {
        SetTextColor(dc, line.color);
        TextOutA(dc, 4, y, line.text, -1);
        y += kLineHeight;
    }
}

// False when the toolbar's images cannot be loaded.
bool CreateToolbar(HWND window, HINSTANCE instance)
{
    HWND toolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | CCS_TOP,
                                   0, 0, 0, 0, window, reinterpret_cast<HMENU>(IDC_UITEST_TOOLBAR), instance, nullptr);
    SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(toolbar, TB_SETBITMAPSIZE, 0, MAKELONG(kImageSize, kImageSize));
    TBADDBITMAP bitmap{instance, IDB_UITEST_TOOLBAR};
    const LRESULT firstImage = SendMessageA(toolbar, TB_ADDBITMAP, 5, reinterpret_cast<LPARAM>(&bitmap));
    const TBBUTTON buttons[] = {
        {0, ID_UITEST_HALT, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
        {1, ID_UITEST_RESUME, 0, TBSTYLE_BUTTON, {}, 0, 0},
        {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0},
        {2, ID_UITEST_COPY, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
        {3, ID_UITEST_SAVE, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
        {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0},
        {4, ID_UITEST_HEX, TBSTATE_ENABLED, TBSTYLE_CHECK, {}, 0, 0},
    };
    SendMessageA(toolbar, TB_ADDBUTTONSA, sizeof(buttons) / sizeof(buttons[0]), reinterpret_cast<LPARAM>(buttons));
    return firstImage == 0;
}

// The message pane takes what the state and count panes leave.
void LayOut(HWND window, int width)
{
    SendDlgItemMessageA(window, IDC_UITEST_TOOLBAR, TB_AUTOSIZE, 0, 0);
    SendDlgItemMessageA(window, IDC_UITEST_STATUS, WM_SIZE, 0, 0);
    const int rights[3] = {width - kStatePaneWidth - kCountPaneWidth, width - kCountPaneWidth, -1};
    SendDlgItemMessageA(window, IDC_UITEST_STATUS, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(rights));
    SetPane(window, 2, "width " + std::to_string(width));
}

void Halt(HWND window, bool halted)
{
    SendDlgItemMessageA(window, IDC_UITEST_TOOLBAR, TB_ENABLEBUTTON, ID_UITEST_HALT, MAKELONG(!halted, 0));
    SendDlgItemMessageA(window, IDC_UITEST_TOOLBAR, TB_ENABLEBUTTON, ID_UITEST_RESUME, MAKELONG(halted, 0));
    SetPane(window, 1, halted ? "Halted" : "Enabled");
}

// The lines as a metafile on the clipboard; the metafile is the clipboard's
// once it is there, ours to delete when the clipboard cannot take it.
void Copy(HWND window)
{
    HDC dc = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    DrawLines(window, dc);
    HENHMETAFILE metafile = CloseEnhMetaFile(dc);
    if (!OpenClipboard(window)) {
        DeleteEnhMetaFile(metafile);
        SetPane(window, 0, "clipboard busy");
        return;
    }
    EmptyClipboard();
    const bool copied = SetClipboardData(CF_ENHMETAFILE, metafile) != nullptr;
    CloseClipboard();
    if (!copied) DeleteEnhMetaFile(metafile);
    SetPane(window, 0, copied ? "copied" : "copy failed");
}

void WriteLines(HWND window, const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        SetPane(window, 0, std::string("cannot write ") + path);
        return;
    }
    for (const Line& line : kLines) {
        const std::string text = std::string(line.text) + "\r\n";
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    CloseHandle(file);
    SetPane(window, 0, std::string("saved ") + path);
}

void Save(HWND window)
{
    char path[MAX_PATH] = "lines.txt";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = window;
    ofn.lpstrFilter = "Text File (*.txt)\0*.txt\0\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof(path);
    ofn.lpstrTitle = "UI Test -- Save Lines As";
    ofn.lpstrDefExt = "txt";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    if (GetSaveFileNameA(&ofn)) {
        WriteLines(window, path);
    } else {
        SetPane(window, 0, "save cancelled, error " + std::to_string(CommDlgExtendedError()));
    }
}

void Command(HWND window, int id)
{
    switch (id) {
    case ID_UITEST_HALT: Halt(window, true); break;
    case ID_UITEST_RESUME: Halt(window, false); break;
    case ID_UITEST_COPY: Copy(window); break;
    case ID_UITEST_SAVE: Save(window); break;
    case ID_UITEST_HEX: {
        const LRESULT on = SendDlgItemMessageA(window, IDC_UITEST_TOOLBAR, TB_ISBUTTONCHECKED, ID_UITEST_HEX, 0);
        SetPane(window, 0, on ? "hex on" : "hex off");
        break;
    }
    default: break;
    }
}

LRESULT CALLBACK BarsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        const bool images = CreateToolbar(window, create->hInstance);
        CreateStatusWindowA(WS_CHILD | WS_VISIBLE, images ? "Ready" : "no toolbar images", window, IDC_UITEST_STATUS);
        RECT client;
        GetClientRect(window, &client);
        LayOut(window, client.right);
        Halt(window, false);
        return 0;
    }
    case WM_SIZE:
        LayOut(window, LOWORD(lParam));
        return 0;
    case WM_COMMAND:
        Command(window, LOWORD(wParam));
        return 0;
    case WM_NOTIFY: {
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
        if (info->hdr.code == TTN_GETDISPINFOA) info->lpszText = const_cast<char*>(TipOf(info->hdr.idFrom));
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        DrawLines(window, dc);
        EndPaint(window, &ps);
        return 0;
    }
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

void RegisterBarsWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA cls{};
    cls.cbSize = sizeof(cls);
    cls.lpfnWndProc = BarsProc;
    cls.hInstance = instance;
    cls.lpszClassName = kClassName;
    RegisterClassExA(&cls);
}

HWND OpenBarsWindow(HINSTANCE instance)
{
    return CreateWindowExA(0, kClassName, "UI Test Bars", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 480, 240, nullptr,
                           nullptr, instance, nullptr);
}
