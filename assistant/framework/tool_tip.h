// A dialog's tool-tip control. Tools ask for their text when a tip shows; the
// text is the string resource whose id is the tool's control id.
#pragma once

#include <string>

#include "assistant/framework/window.h"

namespace fw {

class ToolTip : public Window {
public:
    // Created inactive, without prefix processing, 400 pixels wide at most,
    // popping down after 20 s.
    bool Create(HWND owner);
    void AddTool(HWND control) const;
    void Activate(bool active) const { Send(TTM_ACTIVATE, active ? TRUE : FALSE); }
    void Relay(const MSG& message) const;
    // Answers TTN_GETDISPINFO for one of this control's tools.
    void SupplyText(NMTTDISPINFOA& request, HINSTANCE strings);

private:
    HWND owner_ = nullptr;
    std::string text_;  // what the last request points at, until the next one
};

}  // namespace fw
