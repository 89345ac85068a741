#include "assistant/app/properties_page.h"

#include <algorithm>
#include <iterator>

#include "assistant/app/assistant_dlg.h"
#include "assistant/app/product_strings.h"
#include "assistant/app/table_counts.h"
#include "assistant/app/text_format.h"
#include "assistant/diag/serial_test.h"
#include "assistant/res/resource.h"

using assistant::Format;
using assistant::kPorts;

namespace {

struct ListEntry {
    const char* text;
    int value;
};

const ListEntry kRxFifoEntries[] = {{"None", 1}, {"Auto", -1}, {"8", 8},   {"16 (Default)", 16},
                                    {"56", 56},  {"60", 60},   {"62", 62}};

const ListEntry kTxTimingEntries[] = {
    {"None (Default)", 1}, {"Auto", -1},         {"+2 bytes", 2},     {"+3 bytes", 3},     {"+4 bytes", 4},
    {"+5 bytes", 5},       {"+6 bytes", 6},      {"+7 bytes", 7},     {"+8 bytes", 8},     {"+9 bytes", 9},
    {"+10 bytes", 10},     {"+12 bytes", 12},    {"+14 bytes", 14},   {"+16 bytes", 16},   {"+20 bytes", 20},
    {"+32 bytes", 32},     {"+48 bytes", 48},    {"+63 bytes", 63},   {"+64 bytes", 64},   {"+100 bytes", 100},
    {"+127 bytes", 127}};

const int kTestSpeeds[] = {110,   300,   600,   1200,  2400,   4800,   9600,   14400,
                           19200, 38400, 56000, 57600, 115200, 230400, 460800, 921600};
constexpr int kDefaultTestSpeed = 13;

const int kToolTipControls[] = {IDC_ADAPTER_LIST,    IDC_PORT_LIST,         IDC_POWER_HIGH,
                                IDC_POWER_LOW,       IDC_ENDPOINTS_BULK,    IDC_ENDPOINTS_INTERRUPT,
                                IDC_RX_FIFO_LIST,    IDC_REMOTE_WAKEUP,     IDC_TX_TIMING_LIST,
                                IDC_UPDATE_CONFIGURATION, IDC_PORT_STATE,   IDC_PORT_COM,
                                IDC_ADAPTER_COMS,    IDC_TEST_THIS_PORT,    IDC_TEST_ALL_PORTS,
                                IDC_MODE_EXT_LOOPBACK, IDC_MODE_TX_ONLY,    IDC_MODE_INT_LOOPBACK,
                                IDC_TYPE_QUICK,      IDC_TYPE_CONTINUOUS,   IDC_TEST_SPEED_LIST};

// Controls the start state hides for the whole run; their values still travel with every update.
const int kHiddenSettings[] = {IDC_MODE_INT_LOOPBACK, IDC_POWER_LABEL,         IDC_POWER_HIGH,
                               IDC_POWER_LOW,         IDC_REMOTE_WAKEUP,       IDC_ENDPOINTS_BULK,
                               IDC_ENDPOINTS_INTERRUPT, IDC_ENDPOINTS_LABEL,   IDC_TX_TIMING_LIST,
                               IDC_TX_TIMING_LABEL};

const int kSettingControls[] = {IDC_POWER_HIGH,    IDC_POWER_LOW,     IDC_ENDPOINTS_BULK, IDC_ENDPOINTS_INTERRUPT,
                                IDC_REMOTE_WAKEUP, IDC_RX_FIFO_LIST, IDC_TX_TIMING_LIST};

const int kTestOptionControls[] = {IDC_MODE_TX_ONLY, IDC_MODE_EXT_LOOPBACK, IDC_MODE_INT_LOOPBACK, IDC_TYPE_QUICK,
                                   IDC_TYPE_CONTINUOUS, IDC_TEST_SPEED_LIST, IDC_ADAPTER_LIST, IDC_PORT_LIST};

const int kInfoFields[] = {IDC_PORT_STATE, IDC_PORT_COM, IDC_ADAPTER_COMS};

// Whole seconds of the system clock, for the test's rate.
ULONGLONG SecondsNow()
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return ((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime) / 10000000;
}

template <size_t N>
int PositionOf(const ListEntry (&entries)[N], int value)
{
    for (size_t i = 0; i < N; ++i) {
        if (entries[i].value == value) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

template <size_t N>
int ValueAt(const ListEntry (&entries)[N], int position)
{
    return entries[position >= 0 && position < static_cast<int>(N) ? position : 0].value;
}

}  // namespace

namespace assistant {

int RxFifoPosition(int value)
{
    return PositionOf(kRxFifoEntries, value);
}

int RxFifoValue(int position)
{
    return ValueAt(kRxFifoEntries, position);
}

int TxTimingPosition(int value)
{
    return PositionOf(kTxTimingEntries, value);
}

int TxTimingValue(int position)
{
    return ValueAt(kTxTimingEntries, position);
}

}  // namespace assistant

CDlgChildConfig::CDlgChildConfig(HINSTANCE module, CAssistantDlg& owner)
    : MappedDialog(module, IDD_PROPERTIES_PAGE), owner(owner)
{
}

const fw::MessageMap<CDlgChildConfig>& CDlgChildConfig::Messages()
{
    static const auto map =
        fw::MessageMap<CDlgChildConfig>()
            .Command(IDC_ADAPTER_LIST, CBN_SELCHANGE, &CDlgChildConfig::OnAdapterChosen)
            .Command(IDC_PORT_LIST, CBN_SELCHANGE, &CDlgChildConfig::OnPortChosen)
            .Command(IDC_POWER_HIGH, &CDlgChildConfig::OnPowerHigh)
            .Command(IDC_POWER_LOW, &CDlgChildConfig::OnPowerLow)
            .Command(IDC_ENDPOINTS_BULK, &CDlgChildConfig::OnBulkEndpoints)
            .Command(IDC_ENDPOINTS_INTERRUPT, &CDlgChildConfig::OnInterruptEndpoints)
            .Command(IDC_TX_TIMING_LIST, CBN_SELCHANGE, &CDlgChildConfig::OnTxTimingChosen)
            .Command(IDC_RX_FIFO_LIST, CBN_SELCHANGE, &CDlgChildConfig::OnRxFifoChosen)
            .Command(IDC_REMOTE_WAKEUP, &CDlgChildConfig::OnRemoteWakeup)
            .Command(IDC_UPDATE_CONFIGURATION, &CDlgChildConfig::OnUpdateConfiguration)
            .Command(IDC_TEST_THIS_PORT, &CDlgChildConfig::OnTestThisPort)
            .Command(IDC_TEST_ALL_PORTS, &CDlgChildConfig::OnTestAllPorts);
    return map;
}

void CDlgChildConfig::DoDataExchange(fw::DataExchange& exchange)
{
    exchange.Control(IDC_ADAPTER_LIST, adapters);
    exchange.Control(IDC_PORT_LIST, ports);
    exchange.Control(IDC_TX_TIMING_LIST, txTimings);
    exchange.Control(IDC_RX_FIFO_LIST, rxFifos);
    exchange.Control(IDC_TEST_SPEED_LIST, testSpeeds);
    exchange.Control(IDC_TEST_STATUS_ICON, statusIcon);
    exchange.Radio({IDC_MODE_TX_ONLY, IDC_MODE_EXT_LOOPBACK, IDC_MODE_INT_LOOPBACK}, testMode);
    exchange.Radio({IDC_TYPE_QUICK, IDC_TYPE_CONTINUOUS}, testType);
}

void CDlgChildConfig::SetUpToolTips()
{
    CreateToolTipsFor(kToolTipControls);
}

void CDlgChildConfig::SetStartState()
{
    testMode = 0;
    testType = 0;
    UpdateData(false);
    Item(IDC_TEST_PROGRESS).Show(false);
    Item(IDC_TEST_TOTAL).Show(false);
    Item(IDC_TEST_RATE).Show(false);
    testSpeeds.Reset();
    for (int speed : kTestSpeeds) {
        testSpeeds.Add(Format("%d", speed));
    }
    testSpeeds.Select(kDefaultTestSpeed);
    statusIcon.Show(false);
    Enable(IDC_TEST_THIS_PORT, false);
    Enable(IDC_TEST_ALL_PORTS, false);
    for (int id : kHiddenSettings) {
        Item(id).Show(false);
    }
    ports.Show(true);
    ports.Enable(true);
    Item(IDC_TEST_ALL_PORTS).Show(true);
}

void CDlgChildConfig::FillSelectionLists()
{
    owner.selectedPort = owner.selectedAdapter = 0;
    adapters.Reset();
    ports.Reset();
    rxFifos.Reset();
    txTimings.Reset();
    Enable(IDC_UPDATE_CONFIGURATION, false);
    const int adapterCount = assistant::RecordCount(owner.infoTable);
    if (adapterCount > 0) {
        for (int i = 0; i < assistant::RecordCount(owner.configWorking); ++i) {
            adapters.Add(Format("%s-%d", assistant::kModelId, i + 1));
        }
        for (int j = 1; j <= kPorts; ++j) {
            ports.Add(Format("%d", j));
        }
        for (const ListEntry& entry : kRxFifoEntries) {
            rxFifos.Add(entry.text);
        }
        for (const ListEntry& entry : kTxTimingEntries) {
            txTimings.Add(entry.text);
        }
        ports.Select(0);
        adapters.Select(0);
    }
    if (owner.rememberedAdapter >= 0 && owner.rememberedAdapter < adapterCount) {
        adapters.Select(owner.rememberedAdapter);
        owner.selectedAdapter = owner.rememberedAdapter;
    }
    if (owner.rememberedPort >= 0 && owner.rememberedPort < kPorts) {
        ports.Select(owner.rememberedPort);
        owner.selectedPort = owner.rememberedPort;
    }
    ShowSelectedAdapter();
}

void CDlgChildConfig::ShowSelectedAdapter()
{
    const AdapterConfig* entry = owner.WorkingAdapter(owner.selectedAdapter);
    const PortInfo* firstPort = owner.InfoPort(owner.selectedAdapter, 0);
    if (entry == nullptr || firstPort == nullptr) {
        Item(IDC_ADAPTER_COMS).SetText("");
        for (int id : {IDC_POWER_HIGH, IDC_POWER_LOW, IDC_ENDPOINTS_BULK, IDC_ENDPOINTS_INTERRUPT}) {
            Item(id).SetChecked(false);
        }
    } else {
        Item(IDC_POWER_HIGH).SetChecked(entry->highPower != 0);
        Item(IDC_POWER_LOW).SetChecked(entry->highPower == 0);
        Item(IDC_ENDPOINTS_BULK).SetChecked(entry->bulkEndpoints != 0);
        Item(IDC_ENDPOINTS_INTERRUPT).SetChecked(entry->bulkEndpoints == 0);
        std::string coms;
        for (const PortInfo& port : owner.infoTable.adapters[owner.selectedAdapter].ports) {
            coms += Format(" COM%d:", port.comNumber);
        }
        Item(IDC_ADAPTER_COMS).SetText(coms);
    }
    ShowSelectedPort();
    UpdatePropertiesEnabling(true);
}

void CDlgChildConfig::ShowSelectedPort()
{
    const PortInfo* port = owner.InfoPort(owner.selectedAdapter, owner.selectedPort);
    const PortConfig* config = owner.WorkingPort(owner.selectedAdapter, owner.selectedPort);
    if (port == nullptr || config == nullptr) {
        Item(IDC_PORT_COM).SetText("");
        Item(IDC_PORT_STATE).SetText("");
        txTimings.Reset();
        rxFifos.Reset();
        ports.Reset();
        Item(IDC_REMOTE_WAKEUP).SetChecked(false);
        SetTestStatusText("NO DEVICES FOUND");
        HideTestIcon();
        return;
    }
    Item(IDC_PORT_COM).SetText(Format("COM%d:", port->comNumber));
    Item(IDC_PORT_STATE).SetText(port->busy != 0 ? "BUSY" : "IDLE");
    txTimings.Select(assistant::TxTimingPosition(config->txTiming));
    rxFifos.Select(assistant::RxFifoPosition(config->rxFifo));
    Item(IDC_REMOTE_WAKEUP).SetChecked(config->remoteWakeup != 0);
    owner.testCom = port->comNumber;
    if (owner.driver.NoDevices()) {
        SetTestStatusText("NO DEVICES FOUND");
    } else if (port->busy == 0) {
        SetTestStatusText("READY TO TEST");
    } else if (!owner.TestRunning()) {
        SetTestStatusText("Port In Use");
    }
    HideTestIcon();
}

void CDlgChildConfig::ShowPortState()
{
    const PortInfo* port = owner.InfoPort(owner.selectedAdapter, owner.selectedPort);
    std::string state;
    if (!owner.driver.NoDevices() && port != nullptr) {
        state = port->busy != 0 ? "BUSY" : "IDLE";
    }
    Item(IDC_PORT_STATE).SetText(state);
}

bool CDlgChildConfig::AnyPortOfSelectedAdapterBusy() const
{
    for (int j = 0; j < kPorts; ++j) {
        const PortInfo* port = owner.InfoPort(owner.selectedAdapter, j);
        if (port != nullptr && port->busy != 0) {
            return true;
        }
    }
    return false;
}

bool CDlgChildConfig::SelectedPortBusy() const
{
    const PortInfo* port = owner.InfoPort(owner.selectedAdapter, owner.selectedPort);
    return port != nullptr && port->busy != 0;
}

void CDlgChildConfig::UpdatePropertiesEnabling(bool infoEnabled)
{
    const bool noDevices = owner.driver.NoDevices();
    const bool testing = owner.testsRunning != 0;
    const bool single = owner.singleTestRunning != 0;
    const bool all = owner.allPortsTestRunning != 0;
    const bool busy = SelectedPortBusy();
    const bool adapterSelected = owner.InfoPort(owner.selectedAdapter, 0) != nullptr;
    const bool settings = !noDevices && adapterSelected && !AnyPortOfSelectedAdapterBusy() && !testing;
    for (int id : kSettingControls) {
        Enable(id, settings);
    }
    const bool pending = owner.ConfigChangesPending();
    Enable(IDC_UPDATE_CONFIGURATION, settings && pending);
    for (int id : kTestOptionControls) {
        Enable(id, !noDevices && !testing);
    }
    Enable(IDC_TEST_THIS_PORT, !noDevices && (single || (!all && !busy)));
    Enable(IDC_TEST_ALL_PORTS, !noDevices && (all || (!single && !busy)));
    for (int id : kInfoFields) {
        Enable(id, infoEnabled);
    }
}

void CDlgChildConfig::AddAdapterName(int adapter)
{
    const std::string name = Format("%s-%d", assistant::kModelId, adapter + 1);
    if (adapters.Find(name) < 0) {
        adapters.Add(name);
    }
}

void CDlgChildConfig::SelectInLists(int adapter, int port)
{
    adapters.Select(adapter);
    ports.Select(port);
}

void CDlgChildConfig::OnAdapterChosen()
{
    owner.selectedAdapter = owner.rememberedAdapter = adapters.Selection();
    ShowSelectedAdapter();
    HideTestIcon();
}

void CDlgChildConfig::OnPortChosen()
{
    owner.selectedPort = owner.rememberedPort = ports.Selection();
    ShowSelectedPort();
}

template <class Edit>
void CDlgChildConfig::EditWorking(Edit edit)
{
    if (owner.selectedAdapter < 0) {
        return;
    }
    AdapterConfig* adapter = owner.WorkingAdapter(owner.selectedAdapter);
    if (adapter == nullptr) {
        return;
    }
    edit(*adapter);
    owner.ConfigChangesPending();
}

void CDlgChildConfig::OnPowerHigh()
{
    EditWorking([](AdapterConfig& adapter) { adapter.highPower = 1; });
}

void CDlgChildConfig::OnPowerLow()
{
    EditWorking([](AdapterConfig& adapter) { adapter.highPower = 0; });
}

void CDlgChildConfig::OnBulkEndpoints()
{
    EditWorking([](AdapterConfig& adapter) { adapter.bulkEndpoints = 1; });
}

void CDlgChildConfig::OnInterruptEndpoints()
{
    EditWorking([](AdapterConfig& adapter) { adapter.bulkEndpoints = 0; });
}

void CDlgChildConfig::OnTxTimingChosen()
{
    const int position = txTimings.Selection();
    const int port = owner.selectedPort;
    if (position < 0 || port < 0 || port >= kPorts) {
        return;
    }
    EditWorking([&](AdapterConfig& adapter) { adapter.ports[port].txTiming = assistant::TxTimingValue(position); });
}

void CDlgChildConfig::OnRxFifoChosen()
{
    const int position = rxFifos.Selection();
    const int port = owner.selectedPort;
    if (position < 0 || port < 0 || port >= kPorts) {
        return;
    }
    EditWorking([&](AdapterConfig& adapter) { adapter.ports[port].rxFifo = assistant::RxFifoValue(position); });
}

void CDlgChildConfig::OnRemoteWakeup()
{
    const bool checked = Item(IDC_REMOTE_WAKEUP).Checked();
    const int port = owner.selectedPort;
    if (port < 0 || port >= kPorts) {
        return;
    }
    EditWorking([&](AdapterConfig& adapter) { adapter.ports[port].remoteWakeup = checked ? 1 : 0; });
}

void CDlgChildConfig::OnUpdateConfiguration()
{
    if (!owner.ConfigChangesPending()) {
        return;
    }
    if (MessageBoxA(owner.Handle(), "Update Driver Configuration?", assistant::kUpdateCaption,
                    MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    if (owner.ApplyConfigChanges() == assistant::kRequestDone) {
        MessageBoxA(owner.Handle(), "Driver Configuration Update Complete.\rYour device is now ready to use.",
                    assistant::kUpdateCaption, MB_OK | MB_ICONINFORMATION);
    }
}

void CDlgChildConfig::SetTestStatusText(const std::string& text)
{
    Item(IDC_TEST_STATUS_TEXT).SetText(text);
}

void CDlgChildConfig::ShowTestIcon(int iconId, bool animate)
{
    currentIcon = LoadIconA(Module(), MAKEINTRESOURCEA(iconId));
    if (animate && animating) {
        statusIcon.Show(true);
        return;
    }
    if (animate) {
        animationPhase = 0;
        animating = true;
        owner.StartTestIconTimer();
    } else if (animating) {
        animating = false;
        owner.StopTestIconTimer();
    }
    statusIcon.SetIcon(currentIcon);
    statusIcon.Show(true);
}

void CDlgChildConfig::OnTestIconTick()
{
    if (!animating) {
        return;
    }
    animationPhase = (animationPhase + 1) % 2;
    statusIcon.SetIcon(animationPhase == 0 ? currentIcon : nullptr);
}

void CDlgChildConfig::HideTestIcon()
{
    if (animating) {
        animating = false;
        owner.StopTestIconTimer();
    }
    statusIcon.Show(false);
}

void CDlgChildConfig::ShowFailedState()
{
    testFailed = true;
    ShowTestIcon(IDI_TEST_FAILED, false);
}

void CDlgChildConfig::ShowTestResultIcon()
{
    ShowTestIcon(testFailed ? IDI_TEST_FAILED : IDI_TEST_PASSED, false);
}

void CDlgChildConfig::ResetTestStatistics()
{
    total = previousTotal = largestStep = 0;
    rate = 0;
    startSeconds = SecondsNow();
    Item(IDC_TEST_PROGRESS).Send(PBM_SETPOS, 0);
}

void CDlgChildConfig::ShowTestStatistics(bool visible) const
{
    for (int id : {IDC_TEST_PROGRESS, IDC_TEST_TOTAL, IDC_TEST_RATE}) {
        Item(id).Show(visible);
    }
}

void CDlgChildConfig::ShowTestTotals(DWORD byteTotal)
{
    total = byteTotal;
    Item(IDC_TEST_TOTAL).SetText(Format("Total Bytes: %d", static_cast<int>(total)));
    const ULONGLONG elapsed = SecondsNow() - startSeconds;
    if (elapsed >= 1) {
        rate = static_cast<double>(total) * 10 / static_cast<double>(elapsed);
        Item(IDC_TEST_RATE).SetText(Format("%1.3f KBPS", rate / 1000));
    }
    const DWORD step = total - previousTotal;
    largestStep = std::max(largestStep, step);
    Item(IDC_TEST_PROGRESS).Send(PBM_SETPOS, largestStep == 0 ? 0 : static_cast<WPARAM>(
                                                                        static_cast<ULONGLONG>(step) * 100 / largestStep));
    previousTotal = total;
}

int CDlgChildConfig::SelectedTestMode() const
{
    if (Item(IDC_MODE_EXT_LOOPBACK).Checked()) {
        return assistant::kExternalLoopback;
    }
    return Item(IDC_MODE_INT_LOOPBACK).Checked() ? assistant::kInternalLoopback : assistant::kTxOnly;
}

bool CDlgChildConfig::QuickTestChosen() const
{
    return Item(IDC_TYPE_QUICK).Checked();
}

DWORD CDlgChildConfig::SelectedTestSpeed() const
{
    const int position = testSpeeds.Selection();
    return static_cast<DWORD>(kTestSpeeds[position >= 0 && position < static_cast<int>(std::size(kTestSpeeds))
                                              ? position
                                              : kDefaultTestSpeed]);
}

void CDlgChildConfig::OnTestThisPort()
{
    if (owner.allPortsTestRunning != 0) {
        return;
    }
    if (owner.singleTestRunning != 0) {
        owner.StopPortTest(owner.testPortIndex);
        return;
    }
    owner.singleTestRunning = 1;
    owner.testPortIndex = owner.selectedPort;
    owner.StartPortTest(owner.selectedPort);
    if (owner.testsRunning == 0) {
        owner.singleTestRunning = 0;
    }
}

void CDlgChildConfig::OnTestAllPorts()
{
    if (owner.singleTestRunning != 0) {
        return;
    }
    if (owner.allPortsTestRunning != 0) {
        for (int port = 0; port < kPorts; ++port) {
            owner.StopPortTest(port);
        }
        return;
    }
    owner.allPortsTestRunning = 1;
    int started = 0;
    for (int port = 0; port < kPorts; ++port) {
        const PortInfo* info = owner.InfoPort(owner.selectedAdapter, port);
        if (info != nullptr && info->busy == 0) {
            started += owner.StartPortTest(port);
        }
    }
    if (started == 0) {
        owner.allPortsTestRunning = 0;
    }
}
