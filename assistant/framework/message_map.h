// A per-class table from window messages to member functions. A dialog class
// builds its table once, as a function-local constant:
//
//   const fw::MessageMap<CMyDlg>& CMyDlg::Messages()
//   {
//       static const auto map = fw::MessageMap<CMyDlg>()
//           .Command(IDC_APPLY, &CMyDlg::OnApply)
//           .Notify(IDC_TABS, TCN_SELCHANGE, &CMyDlg::OnTabChanged)
//           .Timer(kPollTimer, &CMyDlg::OnPoll)
//           .UpdateCommand(ID_HALT, &CMyDlg::OnUpdateHalt);
//       return map;
//   }
//
// and routes its messages through it in HandleMessage. Entries are tried in
// the order they were added; the first that matches handles the message.
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "assistant/framework/command_ui.h"

namespace fw {

template <class Target>
class MessageMap {
public:
    // Menu commands and button clicks (notification code 0).
    MessageMap&& Command(UINT id, void (Target::*handler)()) &&
    {
        return std::move(*this).Command(id, 0, handler);
    }

    // One notification code of a control sent through WM_COMMAND.
    MessageMap&& Command(UINT id, UINT code, void (Target::*handler)()) &&
    {
        Add(WM_COMMAND, [=](Target& target, WPARAM wParam, LPARAM, LRESULT&) {
            if (LOWORD(wParam) != id || HIWORD(wParam) != code) {
                return false;
            }
            (target.*handler)();
            return true;
        });
        return std::move(*this);
    }

    MessageMap&& Notify(UINT id, UINT code, void (Target::*handler)(NMHDR&, LRESULT&)) &&
    {
        Add(WM_NOTIFY, [=](Target& target, WPARAM, LPARAM lParam, LRESULT& result) {
            auto& header = *reinterpret_cast<NMHDR*>(lParam);
            if (header.idFrom != id || header.code != code) {
                return false;
            }
            (target.*handler)(header, result);
            return true;
        });
        return std::move(*this);
    }

    // Whether a command's menu item and toolbar button are enabled and checked;
    // the handler reports state and changes none.
    MessageMap&& UpdateCommand(UINT id, void (Target::*handler)(CommandUi&) const) &&
    {
        Add(kUpdateCommandUi, [=](Target& target, WPARAM wParam, LPARAM lParam, LRESULT&) {
            if (wParam != id) {
                return false;
            }
            (target.*handler)(*reinterpret_cast<CommandUi*>(lParam));
            return true;
        });
        return std::move(*this);
    }

    MessageMap&& Timer(UINT_PTR id, void (Target::*handler)()) &&
    {
        Add(WM_TIMER, [=](Target& target, WPARAM wParam, LPARAM, LRESULT&) {
            if (wParam != id) {
                return false;
            }
            (target.*handler)();
            return true;
        });
        return std::move(*this);
    }

    // The handler returns false to leave painting to the system.
    MessageMap&& Paint(bool (Target::*handler)()) &&
    {
        Add(WM_PAINT, [=](Target& target, WPARAM, LPARAM, LRESULT&) { return (target.*handler)(); });
        return std::move(*this);
    }

    MessageMap&& Close(void (Target::*handler)()) && { return std::move(*this).Simple(WM_CLOSE, handler); }
    MessageMap&& Destroy(void (Target::*handler)()) && { return std::move(*this).Simple(WM_DESTROY, handler); }

    // Messages posted to the window with their own meaning (WM_APP and up).
    MessageMap&& Posted(UINT message, LRESULT (Target::*handler)(WPARAM, LPARAM)) &&
    {
        Add(message, [=](Target& target, WPARAM wParam, LPARAM lParam, LRESULT& result) {
            result = (target.*handler)(wParam, lParam);
            return true;
        });
        return std::move(*this);
    }

    // Any other message; the handler returns false to pass it on.
    MessageMap&& Message(UINT message, bool (Target::*handler)(WPARAM, LPARAM, LRESULT&)) &&
    {
        Add(message, [=](Target& target, WPARAM wParam, LPARAM lParam, LRESULT& result) {
            return (target.*handler)(wParam, lParam, result);
        });
        return std::move(*this);
    }

    bool Dispatch(Target& target, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) const
    {
        for (const Entry& entry : entries_) {
            if (entry.message == message && entry.call(target, wParam, lParam, result)) {
                return true;
            }
        }
        return false;
    }

private:
    using Call = std::function<bool(Target&, WPARAM, LPARAM, LRESULT&)>;
    struct Entry {
        UINT message;
        Call call;
    };

    MessageMap&& Simple(UINT message, void (Target::*handler)()) &&
    {
        Add(message, [=](Target& target, WPARAM, LPARAM, LRESULT&) {
            (target.*handler)();
            return true;
        });
        return std::move(*this);
    }

    void Add(UINT message, Call call) { entries_.push_back({message, std::move(call)}); }

    std::vector<Entry> entries_;
};

}  // namespace fw
