// A dialog of the Assistant: its messages go through its class's message map
// first and then to the framework's dialog. The class names this template its
// friend, so that the template reaches its private map.
#pragma once

#include <span>

#include "assistant/framework/dialog.h"

namespace assistant {

template <class Derived>
class MappedDialog : public fw::Dialog {
protected:
    using fw::Dialog::Dialog;

    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        return Derived::Messages().Dispatch(static_cast<Derived&>(*this), message, wParam, lParam, result) ||
               fw::Dialog::HandleMessage(message, wParam, lParam, result);
    }

    // The dialog's tool tips over these controls.
    void CreateToolTipsFor(std::span<const int> controls)
    {
        CreateToolTips();
        for (int id : controls) {
            AddToolTip(id);
        }
    }
};

}  // namespace assistant
