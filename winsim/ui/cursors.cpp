// Cursors: the system's shared cursors (IDC_*), which are never destroyed,
// and the one a thread last set. Cursor resources of modules are not read:
// asking for one fails as for a cursor the module does not have.
#include <windows.h>

namespace {

constexpr ULONG_PTR kSystemCursorBase = 0x4000;
constexpr WORD kSystemCursors[] = {32512, 32513, 32514, 32515, 32516, 32642, 32643,
                                   32644, 32645, 32646, 32648, 32649, 32650};

thread_local HCURSOR t_current = nullptr;

}  // namespace

extern "C" {

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName)
{
    if (hInstance == nullptr && IS_INTRESOURCE(lpCursorName)) {
        const auto id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(lpCursorName));
        for (WORD system : kSystemCursors) {
            if (system == id) return reinterpret_cast<HCURSOR>(kSystemCursorBase + id);
        }
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor)
{
    HCURSOR previous = t_current;
    t_current = hCursor;
    return previous;
}

}  // extern "C"
