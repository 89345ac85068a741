// Window classes: the system classes (registered on first use) and the
// classes a program registers, which belong to that program.
#include <cstring>
#include <string>

#include "ui/controls/control_procs.h"
#include "ui/mdi/mdi_client.h"
#include "ui/window_system.h"

using namespace winsim::ui;

namespace winsim::ui {

namespace {

constexpr ATOM kDialogAtom = 0x8002;  // "#32770"

void AddSystemClass(const char* name, WNDPROC proc, int wndExtra, UINT style, ATOM atom = 0)
{
    auto cls = std::make_shared<WindowClass>();
    cls->name = name;
    cls->atom = atom != 0 ? atom : Ui().nextAtom++;
    cls->proc = proc;
    cls->wndExtra = wndExtra;
    cls->style = style | CS_GLOBALCLASS;
    cls->system = true;
    Ui().classes.push_back(std::move(cls));
}

LRESULT CALLBACK DialogClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefDlgProcA(hwnd, message, wParam, lParam);
}

void EnsureSystemClassesLocked()
{
    static bool registered = false;
    if (registered) return;
    registered = true;
    constexpr int kStatePointer = sizeof(void*);
    AddSystemClass("Button", ButtonProc, kStatePointer, CS_DBLCLKS | CS_PARENTDC);
    AddSystemClass("Static", StaticProc, kStatePointer, CS_DBLCLKS | CS_PARENTDC);
    AddSystemClass("Edit", EditProc, kStatePointer, CS_DBLCLKS | CS_PARENTDC);
    AddSystemClass("ListBox", ListBoxProc, kStatePointer, CS_DBLCLKS | CS_PARENTDC);
    AddSystemClass("ComboBox", ComboBoxProc, kStatePointer, CS_DBLCLKS | CS_PARENTDC);
    AddSystemClass("SysTabControl32", TabControlProc, kStatePointer, CS_DBLCLKS);
    AddSystemClass("SysTreeView32", TreeViewProc, kStatePointer, CS_DBLCLKS);
    AddSystemClass("msctls_progress32", ProgressProc, kStatePointer, 0);
    AddSystemClass("tooltips_class32", ToolTipProc, kStatePointer, CS_DBLCLKS | CS_SAVEBITS);
    AddSystemClass("MDIClient", MdiClientProc, kStatePointer, 0);
    AddSystemClass("ToolbarWindow32", ToolbarProc, kStatePointer, CS_DBLCLKS);
    AddSystemClass("msctls_statusbar32", StatusBarProc, kStatePointer, CS_DBLCLKS | CS_VREDRAW | CS_HREDRAW);
    AddSystemClass("#32770", DialogClassProc, DLGWINDOWEXTRA, CS_DBLCLKS | CS_SAVEBITS, kDialogAtom);
}

bool Matches(const WindowClass& cls, LPCSTR name)
{
    if (IS_INTRESOURCE(name)) return cls.atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
    return SameText(cls.name, name);
}

}  // namespace

std::shared_ptr<WindowClass> FindClassLocked(LPCSTR name)
{
    EnsureSystemClassesLocked();
    if (name == nullptr) return nullptr;
    Program* program = &CurrentProgram();
    for (auto& cls : Ui().classes) {
        if (!cls->system && cls->program == program && Matches(*cls, name)) return cls;
    }
    for (auto& cls : Ui().classes) {
        if (cls->system && Matches(*cls, name)) return cls;
    }
    return nullptr;
}

void UnregisterProgramClasses(Program& program)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    std::erase_if(Ui().classes, [&](const std::shared_ptr<WindowClass>& cls) { return cls->program == &program; });
}

}  // namespace winsim::ui

extern "C" {

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* lpWndClass)
{
    if (lpWndClass == nullptr || lpWndClass->cbSize != sizeof(WNDCLASSEXA) || lpWndClass->lpszClassName == nullptr ||
        lpWndClass->lpfnWndProc == nullptr || lpWndClass->cbWndExtra < 0 || lpWndClass->cbClsExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard<std::mutex> guard(Ui().lock);
    std::shared_ptr<WindowClass> existing = FindClassLocked(lpWndClass->lpszClassName);
    if (existing && !existing->system) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto cls = std::make_shared<WindowClass>();
    cls->name = IS_INTRESOURCE(lpWndClass->lpszClassName) ? "" : lpWndClass->lpszClassName;
    cls->atom = Ui().nextAtom++;
    cls->style = lpWndClass->style;
    cls->proc = lpWndClass->lpfnWndProc;
    cls->clsExtra = lpWndClass->cbClsExtra;
    cls->wndExtra = lpWndClass->cbWndExtra;
    cls->instance = lpWndClass->hInstance;
    cls->icon = lpWndClass->hIcon;
    cls->iconSmall = lpWndClass->hIconSm;
    cls->cursor = lpWndClass->hCursor;
    cls->background = lpWndClass->hbrBackground;
    if (lpWndClass->lpszMenuName != nullptr) {
        // An ordinal is kept as LoadMenuA also reads it: "#id".
        cls->menuName = IS_INTRESOURCE(lpWndClass->lpszMenuName)
                            ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(lpWndClass->lpszMenuName))
                            : std::string(lpWndClass->lpszMenuName);
    }
    cls->program = &CurrentProgram();
    Ui().classes.push_back(cls);
    return cls->atom;
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass)
{
    if (lpWndClass == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXA ex{};
    ex.cbSize = sizeof(ex);
    ex.style = lpWndClass->style;
    ex.lpfnWndProc = lpWndClass->lpfnWndProc;
    ex.cbClsExtra = lpWndClass->cbClsExtra;
    ex.cbWndExtra = lpWndClass->cbWndExtra;
    ex.hInstance = lpWndClass->hInstance;
    ex.hIcon = lpWndClass->hIcon;
    ex.hCursor = lpWndClass->hCursor;
    ex.hbrBackground = lpWndClass->hbrBackground;
    ex.lpszMenuName = lpWndClass->lpszMenuName;
    ex.lpszClassName = lpWndClass->lpszClassName;
    return RegisterClassExA(&ex);
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    std::shared_ptr<WindowClass> cls = FindClassLocked(lpClassName);
    if (!cls || cls->system) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    for (auto& [hwnd, window] : Ui().windows) {
        if (window->cls == cls) {
            SetLastError(ERROR_CLASS_HAS_WINDOWS);
            return FALSE;
        }
    }
    std::erase(Ui().classes, cls);
    return TRUE;
}

BOOL WINAPI GetClassInfoExA(HINSTANCE hInstance, LPCSTR lpszClass, LPWNDCLASSEXA lpwcx)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    std::shared_ptr<WindowClass> cls = FindClassLocked(lpszClass);
    if (!cls) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    lpwcx->style = cls->style;
    lpwcx->lpfnWndProc = cls->proc;
    lpwcx->cbClsExtra = cls->clsExtra;
    lpwcx->cbWndExtra = cls->wndExtra;
    lpwcx->hInstance = cls->instance;
    lpwcx->hIcon = cls->icon;
    lpwcx->hIconSm = cls->iconSmall;
    lpwcx->hCursor = cls->cursor;
    lpwcx->hbrBackground = cls->background;
    lpwcx->lpszMenuName = nullptr;
    lpwcx->lpszClassName = lpszClass;
    return static_cast<BOOL>(cls->atom);
}

BOOL WINAPI GetClassInfoA(HINSTANCE hInstance, LPCSTR lpClassName, LPWNDCLASSA lpWndClass)
{
    WNDCLASSEXA ex{};
    ex.cbSize = sizeof(ex);
    const BOOL found = GetClassInfoExA(hInstance, lpClassName, &ex);
    if (!found) return FALSE;
    *lpWndClass = WNDCLASSA{ex.style,   ex.lpfnWndProc, ex.cbClsExtra,     ex.cbWndExtra,     ex.hInstance,
                            ex.hIcon,   ex.hCursor,     ex.hbrBackground, ex.lpszMenuName, ex.lpszClassName};
    return found;
}

int WINAPI GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount)
{
    std::string name;
    if (!WithWindow(hWnd, [&](Window& window) { name = window.cls->name; })) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (lpClassName == nullptr || nMaxCount <= 0) return 0;
    const size_t count = std::min<size_t>(name.size(), static_cast<size_t>(nMaxCount - 1));
    std::memcpy(lpClassName, name.data(), count);
    lpClassName[count] = '\0';
    return static_cast<int>(count);
}

}  // extern "C"
