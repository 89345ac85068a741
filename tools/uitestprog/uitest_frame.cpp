#include "uitest_frame.h"

#include <string>

#include "uitest_ids.h"

namespace {

constexpr const char* kFrameClass = "UiTestFrame";
constexpr const char* kChannelClass = "UiTestChannel";
constexpr UINT kFirstChannelId = 0xFF00;
constexpr int kWindowMenuPosition = 2;

struct FrameState {
    bool running = true;
    bool hex = false;
    HWND client = nullptr;
    int channels = 0;  // opened so far; the next is COM3 + channels
};

FrameState* StateOf(HWND frame) { return reinterpret_cast<FrameState*>(GetWindowLongPtrA(frame, GWLP_USERDATA)); }

void Log(HWND frame, const std::string& line)
{
    SendDlgItemMessageA(GetWindow(frame, GW_OWNER), IDC_UITEST_LOG, LB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(line.c_str()));
}

std::string TitleOf(HWND window)
{
    char title[64] = "";
    GetWindowTextA(window, title, sizeof(title));
    return title;
}

// Where a channel window lies in the MDI client, as "left,top widthxheight".
std::string PlaceOf(HWND channel)
{
    RECT rect;
    GetWindowRect(channel, &rect);
    POINT origin{0, 0};
    ClientToScreen(GetParent(channel), &origin);
    return std::to_string(rect.left - origin.x) + "," + std::to_string(rect.top - origin.y) + " " +
           std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top);
}

HWND FrameOf(HWND channel) { return GetParent(GetParent(channel)); }

LRESULT CALLBACK ChannelProc(HWND channel, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MDIACTIVATE && reinterpret_cast<HWND>(lParam) == channel) {
        Log(FrameOf(channel), "channel: " + TitleOf(channel) + " active");
    }
    return DefMDIChildProcA(channel, message, wParam, lParam);
}

// A channel window opens as "Monitor Data" and then names its port.
void OpenChannel(HWND frame)
{
    FrameState& state = *reinterpret_cast<FrameState*>(GetWindowLongPtrA(frame, GWLP_USERDATA));
    MDICREATESTRUCTA create{kChannelClass, "Monitor Data", GetModuleHandleA(nullptr), 0, 0, 400, 300,
                            WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_VISIBLE, 0};
    auto channel = reinterpret_cast<HWND>(
        SendMessageA(state.client, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
    const std::string title = "COM" + std::to_string(3 + state.channels++);
    SetWindowTextA(channel, title.c_str());
}

// After an arrangement the log tells where every channel went.
void Arrange(HWND frame, UINT message, WPARAM how)
{
    HWND client = reinterpret_cast<FrameState*>(GetWindowLongPtrA(frame, GWLP_USERDATA))->client;
    SendMessageA(client, message, how, 0);
    for (HWND channel = GetWindow(client, GW_CHILD); channel != nullptr; channel = GetWindow(channel, GW_HWNDNEXT)) {
        Log(frame, (message == WM_MDICASCADE ? "cascade: " : "tile: ") + TitleOf(channel) + " " + PlaceOf(channel));
    }
}

// A help pop-up made at run time beside the bar the template gave.
void AddHelpMenu(HWND frame)
{
    HMENU help = CreatePopupMenu();
    AppendMenuA(help, MF_STRING, IDM_UITEST_ABOUT_FRAME, "&About Monitor");
    AppendMenuA(GetMenu(frame), MF_POPUP, reinterpret_cast<UINT_PTR>(help), "&Help");
    DrawMenuBar(frame);
}

// The states the items show when their pop-up opens.
void InitPopup(HWND frame, HMENU popup, int position)
{
    const FrameState& state = *StateOf(frame);
    EnableMenuItem(popup, IDM_UITEST_HALT, MF_BYCOMMAND | (state.running ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(popup, IDM_UITEST_RESUME, MF_BYCOMMAND | (state.running ? MF_GRAYED : MF_ENABLED));
    CheckMenuItem(popup, IDM_UITEST_HEX, MF_BYCOMMAND | (state.hex ? MF_CHECKED : MF_UNCHECKED));
    Log(frame, "menu: popup " + std::to_string(position));
}

// Commands the frame does not know (the window menu's children) go to the system.
bool Command(HWND frame, UINT id)
{
    FrameState& state = *StateOf(frame);
    switch (id) {
    case IDM_UITEST_HALT:
        state.running = false;
        Log(frame, "menu: halt");
        break;
    case IDM_UITEST_RESUME:
        state.running = true;
        Log(frame, "menu: resume");
        break;
    case IDM_UITEST_HEX:
        state.hex = !state.hex;
        Log(frame, state.hex ? "menu: hex on" : "menu: hex off");
        break;
    case IDM_UITEST_ABOUT_FRAME:
        Log(frame, "menu: about");
        break;
    case IDM_UITEST_NEW_CHANNEL:
        OpenChannel(frame);
        break;
    case IDM_UITEST_CASCADE:
        Arrange(frame, WM_MDICASCADE, 0);
        break;
    case IDM_UITEST_TILE:
        Arrange(frame, WM_MDITILE, MDITILE_HORIZONTAL);
        break;
    case IDM_UITEST_EXIT:
        DestroyWindow(frame);
        break;
    default:
        if (id >= kFirstChannelId) return false;
        Log(frame, "menu: command " + std::to_string(id));
        break;
    }
    return true;
}

HWND CreateClient(HWND frame)
{
    CLIENTCREATESTRUCT create{GetSubMenu(GetMenu(frame), kWindowMenuPosition), kFirstChannelId};
    RECT area;
    GetClientRect(frame, &area);
    return CreateWindowExA(0, "MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL | WS_VISIBLE,
                           0, 0, area.right, area.bottom, frame, nullptr, GetModuleHandleA(nullptr), &create);
}

LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam)
{
    FrameState* state = StateOf(frame);
    HWND client = state != nullptr ? state->client : nullptr;
    switch (message) {
    case WM_CREATE:
        state = new FrameState();
        SetWindowLongPtrA(frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        state->client = CreateClient(frame);
        AddHelpMenu(frame);
        return 0;
    case WM_INITMENU:
        Log(frame, "menu: opened");
        return 0;
    case WM_INITMENUPOPUP:
        InitPopup(frame, reinterpret_cast<HMENU>(wParam), LOWORD(lParam));
        return 0;
    case WM_MENUSELECT:
        // Items, not the pop-ups on the way nor the menu closing.
        if (HIWORD(wParam) != 0xFFFF && !(HIWORD(wParam) & MF_POPUP)) {
            Log(frame, "menu: select " + std::to_string(LOWORD(wParam)));
        }
        return 0;
    case WM_COMMAND:
        if (Command(frame, LOWORD(wParam))) return 0;
        break;
    case WM_NCDESTROY:
        delete state;
        SetWindowLongPtrA(frame, GWLP_USERDATA, 0);
        client = nullptr;
        break;
    default:
        break;
    }
    return DefFrameProcA(frame, client, message, wParam, lParam);
}

}  // namespace

void RegisterUiTestFrame(HINSTANCE instance)
{
    WNDCLASSEXA channel{};
    channel.cbSize = sizeof(channel);
    channel.lpfnWndProc = ChannelProc;
    channel.hInstance = instance;
    channel.lpszClassName = kChannelClass;
    RegisterClassExA(&channel);
    WNDCLASSEXA frame{};
    frame.cbSize = sizeof(frame);
    frame.lpfnWndProc = FrameProc;
    frame.hInstance = instance;
    frame.lpszMenuName = MAKEINTRESOURCEA(IDR_UITEST_FRAME);
    frame.lpszClassName = kFrameClass;
    RegisterClassExA(&frame);
}

HWND OpenUiTestFrame(HWND dialog)
{
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    return CreateWindowExA(0, kFrameClass, "UI Test Monitor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                           CW_USEDEFAULT, 600, 400, dialog, nullptr, instance, nullptr);
}
