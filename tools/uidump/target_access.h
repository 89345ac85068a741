// Reading the target program's windows where that differs between its
// being another process (Windows) and this one (winsim).
//
// Memory for the pointers in a common control's messages. User32 copies the
// buffers of the standard controls' messages (WM_GETTEXT, LB_GETTEXT, ...)
// into another process, but not those of comctl32's controls: a tool reading
// another program's tab, tree, toolbar or status bar must put the structure
// into that program's address space. In one process it is plain memory.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace uidump {

class TargetBuffer {
public:
    TargetBuffer(HWND window, size_t size);
    ~TargetBuffer();
    TargetBuffer(const TargetBuffer&) = delete;
    TargetBuffer& operator=(const TargetBuffer&) = delete;

    // The local copy: filled before Send, read after it.
    template <typename T>
    T* As(size_t offset = 0)
    {
        return reinterpret_cast<T*>(bytes.data() + offset);
    }
    // Where byte `offset` is as the window's process sees it.
    LPARAM At(size_t offset) const;
    // Copies the local bytes over, sends the message with lParam At(0) and
    // copies them back.
    LRESULT Send(UINT message, WPARAM wParam);

private:
    HWND window;
    std::vector<BYTE> bytes;
    // The remote access's alone; winsim's local one leaves them unused.
    [[maybe_unused]] HANDLE process = nullptr;  // null while the window is this process's own
    [[maybe_unused]] void* remote = nullptr;
};

// The text of a list box's or combo box's item. Wine's user32 hands the
// ANSI forms of these messages to another process's (Unicode) control
// without converting the text, so across processes the wide forms are read.
std::string ListItemText(HWND control, bool combo, int index);

// A dialog's base units in pixels: 4 horizontal and 8 vertical dialog units.
// Wine's MapDialogRect knows only its own process's dialogs, so for another
// process's dialog they are worked out from its font as the dialog manager
// does: the average width of the 52 letters and the font's height.
SIZE DialogBaseUnits(HWND dialog);

}  // namespace uidump
