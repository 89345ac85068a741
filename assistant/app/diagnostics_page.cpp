#include "assistant/app/diagnostics_page.h"

#include "assistant/app/assistant_dlg.h"
#include "assistant/res/resource.h"

namespace {
const int kToolTipControls[] = {IDC_STATUS_LOG, IDC_CLEAR_LOG, IDC_OPEN_EVENTS_WINDOW, IDC_OPEN_MONITOR_WINDOW,
                                IDC_LOG_DEBUG_EVENTS};
}

CDlgChildEvents::CDlgChildEvents(HINSTANCE module, CAssistantDlg& owner)
    : MappedDialog(module, IDD_DIAGNOSTICS_PAGE), owner(owner)
{
}

CDlgChildEvents::~CDlgChildEvents()
{
    if (eventsWindow != nullptr) {
        DestroyWindow(eventsWindow->Handle());
    }
    if (monitorWindow != nullptr) {
        DestroyWindow(monitorWindow->Handle());
    }
}

const fw::MessageMap<CDlgChildEvents>& CDlgChildEvents::Messages()
{
    static const auto map = fw::MessageMap<CDlgChildEvents>()
                                .Command(IDC_CLEAR_LOG, &CDlgChildEvents::OnClearLog)
                                .Command(IDC_OPEN_EVENTS_WINDOW, &CDlgChildEvents::OpenEventsWindow)
                                .Command(IDC_OPEN_MONITOR_WINDOW, &CDlgChildEvents::OpenMonitorWindow)
                                .Command(IDC_LOG_DEBUG_EVENTS, &CDlgChildEvents::OnLogDebugEvents);
    return map;
}

void CDlgChildEvents::SetUpToolTips()
{
    CreateToolTipsFor(kToolTipControls);
}

void CDlgChildEvents::OnClearLog()
{
    owner.ClearStatusLog();
}

void CDlgChildEvents::OnLogDebugEvents()
{
    owner.driver.SetDebugLogging(!owner.driver.DebugLogging());
}

void CDlgChildEvents::OpenEventsWindow()
{
    diag::EventFrame::Open(Module(), eventLogState, eventsWindow);
}

void CDlgChildEvents::OpenMonitorWindow()
{
    diag::DfText::Open(Module(), monitorState, owner.infoTable, monitorWindow);
}

void CDlgChildEvents::RefreshMonitorTitles()
{
    if (monitorWindow != nullptr) {
        monitorWindow->RefreshTitles();
    }
}

HWND CDlgChildEvents::StatusLogList() const
{
    return GetDlgItem(Handle(), IDC_STATUS_LOG);
}
