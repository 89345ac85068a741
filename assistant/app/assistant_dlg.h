// The Assistant's main dialog: the tab control with its five pages, the
// driver's tables and the selection the pages share, the 500 ms device
// poll, the status log and the ways out.
#pragma once

#include <string>

#include "assistant/app/about_dlg.h"
#include "assistant/app/com_port_usage.h"
#include "assistant/app/device_list.h"
#include "assistant/app/diagnostics_page.h"
#include "assistant/app/driver_access.h"
#include "assistant/app/mapped_dialog.h"
#include "assistant/app/port_tests.h"
#include "assistant/app/properties_page.h"
#include "assistant/app/status_log.h"
#include "assistant/app/status_page.h"
#include "assistant/framework/message_map.h"
#include "assistant/framework/tab_pages.h"

class CAssistantDlg : public assistant::MappedDialog<CAssistantDlg>, public assistant::StatusLog {
public:
    explicit CAssistantDlg(HINSTANCE module);

    // Operations the pages call.
    void AppendStatusLine(const std::string& text) override { statusLog.AppendStatusLine(text); }
    bool ConfigChangesPending();
    int ApplyConfigChanges();
    // Reads the driver's configuration into both copies; unsent edits are lost.
    int ReloadConfiguration();
    void ClearStatusLog() { statusLog.Clear(); }
    void EnableToolTips(bool enabled);
    // Shows page index as if its tab had been clicked.
    void SwitchToTab(int index);
    bool TestRunning() const { return singleTestRunning != 0 || allPortsTestRunning != 0; }
    // A port of infoTable, or null when the indexes are outside it.
    const PortInfo* InfoPort(int adapter, int port) const;
    PortConfig* WorkingPort(int adapter, int port);
    AdapterConfig* WorkingAdapter(int adapter);
    // The mapping mode change and the registry clean; both want every adapter unplugged.
    void ChangeMappingMode(int mode);
    void CleanRegistry();
    // The poll's timer runs the test icon's blinking too.
    void StartTestIconTimer();
    void StopTestIconTimer();
    // The port test on a port of the selected adapter.
    int StartPortTest(int port) { return portTests.StartPortTest(port); }
    void StopPortTest(int port) { portTests.StopPortTest(port); }
    // What the device poll does, at once.
    void RefreshDeviceTable() { OnDevicePoll(); }

    // The tables and the selection, read and written by the pages.
    DeviceInfoTable infoTable{};
    DeviceConfigTable configSnapshot{};
    DeviceConfigTable configWorking{};
    int mappingModeSaved = 0;
    int mappingMode = 0;
    int selectedPort = -1;
    int selectedAdapter = -1;
    int rememberedPort = -1;
    int rememberedAdapter = -1;
    int testCom = 0;
    int singleTestRunning = 0;
    int allPortsTestRunning = 0;
    int testPortIndex = 0;
    int testsRunning = 0;
    int testMode = 0;  // of the test started last
    int skipExitPrompt = 0;
    assistant::DriverAccess driver;
    // The COM number of the port mapping line that stays selected, and the database's claims.
    int rememberedCom = 0;
    assistant::ComPortUsage portsInUse;

    CDlgChildStatus statusPage;
    CDlgChildConfig propertiesPage;
    CDeviceList mappingPage;
    CDlgChildEvents diagnosticsPage;
    CAboutDlg helpPage;
    CPortTests portTests{*this};

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    friend class assistant::MappedDialog<CAssistantDlg>;
    static const fw::MessageMap<CAssistantDlg>& Messages();

    void OnDevicePoll();
    void OnTestIconTick();
    void OnTabChanged(NMHDR& header, LRESULT& result);
    void OnClose();
    void OnDestroy();
    void OnAbout();
    void OnMappingDynamic();
    void OnMappingGeographic();
    void OnModifyMappings();
    void OnDeleteAllMappings() { CleanRegistry(); }
    bool OnPaint();
    bool OnQueryDragIcon(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnSysCommand(WPARAM wParam, LPARAM lParam, LRESULT& result);
    LRESULT OnStatusText(WPARAM wParam, LPARAM lParam);
    LRESULT OnTestFailed(WPARAM wParam, LPARAM lParam);
    LRESULT OnTestStatus(WPARAM wParam, LPARAM lParam);
    LRESULT OnTestPassed(WPARAM wParam, LPARAM lParam);
    LRESULT OnTestIcon(WPARAM wParam, LPARAM lParam);
    LRESULT OnTestWorkerEnded(WPARAM wParam, LPARAM lParam);
    void OnTestStatisticsTick();

    // Where the mapping commands ask their questions: the modal mapping dialog while it is open.
    HWND QuestionOwner() const;
    // The question of every way out, sending the changes on Yes; the answer.
    int AskToSendChanges();
    void LogAdapterChanges(const DeviceInfoTable& fresh);
    void Shutdown();
    // Ends every running test, waiting for the workers, and takes in what they posted.
    void StopAllTests();

    HICON icon = nullptr;
    fw::TabPages tabs;
    assistant::StatusLogList statusLog;
    bool pollStopped = false;
    // The "Modify Com Port Mappings" dialog while it runs; the poll refreshes it.
    CDeviceList* modalPortMapping = nullptr;
};
