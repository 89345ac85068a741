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

// What WNDCLASSA and WNDCLASSEXA both hold, from one to the other.
template <typename From, typename To>
void CopyClassFields(const From& from, To* to)
{
    to->style = from.style;
    to->lpfnWndProc = from.lpfnWndProc;
    to->cbClsExtra = from.cbClsExtra;
    to->cbWndExtra = from.cbWndExtra;
    to->hInstance = from.hInstance;
    to->hIcon = from.hIcon;
    to->hCursor = from.hCursor;
    to->hbrBackground = from.hbrBackground;
    to->lpszMenuName = from.lpszMenuName;
    to->lpszClassName = from.lpszClassName;
}

// Each field a class keeps with the WNDCLASSEXA field it comes from and is
// read back into, handed to `visit` as (kept, outside).
template <typename Class, typename Ex, typename Visit>
void PairClassFields(Class& cls, Ex& ex, Visit visit)
{
    visit(cls.style, ex.style);
    visit(cls.proc, ex.lpfnWndProc);
    visit(cls.clsExtra, ex.cbClsExtra);
    visit(cls.wndExtra, ex.cbWndExtra);
    visit(cls.instance, ex.hInstance);
    visit(cls.icon, ex.hIcon);
    visit(cls.iconSmall, ex.hIconSm);
    visit(cls.cursor, ex.hCursor);
    visit(cls.background, ex.hbrBackground);
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
    PairClassFields(*cls, *lpWndClass, [](auto& kept, const auto& given) { kept = given; });
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
    CopyClassFields(*lpWndClass, &ex);
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
    PairClassFields(*cls, *lpwcx, [](const auto& kept, auto& asked) { asked = kept; });
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
    CopyClassFields(ex, lpWndClass);
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
