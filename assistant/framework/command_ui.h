// The state of one command's menu item and toolbar button, as the command's
// update handler decides it. A frame asks each command before a menu opens
// and when it updates its toolbar; a command without an update handler keeps
// whatever state its item and button have.
#pragma once

#include "assistant/framework/win32.h"

namespace fw {

// Routed through the message maps with the command id as wParam and the
// CommandUi as lParam; the frame calls its handler directly, it is never
// sent to a window.
constexpr UINT kUpdateCommandUi = WM_USER + 0x3F0;

class CommandUi {
public:
    explicit CommandUi(UINT id) : id_(id) {}

    UINT Id() const { return id_; }
    void Enable(bool enabled) { enabled_ = enabled; }
    void SetCheck(bool checked) { checked_ = checked; }
    bool Enabled() const { return enabled_; }
    bool Checked() const { return checked_; }

private:
    UINT id_;
    bool enabled_ = true;
    bool checked_ = false;
};

}  // namespace fw
