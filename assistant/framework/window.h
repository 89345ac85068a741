// A borrowed window handle with the handful of calls every control and dialog
// needs. It owns nothing: the window's parent destroys it.
#pragma once

#include <string>

#include "assistant/framework/win32.h"

namespace fw {

class Window {
public:
    Window() = default;
    explicit Window(HWND handle) : handle_(handle) {}

    HWND Handle() const { return handle_; }
    void Attach(HWND handle) { handle_ = handle; }
    explicit operator bool() const { return handle_ != nullptr; }

    Window Item(int id) const { return Window(GetDlgItem(handle_, id)); }
    int Id() const { return GetDlgCtrlID(handle_); }

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return SendMessageA(handle_, message, wParam, lParam);
    }

    void Show(bool visible) const { ShowWindow(handle_, visible ? SW_SHOW : SW_HIDE); }
    bool Visible() const { return IsWindowVisible(handle_) != FALSE; }
    void Enable(bool enabled) const { EnableWindow(handle_, enabled ? TRUE : FALSE); }
    bool Enabled() const { return IsWindowEnabled(handle_) != FALSE; }

    void SetText(const std::string& text) const { SetWindowTextA(handle_, text.c_str()); }
    std::string Text() const;

    // Check boxes and radio buttons.
    void SetChecked(bool checked) const { Send(BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED); }
    bool Checked() const { return Send(BM_GETCHECK) == BST_CHECKED; }

    // Static controls with SS_ICON.
    void SetIcon(HICON icon) const { Send(STM_SETICON, reinterpret_cast<WPARAM>(icon)); }

private:
    HWND handle_ = nullptr;
};

}  // namespace fw
