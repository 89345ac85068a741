// The clipboard: one for the machine, opened by one thread at a time. The
// window that opened it becomes its owner at EmptyClipboard (the previous
// owner hears WM_DESTROYCLIPBOARD); data set on it is the clipboard's from
// then on and goes at the next EmptyClipboard. It holds enhanced metafiles
// (CF_ENHMETAFILE) and text in moveable global memory (CF_TEXT,
// CF_UNICODETEXT); when it closes, each of the two text formats it lacks is
// made from the other, as Windows synthesizes them.
#include <windows.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>

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
    std::set<UINT> synthesized;        // made at the last close, not set by a program
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

bool IsText(UINT format) { return format == CF_TEXT || format == CF_UNICODETEXT; }

void FreeLocked(UINT format, HANDLE data)
{
    if (format == CF_ENHMETAFILE) ReleaseClipboardMetafile(static_cast<HENHMETAFILE>(data));
    if (IsText(format)) GlobalFree(data);
}

bool IsGlobalBlock(HANDLE data)
{
    if (GlobalLock(data) == nullptr) return false;
    GlobalUnlock(data);
    return true;
}

bool AdoptLocked(UINT format, HANDLE data)
{
    if (data == nullptr) return false;
    if (format == CF_ENHMETAFILE) return AdoptMetafileForClipboard(static_cast<HENHMETAFILE>(data));
    if (IsText(format)) return IsGlobalBlock(data);
    return false;
}

// Code page 1252's characters 0x80..0x9F; the rest of its upper half is Latin-1.
constexpr char16_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t Widen(unsigned char c) { return c >= 0x80 && c < 0xA0 ? kWindows1252[c - 0x80] : c; }

// What has no character in code page 1252 becomes '?', as WideCharToMultiByte's default.
char Narrow(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (int i = 0; i < 32; ++i) {
        if (kWindows1252[i] == c) return static_cast<char>(0x80 + i);
    }
    return '?';
}

// The block's text up to its terminating zero (or its end).
template <typename Char>
std::basic_string<Char> TextOf(HANDLE data)
{
    const SIZE_T count = GlobalSize(data) / sizeof(Char);
    const auto* chars = static_cast<const Char*>(GlobalLock(data));
    std::basic_string<Char> text;
    for (SIZE_T i = 0; chars != nullptr && i < count && chars[i] != 0; ++i) text += chars[i];
    GlobalUnlock(data);
    return text;
}

template <typename Char>
HANDLE BlockOf(const std::basic_string<Char>& text)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(Char));
    auto* chars = static_cast<Char*>(GlobalLock(block));
    std::copy(text.begin(), text.end(), chars);
    chars[text.size()] = 0;
    GlobalUnlock(block);
    return block;
}

HANDLE Converted(UINT to, HANDLE from)
{
    if (to == CF_UNICODETEXT) {
        std::u16string wide;
        for (char c : TextOf<char>(from)) wide += Widen(static_cast<unsigned char>(c));
        return BlockOf(wide);
    }
    std::string narrow;
    for (char16_t c : TextOf<char16_t>(from)) narrow += Narrow(c);
    return BlockOf(narrow);
}

void SynthesizeLocked()
{
    for (auto [to, from] : {std::pair<UINT, UINT>{CF_UNICODETEXT, CF_TEXT}, {CF_TEXT, CF_UNICODETEXT}}) {
        auto source = Board().data.find(from);
        if (source == Board().data.end() || Board().data.count(to) != 0) continue;
        Board().data[to] = Converted(to, source->second);
        Board().synthesized.insert(to);
    }
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
    SynthesizeLocked();
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
        Board().synthesized.clear();
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
    if (Board().emptiedWithoutOwner || !AdoptLocked(uFormat, hMem)) {
        SetLastError(Board().emptiedWithoutOwner ? ERROR_CLIPBOARD_NOT_OPEN : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Text set now replaces what the last close made from older text.
    for (UINT text : {CF_TEXT, CF_UNICODETEXT}) {
        if (!IsText(uFormat) || Board().synthesized.erase(text) == 0) continue;
        FreeLocked(text, Board().data[text]);
        Board().data.erase(text);
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
