// The clipboard: one for the machine, opened by one thread at a time. The
// window that opened it becomes its owner at EmptyClipboard (the previous
// owner hears WM_DESTROYCLIPBOARD); data set on it is the clipboard's from
// then on and goes at the next EmptyClipboard. It holds enhanced metafiles
// (CF_ENHMETAFILE); there is no global memory here for the other formats.
#include <windows.h>

#include <map>
#include <mutex>

#include "ui/gdi/metafiles.h"

using namespace winsim::ui;

namespace {

struct Clipboard {
    std::mutex lock;
    DWORD openThread = 0;  // 0: closed
    HWND openWindow = nullptr;
    HWND owner = nullptr;
    bool emptiedWithoutOwner = false;  // emptied by an opener that gave no window
    std::map<UINT, HANDLE> data;       // by format, in format order
};

Clipboard& Board()
{
    static Clipboard board;
    return board;
}

bool OpenedByCallerLocked()
{
    if (Board().openThread != 0 && Board().openThread == GetCurrentThreadId()) return true;
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return false;
}

void FreeLocked(UINT format, HANDLE data)
{
    if (format == CF_ENHMETAFILE) ReleaseClipboardMetafile(static_cast<HENHMETAFILE>(data));
}

}  // namespace

extern "C" {

BOOL WINAPI OpenClipboard(HWND hWndNewOwner)
{
    std::lock_guard<std::mutex> guard(Board().lock);
    const DWORD thread = GetCurrentThreadId();
    if (Board().openThread != 0 && Board().openThread != thread) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    Board().openThread = thread;
    Board().openWindow = hWndNewOwner;
    Board().emptiedWithoutOwner = false;
    return TRUE;
}

BOOL WINAPI CloseClipboard(void)
{
    std::lock_guard<std::mutex> guard(Board().lock);
    if (!OpenedByCallerLocked()) return FALSE;
    Board().openThread = 0;
    Board().openWindow = nullptr;
    return TRUE;
}

BOOL WINAPI EmptyClipboard(void)
{
    HWND previous;
    {
        std::lock_guard<std::mutex> guard(Board().lock);
        if (!OpenedByCallerLocked()) return FALSE;
        for (auto& [format, data] : Board().data) FreeLocked(format, data);
        Board().data.clear();
        previous = Board().owner;
        Board().owner = Board().openWindow;
        Board().emptiedWithoutOwner = Board().openWindow == nullptr;
    }
    if (previous != nullptr && IsWindow(previous)) SendMessageA(previous, WM_DESTROYCLIPBOARD, 0, 0);
    return TRUE;
}

// Only the thread that opened the clipboard sets data, and not after it
// emptied the clipboard without naming an owner.
HANDLE WINAPI SetClipboardData(UINT uFormat, HANDLE hMem)
{
    std::lock_guard<std::mutex> guard(Board().lock);
    if (!OpenedByCallerLocked()) return nullptr;
    if (Board().emptiedWithoutOwner || uFormat != CF_ENHMETAFILE || hMem == nullptr ||
        !AdoptMetafileForClipboard(static_cast<HENHMETAFILE>(hMem))) {
        SetLastError(Board().emptiedWithoutOwner ? ERROR_CLIPBOARD_NOT_OPEN : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto it = Board().data.find(uFormat);
    if (it != Board().data.end() && it->second != hMem) FreeLocked(uFormat, it->second);
    Board().data[uFormat] = hMem;
    return hMem;
}

HANDLE WINAPI GetClipboardData(UINT uFormat)
{
    std::lock_guard<std::mutex> guard(Board().lock);
    if (!OpenedByCallerLocked()) return nullptr;
    auto it = Board().data.find(uFormat);
    return it == Board().data.end() ? nullptr : it->second;
}

BOOL WINAPI IsClipboardFormatAvailable(UINT format)
{
    std::lock_guard<std::mutex> guard(Board().lock);
    return Board().data.count(format) != 0;
}

int WINAPI CountClipboardFormats(void)
{
    std::lock_guard<std::mutex> guard(Board().lock);
    return static_cast<int>(Board().data.size());
}

UINT WINAPI EnumClipboardFormats(UINT format)
{
    std::lock_guard<std::mutex> guard(Board().lock);
    if (!OpenedByCallerLocked()) return 0;
    SetLastError(ERROR_SUCCESS);
    auto it = Board().data.upper_bound(format);
    return it == Board().data.end() ? 0 : it->first;
}

HWND WINAPI GetClipboardOwner(void)
{
    std::lock_guard<std::mutex> guard(Board().lock);
    return Board().owner;
}

HWND WINAPI GetOpenClipboardWindow(void)
{
    std::lock_guard<std::mutex> guard(Board().lock);
    return Board().openWindow;
}

}  // extern "C"
