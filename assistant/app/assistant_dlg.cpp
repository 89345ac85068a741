#include "assistant/app/assistant_dlg.h"

#include <cstring>

#include "assistant/app/app_messages.h"
#include "assistant/app/posted_text.h"
#include "assistant/app/product_strings.h"
#include "assistant/app/table_counts.h"
#include "assistant/app/text_format.h"
#include "assistant/res/resource.h"
#include "cl84prreg64.h"

using assistant::Format;
using assistant::kModelId;

namespace {

const char* const kTabTitles[] = {"Adapter Status", "Properties", "Port Mapping", "Diagnostics", "Help"};

std::string AdapterComLine(const char* event, const AdapterInfo& adapter)
{
    std::string line = Format("%s Adapter %s:", kModelId, event);
    for (const PortInfo& port : adapter.ports) {
        line += Format(" COM%d", port.comNumber);
    }
    return line;
}

bool HasSlot(const DeviceInfoTable& table, int32_t slot)
{
    for (int i = 0; i < assistant::RecordCount(table); ++i) {
        if (table.adapters[i].slot == slot) {
            return true;
        }
    }
    return false;
}

}  // namespace

CAssistantDlg::CAssistantDlg(HINSTANCE module)
    : MappedDialog(module, IDD_ASSISTANT),
      driver(*this),
      statusPage(module, *this),
      propertiesPage(module, *this),
      mappingPage(module, *this),
      diagnosticsPage(module, *this),
      helpPage(module, *this),
      icon(LoadIconA(module, MAKEINTRESOURCEA(IDI_ASSISTANT)))
{
}

const fw::MessageMap<CAssistantDlg>& CAssistantDlg::Messages()
{
    static const auto map = fw::MessageMap<CAssistantDlg>()
                                .Timer(assistant::kDevicePollTimer, &CAssistantDlg::OnDevicePoll)
                                .Timer(assistant::kTestIconTimer, &CAssistantDlg::OnTestIconTick)
                                .Timer(assistant::kTestStatisticsTimer, &CAssistantDlg::OnTestStatisticsTick)
                                .Notify(IDC_PAGE_TABS, TCN_SELCHANGE, &CAssistantDlg::OnTabChanged)
                                .Command(ID_FILE_CLOSE, &CAssistantDlg::OnOK)
                                .Command(ID_APP_ABOUT, &CAssistantDlg::OnAbout)
                                .Command(ID_MAPPING_DYNAMIC, &CAssistantDlg::OnMappingDynamic)
                                .Command(ID_MAPPING_GEOGRAPHIC, &CAssistantDlg::OnMappingGeographic)
                                .Command(ID_MODIFY_MAPPINGS, &CAssistantDlg::OnModifyMappings)
                                .Command(ID_DELETE_ALL_MAPPINGS, &CAssistantDlg::OnDeleteAllMappings)
                                .Close(&CAssistantDlg::OnClose)
                                .Destroy(&CAssistantDlg::OnDestroy)
                                .Paint(&CAssistantDlg::OnPaint)
                                .Message(WM_QUERYDRAGICON, &CAssistantDlg::OnQueryDragIcon)
                                .Message(WM_SYSCOMMAND, &CAssistantDlg::OnSysCommand)
                                .Posted(assistant::kStatusTextMessage, &CAssistantDlg::OnStatusText)
                                .Posted(assistant::kTestFailedMessage, &CAssistantDlg::OnTestFailed)
                                .Posted(assistant::kTestStatusMessage, &CAssistantDlg::OnTestStatus)
                                .Posted(assistant::kTestPassedMessage, &CAssistantDlg::OnTestPassed)
                                .Posted(assistant::kTestIconMessage, &CAssistantDlg::OnTestIcon)
                                .Posted(assistant::kWorkerEndedMessage, &CAssistantDlg::OnTestWorkerEnded);
    return map;
}

BOOL CAssistantDlg::OnInitDialog()
{
    fw::Dialog::OnInitDialog();
    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    infoTable = {};
    configSnapshot = {};
    configWorking = {};
    singleTestRunning = allPortsTestRunning = 0;
    mappingModeSaved = mappingMode = 0;

    SetText(Format(assistant::kMainTitleFormat, assistant::kDisplayName));

    tabs.Attach(GetDlgItem(Handle(), IDC_PAGE_TABS));
    for (const char* title : kTabTitles) {
        tabs.AddTab(title);
    }
    // Page order is tab order.
    tabs.AddPage(statusPage, *this);
    tabs.AddPage(propertiesPage, *this);
    tabs.AddPage(mappingPage, *this);
    tabs.AddPage(diagnosticsPage, *this);
    statusLog.Attach(diagnosticsPage.StatusLogList());
    tabs.AddPage(helpPage, *this);
    tabs.Show(0);

    propertiesPage.SetStartState();

    driver.GetDeviceInfoTable(infoTable);
    statusPage.RebuildStatusTree();
    ReloadConfiguration();

    fnGetDriverConfig(&mappingModeSaved);
    mappingMode = mappingModeSaved;

    propertiesPage.FillSelectionLists();

    SetTimer(Handle(), assistant::kDevicePollTimer, assistant::kDevicePollMilliseconds, nullptr);

    CreateToolTips();
    AddToolTip(IDC_PAGE_TABS);
    statusPage.SetUpToolTips();
    propertiesPage.SetUpToolTips();
    mappingPage.SetUpToolTips();
    diagnosticsPage.SetUpToolTips();

    mappingPage.RefreshPortMapping();
    return TRUE;
}

const PortInfo* CAssistantDlg::InfoPort(int adapter, int port) const
{
    if (adapter < 0 || adapter >= assistant::RecordCount(infoTable) || port < 0 ||
        port >= assistant::kPorts) {
        return nullptr;
    }
    return &infoTable.adapters[adapter].ports[port];
}

AdapterConfig* CAssistantDlg::WorkingAdapter(int adapter)
{
    if (adapter < 0 || adapter >= static_cast<int>(kTableAdapterRecords)) {
        return nullptr;
    }
    return &configWorking.adapters[adapter];
}

PortConfig* CAssistantDlg::WorkingPort(int adapter, int port)
{
    AdapterConfig* entry = WorkingAdapter(adapter);
    if (entry == nullptr || port < 0 || port >= assistant::kPorts) {
        return nullptr;
    }
    return &entry->ports[port];
}

bool CAssistantDlg::ConfigChangesPending()
{
    const bool pending = std::memcmp(&configWorking, &configSnapshot, sizeof(configWorking)) != 0 ||
                         mappingMode != mappingModeSaved;
    propertiesPage.Item(IDC_UPDATE_CONFIGURATION).Enable(pending);
    return pending;
}

int CAssistantDlg::ApplyConfigChanges()
{
    for (int i = 0; i < assistant::RecordCount(configSnapshot); ++i) {
        if (std::memcmp(&configWorking.adapters[i], &configSnapshot.adapters[i], sizeof(AdapterConfig)) != 0) {
            configWorking.adapters[i].updateFlag = kConfigUpdateFlag;
        }
    }
    const int result = driver.UpdateDeviceConfigTable(configWorking);
    if (result != assistant::kRequestDone) {
        return result;
    }
    configSnapshot = configWorking;
    propertiesPage.Item(IDC_UPDATE_CONFIGURATION).Enable(false);
    return result;
}

int CAssistantDlg::ReloadConfiguration()
{
    const int result = driver.RefreshDeviceConfigTableGUI(configSnapshot);
    if (result != assistant::kRequestDone) {
        return result;
    }
    configWorking = configSnapshot;
    propertiesPage.Item(IDC_UPDATE_CONFIGURATION).Enable(false);
    skipExitPrompt = 0;
    return result;
}

void CAssistantDlg::LogAdapterChanges(const DeviceInfoTable& fresh)
{
    for (int i = 0; i < assistant::RecordCount(infoTable); ++i) {
        if (!HasSlot(fresh, infoTable.adapters[i].slot)) {
            AppendStatusLine(AdapterComLine("REMOVED", infoTable.adapters[i]));
        }
    }
    for (int i = 0; i < assistant::RecordCount(fresh); ++i) {
        if (!HasSlot(infoTable, fresh.adapters[i].slot)) {
            AppendStatusLine(AdapterComLine("INSERTED", fresh.adapters[i]));
        }
    }
}

void CAssistantDlg::OnDevicePoll()
{
    DeviceInfoTable fresh{};
    driver.GetDeviceInfoTable(fresh);
    if (std::memcmp(&fresh, &infoTable, sizeof(fresh)) == 0) {
        return;
    }
    const bool setChanged = fresh.count != infoTable.count;
    if (setChanged) {
        LogAdapterChanges(fresh);
    }
    for (int k = 0; k < assistant::RecordCount(infoTable); ++k) {
        propertiesPage.AddAdapterName(k);
        const AdapterInfo& before = infoTable.adapters[k];
        const AdapterInfo& after = fresh.adapters[k];
        if (after.present == 0) {
            continue;
        }
        for (int j = 0; j < assistant::kPorts; ++j) {
            if (before.ports[j].busy != after.ports[j].busy) {
                AppendStatusLine(Format("%s-%d, Port-%d (COM%d): %s", kModelId, k + 1, j + 1,
                                        after.ports[j].comNumber, after.ports[j].busy != 0 ? "IN USE" : "NOT IN USE"));
            }
        }
    }
    infoTable = fresh;
    if (setChanged) {
        ReloadConfiguration();
        propertiesPage.FillSelectionLists();
    }
    propertiesPage.ShowPortState();
    statusPage.RefreshStatusTree();
    propertiesPage.UpdatePropertiesEnabling(true);
    if (modalPortMapping != nullptr) {
        modalPortMapping->RefreshPortMapping();
    }
    mappingPage.RefreshPortMapping();
    helpPage.FillModuleList();
    diagnosticsPage.RefreshMonitorTitles();
}

void CAssistantDlg::OnTestIconTick()
{
    propertiesPage.OnTestIconTick();
}

void CAssistantDlg::StartTestIconTimer()
{
    SetTimer(Handle(), assistant::kTestIconTimer, assistant::kTestIconMilliseconds, nullptr);
}

void CAssistantDlg::StopTestIconTimer()
{
    KillTimer(Handle(), assistant::kTestIconTimer);
}

void CAssistantDlg::OnTabChanged(NMHDR&, LRESULT&)
{
    tabs.Show(tabs.SelectedTab());
}

void CAssistantDlg::SwitchToTab(int index)
{
    tabs.Select(index);
    tabs.Show(index);
}

void CAssistantDlg::EnableToolTips(bool enabled)
{
    ActivateToolTips(enabled);
    statusPage.EnableToolTips(enabled);
    diagnosticsPage.EnableToolTips(enabled);
    propertiesPage.EnableToolTips(enabled);
    mappingPage.EnableToolTips(enabled);
}

int CAssistantDlg::AskToSendChanges()
{
    const int answer = MessageBoxA(Handle(), "Update Driver Configuration Before Exiting?", assistant::kUpdateCaption,
                                   MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDYES) {
        ApplyConfigChanges();
    }
    return answer;
}

void CAssistantDlg::OnClose()
{
    if (ConfigChangesPending()) {
        const int answer = AskToSendChanges();
        if (answer == IDCANCEL) {
            return;
        }
        if (answer == IDNO) {
            skipExitPrompt = 1;
        }
    }
    Shutdown();
    CloseAsCancel();
}

void CAssistantDlg::OnOK()
{
    if (ConfigChangesPending() && AskToSendChanges() == IDCANCEL) {
        return;
    }
    driver.CloseDeviceHandle();
    EndModal(IDOK);
}

void CAssistantDlg::OnCancel()
{
    if (skipExitPrompt == 0 && ConfigChangesPending() && AskToSendChanges() == IDCANCEL) {
        if (pollStopped) {
            // The close box stopped the poll before asking again; the dialog stays, so does the poll.
            pollStopped = false;
            SetTimer(Handle(), assistant::kDevicePollTimer, assistant::kDevicePollMilliseconds, nullptr);
        }
        return;
    }
    EndModal(IDCANCEL);
}

void CAssistantDlg::OnDestroy()
{
    Shutdown();
}

void CAssistantDlg::Shutdown()
{
    StopAllTests();
    KillTimer(Handle(), assistant::kDevicePollTimer);
    pollStopped = true;
    driver.CloseDeviceHandle();
    statusPage.DestroyImageList();
}

void CAssistantDlg::OnAbout()
{
    CAboutDlg about(Module(), *this);
    about.RunModal(Handle());
}

bool CAssistantDlg::OnSysCommand(WPARAM wParam, LPARAM, LRESULT&)
{
    if (wParam >= IDM_ABOUT_FIRST && wParam <= IDM_ABOUT_LAST) {
        OnAbout();
        return true;
    }
    return false;
}

bool CAssistantDlg::OnPaint()
{
    if (!IsIconic(Handle())) {
        return false;
    }
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(Handle(), &paint);
    RECT client{};
    GetClientRect(Handle(), &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon);
    EndPaint(Handle(), &paint);
    return true;
}

bool CAssistantDlg::OnQueryDragIcon(WPARAM, LPARAM, LRESULT& result)
{
    result = reinterpret_cast<LRESULT>(icon);
    return true;
}

LRESULT CAssistantDlg::OnStatusText(WPARAM, LPARAM lParam)
{
    AppendStatusLine(assistant::TakePostedText(lParam));
    return 0;
}

LRESULT CAssistantDlg::OnTestFailed(WPARAM wParam, LPARAM)
{
    propertiesPage.ShowFailedState();
    if (TestRunning()) {
        StopPortTest(static_cast<int>(wParam));
    }
    return 0;
}

LRESULT CAssistantDlg::OnTestPassed(WPARAM wParam, LPARAM)
{
    if (TestRunning()) {
        StopPortTest(static_cast<int>(wParam));
    }
    return 0;
}

LRESULT CAssistantDlg::OnTestIcon(WPARAM wParam, LPARAM lParam)
{
    propertiesPage.ShowTestIcon(static_cast<int>(wParam), lParam != 0);
    return 0;
}

LRESULT CAssistantDlg::OnTestWorkerEnded(WPARAM wParam, LPARAM)
{
    portTests.OnWorkerEnded(static_cast<int>(wParam));
    return 0;
}

void CAssistantDlg::OnTestStatisticsTick()
{
    portTests.OnStatisticsTick();
}

void CAssistantDlg::StopAllTests()
{
    // The test's own port, whatever the lists show now.
    if (singleTestRunning != 0) {
        StopPortTest(testPortIndex);
    } else if (allPortsTestRunning != 0) {
        for (int port = 0; port < assistant::kPorts; ++port) {
            StopPortTest(port);
        }
    }
    portTests.FinishStops();
    MSG message;
    while (PeekMessageA(&message, Handle(), assistant::kStatusTextMessage, assistant::kWorkerEndedMessage,
                        PM_REMOVE)) {
        DispatchMessageA(&message);
    }
}

LRESULT CAssistantDlg::OnTestStatus(WPARAM, LPARAM lParam)
{
    propertiesPage.SetTestStatusText(assistant::TakePostedText(lParam));
    return 0;
}
