// A control whose window procedure an object takes over: the object sees
// every message first, the control's own procedure gets the rest. Colour
// messages the parent dialog receives for it come back to it reflected.
#pragma once

#include "assistant/framework/window.h"

namespace fw {

// WM_CTLCOLOR* as the dialog passes it back to the control it concerns.
inline constexpr UINT kReflectedMessageBase = WM_USER + 0x1C00;

class SubclassedWindow : public Window {
public:
    SubclassedWindow() = default;
    virtual ~SubclassedWindow() { Release(); }
    SubclassedWindow(const SubclassedWindow&) = delete;
    SubclassedWindow& operator=(const SubclassedWindow&) = delete;

    bool SubclassDlgItem(HWND dialog, int id);
    // Gives the control its own procedure back.
    void Release();

protected:
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    virtual void OnReleased() {}
    LRESULT CallOriginal(UINT message, WPARAM wParam, LPARAM lParam) const
    {
        return CallWindowProcA(original_, Handle(), message, wParam, lParam);
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    WNDPROC original_ = nullptr;
};

}  // namespace fw
