// Windows and their messages: the order of creation and destruction, text,
// subclassing, enumeration and z-order, focus and enabling.
#include <string>

#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using WindowMessagesTest = UiTest;

std::string Name(UINT message)
{
    switch (message) {
    case WM_NCCREATE: return "WM_NCCREATE";
    case WM_CREATE: return "WM_CREATE";
    case WM_SIZE: return "WM_SIZE";
    case WM_MOVE: return "WM_MOVE";
    case WM_PARENTNOTIFY: return "WM_PARENTNOTIFY";
    case WM_DESTROY: return "WM_DESTROY";
    case WM_NCDESTROY: return "WM_NCDESTROY";
    case WM_SETFOCUS: return "WM_SETFOCUS";
    case WM_KILLFOCUS: return "WM_KILLFOCUS";
    case WM_ENABLE: return "WM_ENABLE";
    case WM_SHOWWINDOW: return "WM_SHOWWINDOW";
    case WM_ACTIVATE: return "WM_ACTIVATE";
    default: return "";
    }
}

Handler Logging(MessageLog* log, const std::string& who)
{
    return [log, who](HWND, UINT message, WPARAM, LPARAM, LRESULT*) {
        if (!Name(message).empty()) log->Add(who + " " + Name(message));
        return false;
    };
}

TEST_F(WindowMessagesTest, CreationAndDestructionFollowWindowsOrder)
{
    RegisterHandlerClass("Logged");
    MessageLog log;
    HWND parent = CreateHandlerWindow("Logged", "parent", WS_OVERLAPPEDWINDOW, nullptr, 0, Logging(&log, "parent"));
    HWND child = CreateHandlerWindow("Logged", "child", WS_CHILD, parent, 7, Logging(&log, "child"));
    HWND grandchild = CreateHandlerWindow("Logged", "grandchild", WS_CHILD, child, 8, Logging(&log, "grandchild"));
    ASSERT_NE(grandchild, nullptr);
    const std::vector<std::string> created{"child WM_NCCREATE", "child WM_CREATE", "child WM_SIZE", "child WM_MOVE",
                                           "parent WM_PARENTNOTIFY"};
    const int first = log.IndexOf("child WM_NCCREATE");
    ASSERT_GE(first, 0);
    for (size_t i = 0; i < created.size(); ++i) EXPECT_EQ(log.lines[first + i], created[i]);

    log.lines.clear();
    EXPECT_TRUE(DestroyWindow(parent));
    const std::vector<std::string> destroyed{"parent WM_DESTROY", "child WM_DESTROY", "grandchild WM_DESTROY",
                                             "grandchild WM_NCDESTROY", "child WM_NCDESTROY",
                                             "parent WM_NCDESTROY"};
    EXPECT_EQ(log.lines, destroyed);
    EXPECT_FALSE(IsWindow(child));
}

TEST_F(WindowMessagesTest, OwnedWindowsAreDestroyedBeforeTheirOwner)
{
    RegisterHandlerClass("Logged");
    MessageLog log;
    HWND owner = CreateHandlerWindow("Logged", "owner", WS_OVERLAPPED, nullptr, 0, Logging(&log, "owner"));
    HWND owned = CreateHandlerWindow("Logged", "owned", WS_POPUP, owner, 0, Logging(&log, "owned"));
    EXPECT_EQ(GetWindow(owned, GW_OWNER), owner);
    EXPECT_EQ(GetParent(owned), owner);
    log.lines.clear();
    DestroyWindow(owner);
    EXPECT_LT(log.IndexOf("owned WM_NCDESTROY"), log.IndexOf("owner WM_DESTROY"));
    EXPECT_FALSE(IsWindow(owned));
}

TEST_F(WindowMessagesTest, CreateFailsWhenCreateRefusesAndTheWindowIsGone)
{
    RegisterHandlerClass("Refusing");
    MessageLog log;
    HWND hwnd = CreateHandlerWindow("Refusing", "x", WS_OVERLAPPED, nullptr, 0,
                                    [&](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
                                        if (!Name(message).empty()) log.Add(Name(message));
                                        if (message != WM_CREATE) return false;
                                        *result = -1;
                                        return true;
                                    });
    EXPECT_EQ(hwnd, nullptr);
    EXPECT_TRUE(log.Contains("WM_DESTROY"));
    EXPECT_TRUE(log.Contains("WM_NCDESTROY"));
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(WindowMessagesTest, TextGoesThroughSetTextAndAnotherThreadReadsWhatTheWindowKeeps)
{
    RegisterHandlerClass("Texted");
    HWND hwnd = CreateHandlerWindow("Texted", "first", WS_OVERLAPPED, nullptr, 0, nullptr);
    char text[32];
    EXPECT_EQ(GetWindowTextA(hwnd, text, sizeof(text)), 5);
    EXPECT_STREQ(text, "first");
    EXPECT_TRUE(SetWindowTextA(hwnd, "second value"));
    EXPECT_EQ(GetWindowTextLengthA(hwnd), 12);
    EXPECT_EQ(GetWindowTextA(hwnd, text, 7), 6);
    EXPECT_STREQ(text, "second");

    std::string seen;
    Thread reader = Scheduler::Instance().Spawn("reader", [&] {
        char buffer[32];
        GetWindowTextA(hwnd, buffer, sizeof(buffer));
        seen = buffer;
    });
    reader.Join();
    EXPECT_EQ(seen, "second value");
    EXPECT_EQ(program_->setWindowText.load(), 1u);
    DestroyWindow(hwnd);
}

LRESULT CALLBACK Upcase(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
WNDPROC g_previous = nullptr;

LRESULT CALLBACK Upcase(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT) {
        std::string text = reinterpret_cast<const char*>(lParam);
        for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return CallWindowProcA(g_previous, hwnd, message, wParam, reinterpret_cast<LPARAM>(text.c_str()));
    }
    return CallWindowProcA(g_previous, hwnd, message, wParam, lParam);
}

TEST_F(WindowMessagesTest, SubclassingReplacesTheProcedureAndChainsToTheOldOne)
{
    HWND button = CreateWindowExA(0, "Button", "ok", WS_CHILD | BS_PUSHBUTTON, 0, 0, 10, 10,
                                  CreateWindowExA(0, "Static", "host", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                                  nullptr, nullptr),
                                  reinterpret_cast<HMENU>(5), nullptr, nullptr);
    HWND host = GetParent(button);
    g_previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Upcase)));
    ASSERT_NE(g_previous, nullptr);
    SetWindowTextA(button, "apply");
    char text[16];
    GetWindowTextA(button, text, sizeof(text));
    EXPECT_STREQ(text, "APPLY");
    EXPECT_EQ(SetWindowLongPtrA(button, GWLP_USERDATA, 42), 0);
    EXPECT_EQ(GetWindowLongPtrA(button, GWLP_USERDATA), 42);
    EXPECT_EQ(GetDlgCtrlID(button), 5);
    EXPECT_EQ(GetDlgItem(host, 5), button);
    char name[16];
    EXPECT_EQ(GetClassNameA(button, name, sizeof(name)), 6);
    EXPECT_STREQ(name, "Button");
    DestroyWindow(host);
}

TEST_F(WindowMessagesTest, EnumChildWindowsGoesDepthFirstInCreationOrder)
{
    RegisterHandlerClass("Plain");
    HWND top = CreateHandlerWindow("Plain", "top", WS_OVERLAPPED, nullptr, 0, nullptr);
    HWND a = CreateHandlerWindow("Plain", "a", WS_CHILD, top, 1, nullptr);
    HWND b = CreateHandlerWindow("Plain", "b", WS_CHILD, top, 2, nullptr);
    HWND a1 = CreateHandlerWindow("Plain", "a1", WS_CHILD, a, 3, nullptr);
    std::vector<HWND> seen;
    EnumChildWindows(
        top,
        [](HWND hwnd, LPARAM lParam) {
            reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&seen));
    EXPECT_EQ(seen, (std::vector<HWND>{a, a1, b}));
    EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
    EXPECT_EQ(GetWindow(top, GW_CHILD), a);
    EXPECT_TRUE(IsChild(top, a1));
    DestroyWindow(top);
}

TEST_F(WindowMessagesTest, SetWindowPosAndBringWindowToTopOrderSiblingsAndEnumerationFollows)
{
    RegisterHandlerClass("Plain");
    HWND top = CreateHandlerWindow("Plain", "top", WS_OVERLAPPED, nullptr, 0, nullptr);
    HWND a = CreateHandlerWindow("Plain", "a", WS_CHILD, top, 1, nullptr);
    HWND b = CreateHandlerWindow("Plain", "b", WS_CHILD, top, 2, nullptr);
    HWND c = CreateHandlerWindow("Plain", "c", WS_CHILD, top, 3, nullptr);
    const auto order = [top] {
        std::vector<HWND> seen;
        for (HWND child = GetWindow(top, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
            seen.push_back(child);
        return seen;
    };
    ASSERT_EQ(order(), (std::vector<HWND>{a, b, c}));  // a new child goes below its siblings
    EXPECT_TRUE(SetWindowPos(c, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_EQ(order(), (std::vector<HWND>{c, a, b}));
    EXPECT_TRUE(SetWindowPos(c, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_EQ(order(), (std::vector<HWND>{a, b, c}));
    EXPECT_TRUE(SetWindowPos(a, b, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));  // after b
    EXPECT_EQ(order(), (std::vector<HWND>{b, a, c}));
    EXPECT_TRUE(SetWindowPos(a, nullptr, 5, 5, 10, 10, SWP_NOZORDER));
    EXPECT_EQ(order(), (std::vector<HWND>{b, a, c}));
    EXPECT_TRUE(BringWindowToTop(c));
    EXPECT_EQ(order(), (std::vector<HWND>{c, b, a}));
    EXPECT_EQ(GetWindow(c, GW_HWNDLAST), a);
    DestroyWindow(top);
}

TEST_F(WindowMessagesTest, FocusMovesWithKillFocusBeforeSetFocusAndDisablingDropsIt)
{
    RegisterHandlerClass("Logged");
    MessageLog log;
    HWND top = CreateHandlerWindow("Logged", "top", WS_OVERLAPPED | WS_VISIBLE, nullptr, 0, Logging(&log, "top"));
    HWND one = CreateHandlerWindow("Logged", "one", WS_CHILD | WS_VISIBLE, top, 1, Logging(&log, "one"));
    HWND two = CreateHandlerWindow("Logged", "two", WS_CHILD | WS_VISIBLE, top, 2, Logging(&log, "two"));
    EXPECT_EQ(GetActiveWindow(), top);
    SetFocus(one);
    log.lines.clear();
    EXPECT_EQ(SetFocus(two), one);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"one WM_KILLFOCUS", "two WM_SETFOCUS"}));
    EXPECT_EQ(GetFocus(), two);

    log.lines.clear();
    EXPECT_FALSE(EnableWindow(two, FALSE));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"two WM_KILLFOCUS", "two WM_ENABLE"}));
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_FALSE(IsWindowEnabled(two));
    EXPECT_EQ(SetFocus(two), nullptr);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_TRUE(EnableWindow(two, TRUE));
    EXPECT_TRUE(IsWindowVisible(two));
    ShowWindow(top, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(two));
    DestroyWindow(top);
}

TEST_F(WindowMessagesTest, ClassInfoIsThatOfTheProgramsClassOrTheSystems)
{
    RegisterHandlerClass("Described");
    WNDCLASSA info{};
    EXPECT_NE(GetClassInfoA(nullptr, "described", &info), FALSE);
    EXPECT_NE(info.lpfnWndProc, nullptr);
    EXPECT_STREQ(info.lpszClassName, "described");
    EXPECT_NE(GetClassInfoA(nullptr, "MDICLIENT", &info), FALSE);
    EXPECT_EQ(GetClassInfoA(nullptr, "Nowhere", &info), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));
}

}  // namespace
}  // namespace winsim::ui::test
