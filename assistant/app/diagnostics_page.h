// "Diagnostics": the status log and the switches around it.
#pragma once

#include "assistant/app/mapped_dialog.h"
#include "assistant/diag/df_text.h"
#include "assistant/diag/event_frame.h"
#include "assistant/framework/message_map.h"

class CAssistantDlg;

class CDlgChildEvents : public assistant::MappedDialog<CDlgChildEvents> {
public:
    CDlgChildEvents(HINSTANCE module, CAssistantDlg& owner);
    // The diagnostics windows do not outlive the page that opened them.
    ~CDlgChildEvents() override;

    HWND StatusLogList() const;
    void SetUpToolTips();
    void EnableToolTips(bool enabled) const { ActivateToolTips(enabled); }

    // What the two window buttons do; the events button stays hidden, so
    // only these open its window.
    void OpenEventsWindow();
    void OpenMonitorWindow();
    // The main dialog's device table changed: channel titles follow it.
    void RefreshMonitorTitles();
    diag::EventFrame* EventsWindow() const { return eventsWindow; }
    diag::DfText* MonitorWindow() const { return monitorWindow; }

private:
    friend class assistant::MappedDialog<CDlgChildEvents>;
    static const fw::MessageMap<CDlgChildEvents>& Messages();
    void OnClearLog();
    void OnLogDebugEvents();

    CAssistantDlg& owner;
    // What lives as long as the program, whether the windows are open or not.
    diag::EventLogState eventLogState;
    diag::MonitorState monitorState;
    diag::EventFrame* eventsWindow = nullptr;
    diag::DfText* monitorWindow = nullptr;
};
