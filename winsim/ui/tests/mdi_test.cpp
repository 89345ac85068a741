// The multiple-document interface: children created through the client
// (default places, ids, styles), activation and z-order, cascade and tile
// rectangles, maximised and minimised children, the window menu, and the
// client's scroll bars over its children.
#include <map>
#include <string>
#include <vector>

#include "ui_test.h"

namespace winsim::ui::test {
namespace {

constexpr UINT kFirstChild = 0xFF00;

// "activate NAME from OLD" / "deactivate NAME to NEW" as the children hear WM_MDIACTIVATE.
std::vector<std::string> g_log;

std::string NameOf(HWND hwnd)
{
    char text[32] = "";
    if (hwnd != nullptr) GetWindowTextA(hwnd, text, sizeof(text));
    return hwnd == nullptr ? "none" : text;
}

LRESULT CALLBACK ChildProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MDIACTIVATE) {
        auto gaining = reinterpret_cast<HWND>(lParam);
        auto losing = reinterpret_cast<HWND>(wParam);
        g_log.push_back(gaining == hwnd ? "activate " + NameOf(hwnd) + " from " + NameOf(losing)
                                        : "deactivate " + NameOf(hwnd) + " to " + NameOf(gaining));
    }
    if (message == WM_CREATE) {
        // An MDI child's creation parameters are the MDICREATESTRUCT.
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        const auto* mdi = static_cast<const MDICREATESTRUCTA*>(create->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, mdi->lParam);
    }
    return DefMDIChildProcA(hwnd, message, wParam, lParam);
}

class MdiTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        g_log.clear();
        WNDCLASSEXA cls{};
        cls.cbSize = sizeof(cls);
        cls.lpfnWndProc = ChildProc;
        cls.lpszClassName = "Doc";
        RegisterClassExA(&cls);
        RegisterHandlerClass("Frame");
        windowMenu_ = CreatePopupMenu();
        AppendMenuA(windowMenu_, MF_STRING, 1, "&Cascade");
        HMENU bar = CreateMenu();
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(windowMenu_), "&Window");
        frame_ = CreateHandlerWindow("Frame", "frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 0,
                                     [this](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
                                         *result = DefFrameProcA(hwnd, client_, message, wParam, lParam);
                                         return true;
                                     });
        SetMenu(frame_, bar);
        CLIENTCREATESTRUCT create{windowMenu_, kFirstChild};
        client_ = CreateWindowExA(0, "MDICLIENT", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 500, 400, frame_, nullptr,
                                  nullptr, &create);
    }
    void TearDown() override
    {
        DestroyWindow(frame_);
        UiTest::TearDown();
    }

    HWND Child(const char* name, DWORD style = WS_VISIBLE, int x = CW_USEDEFAULT, int y = 0, int cx = CW_USEDEFAULT,
               int cy = 0)
    {
        MDICREATESTRUCTA create{"Doc", name, nullptr, x, y, cx, cy, style, 0};
        return reinterpret_cast<HWND>(SendMessageA(client_, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
    }
    HWND Active(BOOL* maximized = nullptr) const
    {
        return reinterpret_cast<HWND>(SendMessageA(client_, WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(maximized)));
    }
    static RECT InParent(HWND child)
    {
        RECT rect;
        GetWindowRect(child, &rect);
        POINT origin{0, 0};
        ClientToScreen(GetParent(child), &origin);
        OffsetRect(&rect, -origin.x, -origin.y);
        return rect;
    }
    std::string MenuText(int position) const
    {
        char text[64] = "";
        GetMenuStringA(windowMenu_, static_cast<UINT>(position), text, sizeof(text), MF_BYPOSITION);
        return text;
    }

    HWND frame_ = nullptr;
    HWND client_ = nullptr;
    HMENU windowMenu_ = nullptr;
};

void ExpectRect(const RECT& rect, LONG left, LONG top, LONG right, LONG bottom)
{
    EXPECT_EQ(rect.left, left);
    EXPECT_EQ(rect.top, top);
    EXPECT_EQ(rect.right, right);
    EXPECT_EQ(rect.bottom, bottom);
}

TEST_F(MdiTest, ChildrenGetTheClientsStylesIdsAndCascadePlaces)
{
    HWND a = Child("A");
    MDICREATESTRUCTA create{"Doc", "B", nullptr, 10, 20, 200, 100, WS_VISIBLE, 1234};
    HWND b = reinterpret_cast<HWND>(SendMessageA(client_, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
    HWND c = CreateWindowExA(WS_EX_MDICHILD, "Doc", "C", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, client_, nullptr, nullptr, reinterpret_cast<LPVOID>(99));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(GetParent(a), client_);
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(a, GWL_STYLE));
    EXPECT_EQ(style & (WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              static_cast<DWORD>(WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_EQ(GetWindowLongPtrA(b, GWLP_USERDATA), 1234);
    EXPECT_EQ(GetWindowLongPtrA(c, GWLP_USERDATA), 99);
    EXPECT_EQ(GetDlgCtrlID(a), static_cast<int>(kFirstChild));
    EXPECT_EQ(GetDlgCtrlID(c), static_cast<int>(kFirstChild + 2));
    // Steps of a caption and a frame less one; five fit in the 400-pixel client.
    const int step = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME) - 1;
    ExpectRect(InParent(a), 0, 0, 500 - 5 * step, 400 - 5 * step);
    ExpectRect(InParent(b), 10, 20, 210, 120);
    ExpectRect(InParent(c), 2 * step, 2 * step, 2 * step + 500 - 5 * step, 2 * step + 400 - 5 * step);

    SendMessageA(client_, WM_MDIDESTROY, reinterpret_cast<WPARAM>(b), 0);
    EXPECT_EQ(GetDlgCtrlID(c), static_cast<int>(kFirstChild + 1));  // ids stay contiguous
}

TEST_F(MdiTest, ActivationTellsBothChildrenAndWalksTheZOrder)
{
    HWND a = Child("A");
    HWND b = Child("B");
    HWND c = Child("C");
    EXPECT_EQ(Active(), c);
    EXPECT_EQ(g_log, (std::vector<std::string>{"activate A from none", "deactivate A to B", "activate B from A",
                                               "deactivate B to C", "activate C from B"}));
    g_log.clear();
    SendMessageA(client_, WM_MDINEXT, 0, 0);  // C sinks to the bottom: B, A, C
    EXPECT_EQ(Active(), b);
    SendMessageA(client_, WM_MDINEXT, 0, 0);  // A, C, B
    EXPECT_EQ(Active(), a);
    SendMessageA(client_, WM_MDINEXT, 0, 1);  // back to the bottom one: B
    EXPECT_EQ(Active(), b);
    EXPECT_EQ(g_log, (std::vector<std::string>{"deactivate C to B", "activate B from C", "deactivate B to A",
                                               "activate A from B", "deactivate A to B", "activate B from A"}));
    // Closing the active child activates the one behind it.
    g_log.clear();
    SendMessageA(b, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(b));
    EXPECT_EQ(Active(), a);
    EXPECT_EQ(g_log, (std::vector<std::string>{"deactivate B to A", "activate A from B"}));
    // A click into a child that is not active activates it.
    SendMessageA(c, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(frame_), 0);
    EXPECT_EQ(Active(), c);
    DestroyWindow(c);
    DestroyWindow(a);
    EXPECT_EQ(Active(), nullptr);
}

TEST_F(MdiTest, TheActiveChildIsOnTopOfItsSiblingsAndNextSinksTheOneLeft)
{
    HWND a = Child("A");
    HWND b = Child("B");
    HWND c = Child("C");
    EXPECT_EQ(GetWindow(client_, GW_CHILD), c);
    SendMessageA(client_, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(a), 0);
    EXPECT_EQ(GetWindow(client_, GW_CHILD), a);
    EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), c);
    SendMessageA(client_, WM_MDINEXT, 0, 0);  // to c, a goes to the bottom
    EXPECT_EQ(GetWindow(client_, GW_CHILD), c);
    EXPECT_EQ(GetWindow(c, GW_HWNDLAST), a);
    EXPECT_EQ(GetWindow(c, GW_HWNDNEXT), b);
}

TEST_F(MdiTest, CascadePutsTheActiveChildInFrontAndTileFirst)
{
    HWND a = Child("A", WS_VISIBLE, 5, 5, 50, 50);
    HWND b = Child("B", WS_VISIBLE, 5, 5, 50, 50);
    HWND c = Child("C", WS_VISIBLE, 5, 5, 50, 50);
    HWND hidden = Child("H", 0, 5, 5, 50, 50);
    EXPECT_TRUE(SendMessageA(client_, WM_MDICASCADE, 0, 0));
    const int step = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME) - 1;
    const int cx = 500 - 5 * step, cy = 400 - 5 * step;
    ExpectRect(InParent(a), 0, 0, cx, cy);
    ExpectRect(InParent(b), step, step, step + cx, step + cy);
    ExpectRect(InParent(c), 2 * step, 2 * step, 2 * step + cx, 2 * step + cy);
    ExpectRect(InParent(hidden), 5, 5, 55, 55);

    EXPECT_TRUE(SendMessageA(client_, WM_MDITILE, MDITILE_VERTICAL, 0));
    ExpectRect(InParent(c), 0, 0, 166, 400);
    ExpectRect(InParent(b), 166, 0, 332, 400);
    ExpectRect(InParent(a), 332, 0, 498, 400);
    EXPECT_TRUE(SendMessageA(client_, WM_MDITILE, MDITILE_HORIZONTAL, 0));
    ExpectRect(InParent(c), 0, 0, 500, 133);
    ExpectRect(InParent(b), 0, 133, 500, 266);
    ExpectRect(InParent(a), 0, 266, 500, 399);

    ShowWindow(hidden, SW_SHOW);  // four: two columns of two
    SendMessageA(client_, WM_MDITILE, MDITILE_VERTICAL, 0);
    ExpectRect(InParent(c), 0, 0, 250, 200);
    ExpectRect(InParent(b), 0, 200, 250, 400);
    ExpectRect(InParent(a), 250, 0, 500, 200);
    ExpectRect(InParent(hidden), 250, 200, 500, 400);
}

TEST_F(MdiTest, AMaximisedChildFillsTheClientAndPassesTheStateOn)
{
    HWND a = Child("A", WS_VISIBLE, 10, 10, 200, 150);
    HWND b = Child("B", WS_VISIBLE, 30, 30, 200, 150);
    SendMessageA(client_, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(b), 0);
    BOOL maximized = FALSE;
    EXPECT_EQ(Active(&maximized), b);
    EXPECT_TRUE(maximized);
    RECT client;
    GetClientRect(b, &client);
    ExpectRect(client, 0, 0, 500, 400);
    EXPECT_TRUE(GetWindowLongPtrA(b, GWL_STYLE) & WS_MAXIMIZE);

    SendMessageA(client_, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(a), 0);
    ExpectRect(InParent(b), 30, 30, 230, 180);  // restored
    GetClientRect(a, &client);
    ExpectRect(client, 0, 0, 500, 400);
    SendMessageA(a, WM_SYSCOMMAND, SC_RESTORE, 0);
    ExpectRect(InParent(a), 10, 10, 210, 160);
    EXPECT_EQ(Active(&maximized), a);
    EXPECT_FALSE(maximized);

    // Minimising the active child hands activation on; arrangements leave it be.
    SendMessageA(a, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(GetWindowLongPtrA(a, GWL_STYLE) & WS_MINIMIZE);
    EXPECT_EQ(Active(), b);
    const RECT icon = InParent(a);
    EXPECT_EQ(icon.bottom, 400);
    SendMessageA(client_, WM_MDITILE, MDITILE_VERTICAL, 0);
    ExpectRect(InParent(b), 0, 0, 500, 400);
    ExpectRect(InParent(a), icon.left, icon.top, icon.right, icon.bottom);
    SendMessageA(client_, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(a), 0);  // activation restores it
    ExpectRect(InParent(a), 10, 10, 210, 160);
}

TEST_F(MdiTest, TheWindowMenuListsTheChildrenAndPicksThem)
{
    HWND a = Child("Monitor Data");
    HWND b = Child("COM3");
    EXPECT_EQ(GetMenuItemCount(windowMenu_), 4);  // Cascade, separator, two children
    EXPECT_EQ(MenuText(2), "&1 Monitor Data");
    EXPECT_EQ(MenuText(3), "&2 COM3");
    EXPECT_EQ(GetMenuState(windowMenu_, kFirstChild + 1, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    SetWindowTextA(a, "COM4");
    EXPECT_EQ(MenuText(2), "&1 COM4");

    SendMessageA(frame_, WM_COMMAND, kFirstChild, 0);  // picked from the menu
    EXPECT_EQ(Active(), a);
    EXPECT_EQ(GetMenuState(windowMenu_, kFirstChild, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    DestroyWindow(a);
    EXPECT_EQ(MenuText(2), "&1 COM3");
    DestroyWindow(b);
    EXPECT_EQ(GetMenuItemCount(windowMenu_), 1);
}

// A key as the thread takes it from its queue, so GetKeyState sees it.
MSG TakeKey(HWND hwnd, UINT message, WPARAM key)
{
    PostMessageA(hwnd, message, key, 0);
    MSG msg{};
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    return msg;
}

TEST_F(MdiTest, ControlF6AndControlF4WorkTheChildrenFromTheKeyboard)
{
    HWND a = Child("A");
    HWND b = Child("B");
    MSG f6 = TakeKey(b, WM_KEYDOWN, VK_F6);
    EXPECT_FALSE(TranslateMDISysAccel(client_, &f6));  // without Ctrl it is the child's key
    TakeKey(b, WM_KEYDOWN, VK_CONTROL);
    f6 = TakeKey(b, WM_KEYDOWN, VK_F6);
    EXPECT_TRUE(TranslateMDISysAccel(client_, &f6));
    EXPECT_EQ(Active(), a);
    MSG letter = TakeKey(a, WM_KEYDOWN, 'X');
    EXPECT_FALSE(TranslateMDISysAccel(client_, &letter));
    MSG f4 = TakeKey(a, WM_KEYDOWN, VK_F4);
    EXPECT_TRUE(TranslateMDISysAccel(client_, &f4));
    EXPECT_FALSE(IsWindow(a));
    EXPECT_EQ(Active(), b);
    TakeKey(b, WM_KEYUP, VK_CONTROL);
}

TEST_F(MdiTest, TheFrameSizesItsClientAndTheWholeTreeGoesWithIt)
{
    Child("A");
    RECT frameClient;
    GetClientRect(frame_, &frameClient);
    MoveWindow(frame_, 0, 0, 700, 500, TRUE);
    GetClientRect(frame_, &frameClient);
    RECT client;
    GetClientRect(client_, &client);
    ExpectRect(client, 0, 0, frameClient.right, frameClient.bottom);
    const int64_t menus = program_->userObjects.load();
    DestroyWindow(frame_);
    frame_ = nullptr;
    EXPECT_EQ(program_->windows.load(), 0);
    EXPECT_EQ(program_->userObjects.load(), menus - 2);  // the bar and its window menu
}

void DispatchPosted()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

TEST_F(MdiTest, TheClientsBarsShowOnlyWhileAChildReachesOutsideAndScrollTheChildren)
{
    DestroyWindow(client_);
    CLIENTCREATESTRUCT create{windowMenu_, kFirstChild};
    client_ = CreateWindowExA(0, "MDICLIENT", nullptr, WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, 0, 0, 500,
                              400, frame_, nullptr, nullptr, &create);
    const auto shown = [this] { return GetWindowLongPtrA(client_, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL); };
    HWND a = Child("A", WS_VISIBLE, 10, 10, 200, 100);
    DispatchPosted();
    EXPECT_EQ(shown(), 0);  // the child fits

    MoveWindow(a, 10, 450, 200, 100, TRUE);  // half below the bottom
    EXPECT_EQ(shown(), 0);  // the update comes with the next message
    DispatchPosted();
    EXPECT_EQ(shown(), WS_VSCROLL);
    RECT client;
    GetClientRect(client_, &client);
    SCROLLINFO info{sizeof(info), SIF_ALL};
    ASSERT_TRUE(GetScrollInfo(client_, SB_VERT, &info));
    EXPECT_EQ(info.nMin, 0);
    EXPECT_EQ(info.nMax, 549);
    EXPECT_EQ(info.nPage, static_cast<UINT>(client.bottom));
    EXPECT_EQ(info.nPos, 0);

    // Scrolling moves the children; once all of them are in view the bar
    // has nothing left to scroll.
    const int line = GetSystemMetrics(SM_CYHSCROLL);
    SendMessageA(client_, WM_VSCROLL, SB_LINEDOWN, 0);
    DispatchPosted();
    ExpectRect(InParent(a), 10, 450 - line, 210, 550 - line);
    EXPECT_EQ(shown(), WS_VSCROLL);
    SendMessageA(client_, WM_VSCROLL, SB_BOTTOM, 0);
    DispatchPosted();
    ExpectRect(InParent(a), 10, client.bottom - 100, 210, client.bottom);
    EXPECT_EQ(shown(), 0);

    // A maximised child fills the client: no bars; restored, they return.
    MoveWindow(a, 10, 450, 200, 100, TRUE);
    DispatchPosted();
    SendMessageA(client_, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(a), 0);
    DispatchPosted();
    EXPECT_EQ(shown(), 0);
    SendMessageA(client_, WM_MDIRESTORE, reinterpret_cast<WPARAM>(a), 0);
    DispatchPosted();
    EXPECT_EQ(shown(), WS_VSCROLL);
    SendMessageA(client_, WM_MDIDESTROY, reinterpret_cast<WPARAM>(a), 0);
    DispatchPosted();
    EXPECT_EQ(shown(), 0);
}

}  // namespace
}  // namespace winsim::ui::test
