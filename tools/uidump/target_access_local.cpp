// winsim runs the observer in the observed program's process.
#include "target_access.h"

namespace uidump {

TargetBuffer::TargetBuffer(HWND window, size_t size) : window(window), bytes(size) {}

TargetBuffer::~TargetBuffer() = default;

LPARAM TargetBuffer::At(size_t offset) const { return reinterpret_cast<LPARAM>(bytes.data() + offset); }

LRESULT TargetBuffer::Send(UINT message, WPARAM wParam) { return SendMessageA(window, message, wParam, At(0)); }

std::string ListItemText(HWND control, bool combo, int index)
{
    const LRESULT length = SendMessageA(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, index, 0);
    if (length < 0) return "";
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(control, combo ? CB_GETLBTEXT : LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

SIZE DialogBaseUnits(HWND dialog)
{
    RECT box{0, 0, 4, 8};
    MapDialogRect(dialog, &box);
    return SIZE{box.right, box.bottom};
}

}  // namespace uidump
