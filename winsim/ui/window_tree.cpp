// Parents, owners, children and enumeration. Enumerations take a snapshot
// and call back with the lock released; a window destroyed meanwhile is
// skipped.
#include <algorithm>

#include "ui/message_queue.h"
#include "ui/window_system.h"

using namespace winsim::ui;

namespace {

const HWND kDesktop = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x10000));

bool Enumerate(const std::vector<HWND>& snapshot, WNDENUMPROC proc, LPARAM lParam)
{
    for (HWND hwnd : snapshot) {
        if (!IsWindow(hwnd)) continue;
        if (!proc(hwnd, lParam)) return false;
    }
    return true;
}

// Siblings in order: a child's parent's children, or the top-level z-order.
std::vector<HWND> SiblingsLocked(const Window& window)
{
    if (IsTopLevel(window)) return Ui().topLevel;
    Window* parent = FindLocked(window.parent);
    return parent != nullptr ? parent->children : std::vector<HWND>{};
}

}  // namespace

extern "C" {

HWND WINAPI GetDesktopWindow(void) { return kDesktop; }

HWND WINAPI GetParent(HWND hWnd)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hWnd);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (!IsTopLevel(*window)) return window->parent;
    return (window->style & WS_POPUP) ? window->owner : nullptr;
}

HWND WINAPI SetParent(HWND hWndChild, HWND hWndNewParent)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hWndChild);
    Window* parent = FindLocked(hWndNewParent);
    if (window == nullptr || parent == nullptr || IsTopLevel(*window)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HWND old = window->parent;
    if (Window* oldParent = FindLocked(old)) std::erase(oldParent->children, hWndChild);
    window->parent = hWndNewParent;
    parent->children.push_back(hWndChild);
    return old;
}

HWND WINAPI GetWindow(HWND hWnd, UINT uCmd)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hWnd);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    switch (uCmd) {
    case GW_CHILD:
        return window->children.empty() ? nullptr : window->children.front();
    case GW_OWNER:
        return IsTopLevel(*window) ? window->owner : nullptr;
    case GW_HWNDFIRST:
    case GW_HWNDLAST:
    case GW_HWNDNEXT:
    case GW_HWNDPREV: {
        std::vector<HWND> siblings = SiblingsLocked(*window);
        if (siblings.empty()) return nullptr;
        if (uCmd == GW_HWNDFIRST) return siblings.front();
        if (uCmd == GW_HWNDLAST) return siblings.back();
        auto it = std::find(siblings.begin(), siblings.end(), hWnd);
        if (it == siblings.end()) return nullptr;
        if (uCmd == GW_HWNDNEXT) return it + 1 == siblings.end() ? nullptr : *(it + 1);
        return it == siblings.begin() ? nullptr : *(it - 1);
    }
    case GW_ENABLEDPOPUP:
        for (HWND top : Ui().topLevel) {
            Window* other = FindLocked(top);
            if (other != nullptr && other->owner == hWnd && (other->style & WS_VISIBLE) &&
                !(other->style & WS_DISABLED)) {
                return top;
            }
        }
        return nullptr;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

HWND WINAPI GetAncestor(HWND hwnd, UINT gaFlags)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hwnd);
    if (window == nullptr) return nullptr;
    switch (gaFlags) {
    case GA_PARENT:
        return IsTopLevel(*window) ? kDesktop : window->parent;
    case GA_ROOT:
        return TopLevelOf(hwnd);
    case GA_ROOTOWNER: {
        HWND root = TopLevelOf(hwnd);
        for (Window* w = FindLocked(root); w != nullptr && w->owner != nullptr; w = FindLocked(w->owner)) {
            root = w->owner;
        }
        return root;
    }
    default:
        return nullptr;
    }
}

BOOL WINAPI IsChild(HWND hWndParent, HWND hWnd)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    return IsDescendantLocked(hWndParent, hWnd) ? TRUE : FALSE;
}

BOOL WINAPI EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam)
{
    std::vector<HWND> snapshot;
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        if (hWndParent == nullptr || hWndParent == kDesktop) {
            snapshot = Ui().topLevel;
        } else {
            CollectDescendantsLocked(hWndParent, &snapshot);
        }
    }
    return Enumerate(snapshot, lpEnumFunc, lParam) ? TRUE : FALSE;
}

BOOL WINAPI EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam)
{
    std::vector<HWND> snapshot;
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        snapshot = Ui().topLevel;
    }
    return Enumerate(snapshot, lpEnumFunc, lParam) ? TRUE : FALSE;
}

BOOL WINAPI EnumThreadWindows(DWORD dwThreadId, WNDENUMPROC lpfn, LPARAM lParam)
{
    std::vector<HWND> snapshot;
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        for (HWND top : Ui().topLevel) {
            if (FindLocked(top)->queue->threadId == dwThreadId) snapshot.push_back(top);
        }
    }
    return Enumerate(snapshot, lpfn, lParam) ? TRUE : FALSE;
}

HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    for (HWND top : Ui().topLevel) {
        Window* window = FindLocked(top);
        if (window->destroying) continue;
        if (lpClassName != nullptr) {
            bool match = IS_INTRESOURCE(lpClassName)
                             ? window->cls->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(lpClassName))
                             : SameText(window->cls->name, lpClassName);
            if (!match) continue;
        }
        if (lpWindowName != nullptr && window->text != lpWindowName) continue;
        return top;
    }
    return nullptr;
}

DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hWnd);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (lpdwProcessId != nullptr) *lpdwProcessId = window->program->id;
    return window->queue->threadId;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* dialog = FindLocked(hDlg);
    if (dialog == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND child : dialog->children) {
        if (static_cast<int>(FindLocked(child)->id) == nIDDlgItem) return child;
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND hWnd)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hWnd);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return static_cast<int>(window->id);
}

}  // extern "C"
