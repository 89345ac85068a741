#include "assistant/framework/subclassed_window.h"

namespace fw {

bool SubclassedWindow::SubclassDlgItem(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr || original_ != nullptr) {
        return false;
    }
    Attach(control);
    SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassedWindow::Procedure)));
    return true;
}

void SubclassedWindow::Release()
{
    if (original_ == nullptr) {
        return;
    }
    SetWindowLongPtrA(Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    SetWindowLongPtrA(Handle(), GWLP_USERDATA, 0);
    original_ = nullptr;
    OnReleased();
    Attach(nullptr);
}

LRESULT CALLBACK SubclassedWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<SubclassedWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // The last message: the control gets its procedure back before it goes.
        const WNDPROC original = self->original_;
        self->Release();
        return CallWindowProcA(original, window, message, wParam, lParam);
    }
    LRESULT result = 0;
    if (self->HandleMessage(message, wParam, lParam, result)) {
        return result;
    }
    return self->CallOriginal(message, wParam, lParam);
}

}  // namespace fw
