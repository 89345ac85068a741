// The window system's shared state: classes, windows and the top-level
// z-order, guarded by one lock as user32 guards its own. Window procedures
// always run with the lock released.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ui/program.h"

namespace winsim::ui {

struct ThreadQueue;
struct DialogState;

struct WindowClass {
    std::string name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int clsExtra = 0;
    int wndExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HICON iconSmall = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    std::string menuName;
    bool system = false;
    Program* program = nullptr;  // the registering program; null for system classes
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<const WindowClass> cls;
    std::shared_ptr<ThreadQueue> queue;
    Program* program = nullptr;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string text;
    HWND parent = nullptr;
    HWND owner = nullptr;
    std::vector<HWND> children;  // creation order
    LONG_PTR id = 0;
    HINSTANCE instance = nullptr;
    LONG_PTR userData = 0;
    std::vector<BYTE> extra;
    RECT rect{};  // in the parent's client coordinates (screen for top-level windows)
    bool destroying = false;
    bool updatePending = false;
    bool erasePending = false;
    RECT updateRect{};
    bool reportedOpen = false;
    bool messageBox = false;  // reported as a message box, not as a window
    std::shared_ptr<DialogState> dialog;
    HMENU menu = nullptr;  // a top-level window's menu bar (a child's hMenu is its id)
    // SB_HORZ and SB_VERT; a standard scroll bar's range is 0 to 100 until set.
    SCROLLINFO scrollBars[2]{{sizeof(SCROLLINFO), 0, 0, 100, 0, 0, 0}, {sizeof(SCROLLINFO), 0, 0, 100, 0, 0, 0}};
    // A bar set by the program keeps its values while hidden, as one the
    // window was created with does.
    bool scrollBarSet[2]{false, false};
};

struct State {
    std::mutex lock;
    std::map<HWND, std::shared_ptr<Window>> windows;
    std::vector<HWND> topLevel;  // z-order, topmost first
    std::vector<std::shared_ptr<WindowClass>> classes;
    ULONG_PTR nextHandle = 0x10010;
    ATOM nextAtom = 0xC000;
    HWND foreground = nullptr;
};

State& Ui();

// Lock held.
Window* FindLocked(HWND hwnd);
bool IsTopLevel(const Window& window);
HWND TopLevelOf(HWND hwnd);  // lock held; the window itself for a top-level one
void BringToFrontLocked(HWND hwnd);
// SetWindowPos's z-order among the window's siblings (children of one parent,
// or the top-level windows): HWND_TOP, HWND_BOTTOM or after a sibling;
// HWND_TOPMOST and HWND_NOTOPMOST set or clear a top-level window's
// WS_EX_TOPMOST and bring it to the top. Lock held.
void PlaceInZOrderLocked(Window& window, HWND hwnd, HWND insertAfter);

// Reads one field of a window under the lock; false for a window that is gone.
template <typename Fn>
bool WithWindow(HWND hwnd, Fn&& fn)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hwnd);
    if (window == nullptr) return false;
    fn(*window);
    return true;
}

// The class a window of the calling thread's program would get: the
// program's own first, then the system's. Lock held.
std::shared_ptr<WindowClass> FindClassLocked(LPCSTR name);

// Every descendant of a window, depth first in creation order. Lock held.
void CollectDescendantsLocked(HWND hwnd, std::vector<HWND>* out);
bool IsDescendantLocked(HWND ancestor, HWND hwnd);

bool SameText(const std::string& a, const char* b);

// CreateWindowEx for every window but an MDI child, which the MDI client
// prepares first.
HWND CreateWindowAsGiven(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int cx, int cy,
                         HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);  // case-insensitive, as class names compare

}  // namespace winsim::ui
