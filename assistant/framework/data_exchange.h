// Moves values between a dialog's controls and its members, one direction
// per pass: to the controls when the dialog opens, from them on request.
#pragma once

#include <initializer_list>

#include "assistant/framework/window.h"

namespace fw {

class DataExchange {
public:
    DataExchange(HWND dialog, bool fromControls) : dialog_(dialog), fromControls_(fromControls) {}

    bool FromControls() const { return fromControls_; }

    // Binds a wrapper to the control (in both directions).
    void Control(int id, Window& control) const { control.Attach(GetDlgItem(dialog_, id)); }
    // A check box as 0 or 1.
    void Check(int id, int& value) const;
    // A group of radio buttons as the position of the checked one in ids, -1 for none.
    void Radio(std::initializer_list<int> ids, int& position) const;

private:
    HWND dialog_;
    bool fromControls_;
};

}  // namespace fw
