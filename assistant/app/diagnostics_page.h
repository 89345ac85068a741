// "Diagnostics": the status log and the switches around it.
#pragma once

#include "assistant/framework/dialog.h"
#include "assistant/framework/message_map.h"

class CAssistantDlg;

class CDlgChildEvents : public fw::Dialog {
public:
    CDlgChildEvents(HINSTANCE module, CAssistantDlg& owner);

    HWND StatusLogList() const;
    void SetUpToolTips();
    void EnableToolTips(bool enabled) const { ActivateToolTips(enabled); }

protected:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    static const fw::MessageMap<CDlgChildEvents>& Messages();
    void OnClearLog();
    void OnLogDebugEvents();

    CAssistantDlg& owner;
};
