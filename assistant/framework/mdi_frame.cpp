#include "assistant/framework/mdi_frame.h"

namespace fw {

namespace {

constexpr char kFrameClass[] = "QtrMdiFrame";
constexpr char kChildClass[] = "QtrMdiChild";
constexpr UINT kToolbarId = 0xE800;
constexpr UINT kStatusBarId = 0xE801;
constexpr UINT kViewToolbar = 0xE800;    // the frames' View menu toggles
constexpr UINT kViewStatusBar = 0xE801;
constexpr UINT kFirstChildId = 0xFF00;
constexpr int kPaneMargin = 8;

// A second registration fails with ERROR_CLASS_ALREADY_EXISTS, which is fine.
void RegisterOnce(HINSTANCE module, const char* name, WNDPROC procedure, HBRUSH background)
{
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    RegisterClassA(&windowClass);
}

// A bar's own visibility: the frame lays out while it is still hidden, when
// IsWindowVisible says no for every child.
bool BarShown(HWND bar)
{
    return (GetWindowLongPtrA(bar, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::string LoadText(HINSTANCE module, UINT id)
{
    char text[256] = "";
    const int length = LoadStringA(module, id, text, sizeof(text));
    return {text, length > 0 ? static_cast<size_t>(length) : 0};
}

template <class Target>
Target* Attached(HWND window, UINT message, LPARAM lParam, bool viaMdiCreate)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        LPARAM param = reinterpret_cast<LPARAM>(create->lpCreateParams);
        if (viaMdiCreate) {
            param = reinterpret_cast<const MDICREATESTRUCTA*>(create->lpCreateParams)->lParam;
        }
        auto* target = reinterpret_cast<Target*>(param);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(target));
        target->Attach(window);
        return target;
    }
    return reinterpret_cast<Target*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

}  // namespace

bool MdiFrame::Create(HINSTANCE module, UINT menuId, const std::string& title)
{
    module_ = module;
    // The client area and the bars cover the frame; it paints no background of its own.
    RegisterOnce(module, kFrameClass, Procedure, nullptr);
    HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(menuId));
    HWND window = CreateWindowExA(0, kFrameClass, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu, module, this);
    if (window == nullptr && menu != nullptr) {
        DestroyMenu(menu);
    }
    return window != nullptr;
}

LRESULT CALLBACK MdiFrame::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    MdiFrame* frame = Attached<MdiFrame>(window, message, lParam, false);
    if (frame == nullptr) {
        return DefFrameProcA(window, nullptr, message, wParam, lParam);
    }
    LRESULT result = 0;
    if (message != WM_NCDESTROY && frame->HandleMessage(message, wParam, lParam, result)) {
        // A command may change what the others can do; the frame may be gone after it.
        if (message == WM_COMMAND && GetWindowLongPtrA(window, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(frame)) {
            frame->UpdateToolbar();
        }
        return result;
    }
    result = DefFrameProcA(window, frame->client_, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        frame->Attach(nullptr);
        frame->client_ = nullptr;
        frame->OnFinalDestroy();
    }
    return result;
}

bool MdiFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_CREATE: {
        CLIENTCREATESTRUCT clientCreate{};
        clientCreate.idFirstChild = kFirstChildId;
        client_ = CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr,
                                  WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL | WS_VISIBLE, 0, 0, 0, 0,
                                  Handle(), nullptr, module_, &clientCreate);
        if (client_ == nullptr) {
            result = -1;
            return true;
        }
        OnCreate();
        RecalcLayout();
        result = 0;
        return true;
    }
    case WM_SIZE:
        // The bars and the client area share the frame; the default would give the client all of it.
        RecalcLayout();
        return true;
    case WM_COMMAND:
        return lParam == 0 && HandleBarCommand(LOWORD(wParam));
    case WM_INITMENUPOPUP:
        UpdateMenuItems(reinterpret_cast<HMENU>(wParam));
        return false;
    case kUpdateCommandUi:
        if (wParam != kViewToolbar && wParam != kViewStatusBar) {
            return false;
        }
        UpdateBarCommand(*reinterpret_cast<CommandUi*>(lParam));
        return true;
    case WM_MENUSELECT:
        ShowMenuText(LOWORD(wParam), HIWORD(wParam));
        return false;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code != TTN_GETDISPINFOA) {
            return false;
        }
        // A toolbar button's tip is its command's text.
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
        info->hinst = module_;
        info->lpszText = MAKEINTRESOURCEA(header->idFrom);
        return true;
    }
    default:
        return false;
    }
}

bool MdiFrame::HandleBarCommand(UINT command)
{
    HWND bar = command == kViewToolbar ? toolbar_ : command == kViewStatusBar ? statusBar_ : nullptr;
    if (bar == nullptr) {
        return false;
    }
    ShowWindow(bar, BarShown(bar) ? SW_HIDE : SW_SHOW);
    RecalcLayout();
    return true;
}

void MdiFrame::UpdateBarCommand(CommandUi& command) const
{
    HWND bar = command.Id() == kViewToolbar ? toolbar_ : statusBar_;
    command.Enable(bar != nullptr);
    command.SetCheck(bar != nullptr && BarShown(bar));
}

bool MdiFrame::AskCommand(CommandUi& command)
{
    LRESULT ignored = 0;
    return HandleMessage(kUpdateCommandUi, command.Id(), reinterpret_cast<LPARAM>(&command), ignored);
}

void MdiFrame::UpdateMenuItems(HMENU popup)
{
    const int count = GetMenuItemCount(popup);
    for (int position = 0; position < count; ++position) {
        const UINT id = GetMenuItemID(popup, position);
        if (id == 0 || id == static_cast<UINT>(-1)) {
            continue;  // a separator or a pop-up
        }
        CommandUi command(id);
        if (!AskCommand(command)) {
            continue;
        }
        EnableMenuItem(popup, id, MF_BYCOMMAND | (command.Enabled() ? MF_ENABLED : MF_GRAYED));
        CheckMenuItem(popup, id, MF_BYCOMMAND | (command.Checked() ? MF_CHECKED : MF_UNCHECKED));
    }
}

void MdiFrame::UpdateToolbar()
{
    if (toolbar_ == nullptr) {
        return;
    }
    const auto count = static_cast<int>(SendMessageA(toolbar_, TB_BUTTONCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        TBBUTTON button{};
        SendMessageA(toolbar_, TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&button));
        if (button.fsStyle & TBSTYLE_SEP) {
            continue;
        }
        const auto id = static_cast<UINT>(button.idCommand);
        CommandUi command(id);
        if (!AskCommand(command)) {
            continue;
        }
        // Only a change reaches the toolbar: an unchanged button is not repainted.
        if (((button.fsState & TBSTATE_ENABLED) != 0) != command.Enabled()) {
            SendMessageA(toolbar_, TB_ENABLEBUTTON, id, MAKELONG(command.Enabled() ? TRUE : FALSE, 0));
        }
        if (((button.fsState & TBSTATE_CHECKED) != 0) != command.Checked()) {
            SendMessageA(toolbar_, TB_CHECKBUTTON, id, MAKELONG(command.Checked() ? TRUE : FALSE, 0));
        }
    }
}

void MdiFrame::ShowMenuText(UINT item, UINT flags)
{
    if (statusBar_ == nullptr) {
        return;
    }
    const bool closed = flags == 0xFFFF;
    const bool command = !closed && (flags & (MF_POPUP | MF_SEPARATOR)) == 0;
    SetPaneText(0, command ? LoadText(module_, item) : std::string());
}

bool MdiFrame::CreateToolbar(UINT bitmapId, const std::vector<UINT>& commands, int imageSize)
{
    toolbar_ = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | CCS_TOP, 0, 0,
                               0, 0, Handle(), reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kToolbarId)), module_,
                               nullptr);
    if (toolbar_ == nullptr) {
        return false;
    }
    SendMessageA(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(toolbar_, TB_SETBITMAPSIZE, 0, MAKELONG(imageSize, imageSize));
    TBADDBITMAP bitmap{module_, bitmapId};
    SendMessageA(toolbar_, TB_ADDBITMAP, commands.size(), reinterpret_cast<LPARAM>(&bitmap));
    std::vector<TBBUTTON> buttons(commands.size());
    for (size_t i = 0; i < commands.size(); ++i) {
        buttons[i].iBitmap = static_cast<int>(i);
        buttons[i].idCommand = static_cast<int>(commands[i]);
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = TBSTYLE_BUTTON;
    }
    SendMessageA(toolbar_, TB_ADDBUTTONSA, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    SendMessageA(toolbar_, TB_AUTOSIZE, 0, 0);
    return true;
}

void MdiFrame::EnableButton(UINT command, bool enabled) const
{
    if (toolbar_ != nullptr) {
        SendMessageA(toolbar_, TB_ENABLEBUTTON, command, MAKELONG(enabled ? TRUE : FALSE, 0));
    }
}

bool MdiFrame::ButtonEnabled(UINT command) const
{
    return toolbar_ != nullptr && SendMessageA(toolbar_, TB_ISBUTTONENABLED, command, 0) != 0;
}

bool MdiFrame::CreateStatusBar(const std::vector<UINT>& paneTexts, const std::vector<int>& extraWidths)
{
    statusBar_ = CreateWindowExA(0, STATUSCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                                 Handle(), reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kStatusBarId)), module_,
                                 nullptr);
    if (statusBar_ == nullptr) {
        return false;
    }
    paneTexts_ = paneTexts;
    paneExtras_ = extraWidths;
    paneExtras_.resize(paneTexts_.size(), 0);
    LayoutPanes();
    for (size_t pane = 0; pane < paneTexts_.size(); ++pane) {
        if (paneTexts_[pane] != 0) {
            SetPaneText(static_cast<int>(pane), LoadText(module_, paneTexts_[pane]));
        }
    }
    return true;
}

// The first pane stretches; the others keep the width of their text, from the right edge.
void MdiFrame::LayoutPanes()
{
    RECT frame{};
    GetClientRect(statusBar_, &frame);
    HDC dc = GetDC(statusBar_);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(statusBar_, WM_GETFONT, 0, 0)));
    std::vector<int> rights(paneTexts_.size());
    int right = frame.right;
    for (size_t pane = paneTexts_.size(); pane-- > 1;) {
        rights[pane] = right;
        const std::string text = LoadText(module_, paneTexts_[pane]);
        SIZE extent{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        right -= extent.cx + kPaneMargin + paneExtras_[pane];
    }
    if (!rights.empty()) {
        rights[0] = right;
    }
    SelectObject(dc, old);
    ReleaseDC(statusBar_, dc);
    SendMessageA(statusBar_, SB_SETPARTS, rights.size(), reinterpret_cast<LPARAM>(rights.data()));
}

void MdiFrame::SetPaneText(int pane, const std::string& text) const
{
    if (statusBar_ != nullptr) {
        SendMessageA(statusBar_, SB_SETTEXTA, static_cast<WPARAM>(pane), reinterpret_cast<LPARAM>(text.c_str()));
    }
}

std::string MdiFrame::PaneText(int pane) const
{
    if (statusBar_ == nullptr) {
        return {};
    }
    char text[256] = "";
    const LRESULT length = SendMessageA(statusBar_, SB_GETTEXTLENGTHA, static_cast<WPARAM>(pane), 0);
    if (LOWORD(length) >= sizeof(text)) {
        return {};
    }
    SendMessageA(statusBar_, SB_GETTEXTA, static_cast<WPARAM>(pane), reinterpret_cast<LPARAM>(text));
    return text;
}

void MdiFrame::RecalcLayout()
{
    if (client_ == nullptr) {
        return;
    }
    RECT area{};
    GetClientRect(Handle(), &area);
    int top = 0;
    int bottom = area.bottom;
    if (toolbar_ != nullptr && BarShown(toolbar_)) {
        SendMessageA(toolbar_, TB_AUTOSIZE, 0, 0);
        RECT bar{};
        GetWindowRect(toolbar_, &bar);
        top = bar.bottom - bar.top;
    }
    if (statusBar_ != nullptr && BarShown(statusBar_)) {
        SendMessageA(statusBar_, WM_SIZE, 0, 0);
        LayoutPanes();
        RECT bar{};
        GetWindowRect(statusBar_, &bar);
        bottom -= bar.bottom - bar.top;
    }
    MoveWindow(client_, 0, top, area.right, bottom > top ? bottom - top : 0, TRUE);
}

MdiChild::~MdiChild()
{
    if (*this) {
        SetWindowLongPtrA(Handle(), GWLP_USERDATA, 0);
        HWND client = GetParent(Handle());
        SendMessageA(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(Handle()), 0);
    }
}

bool MdiChild::Create(const MdiFrame& frame, const std::string& title, DWORD style, const RECT& place)
{
    RegisterOnce(frame.Module(), kChildClass, Procedure, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    MDICREATESTRUCTA create{};
    create.szClass = kChildClass;
    create.szTitle = title.c_str();
    create.hOwner = frame.Module();
    create.x = place.left;
    create.y = place.top;
    create.cx = place.right - place.left;
    create.cy = place.bottom - place.top;
    create.style = style;
    create.lParam = reinterpret_cast<LPARAM>(this);
    return SendMessageA(frame.Client(), WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)) != 0;
}

LRESULT CALLBACK MdiChild::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    MdiChild* child = Attached<MdiChild>(window, message, lParam, true);
    if (child == nullptr) {
        return DefMDIChildProcA(window, message, wParam, lParam);
    }
    LRESULT result = 0;
    if (message == WM_CREATE) {
        child->OnCreate();
    } else if (message != WM_NCDESTROY && child->HandleMessage(message, wParam, lParam, result)) {
        return result;
    }
    result = DefMDIChildProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        child->Attach(nullptr);
        child->OnFinalDestroy();
    }
    return result;
}

bool MdiChild::HandleMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

}  // namespace fw
