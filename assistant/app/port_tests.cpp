#include "assistant/app/port_tests.h"

#include <algorithm>

#include "assistant/app/app_messages.h"
#include "assistant/app/assistant_dlg.h"
#include "assistant/app/text_format.h"
#include "assistant/framework/wait_cursor.h"
#include "assistant/res/resource.h"

using assistant::Format;

int CPortTests::StartPortTest(int port)
{
    fw::WaitCursor wait;
    CDlgChildConfig& page = owner.propertiesPage;
    if (owner.testsRunning == 0) {
        page.UpdatePropertiesEnabling(false);
        page.Enable(IDC_TEST_THIS_PORT, false);
        page.Enable(IDC_TEST_ALL_PORTS, false);
        page.HideTestIcon();
        page.SetTestStatusText("Starting Test");
    }
    const PortInfo* info = owner.InfoPort(owner.selectedAdapter, port);
    const int comNumber = info != nullptr ? info->comNumber : 0;
    if (comNumber <= 0) {
        owner.AppendStatusLine("*** Test: Failure: Invalid Port Number Specified");
        page.SetTestStatusText("TEST FAILED: INVALID PORT NUMBER");
        return StartFailed();
    }
    CSerialTest& test = tests[port];
    if (test.Open(comNumber) == 0) {
        owner.AppendStatusLine("*** Test: Failure: Open Port");
        page.SetTestStatusText("TEST FAILED: CAN'T OPEN PORT");
        return StartFailed();
    }
    const DWORD baud = page.SelectedTestSpeed();
    owner.testMode = page.SelectedTestMode();
    const int configured = test.Configure(baud, NOPARITY, ONESTOPBIT, 8, owner.testMode == assistant::kExternalLoopback);
    if (configured < 0) {
        owner.AppendStatusLine(Format("*** Test: Failure: Configure returned %d", configured));
        test.Close();
        page.SetTestStatusText("TEST FAILED: BAD/UNSUPPORTED CONFIGURATION");
        return StartFailed();
    }
    if (owner.testMode == assistant::kInternalLoopback) {
        owner.driver.SetInternalLoopbackMode(owner.selectedAdapter, port, 1);
    }
    page.ClearTestFailed();
    ++owner.testsRunning;
    underTest[port] = true;
    workerEnded[port] = false;
    page.Item(IDC_TEST_STATUS_ICON).Show(true);
    const bool first = owner.testsRunning == 1;
    const int button = owner.allPortsTestRunning != 0 ? IDC_TEST_ALL_PORTS : IDC_TEST_THIS_PORT;
    if (first) {
        page.Item(button).SetText("STOP TEST");
        page.SetTestStatusText("TEST IN PROGRESS");
    }
    const bool debug = owner.driver.DebugLogging();
    if (debug) {
        owner.AppendStatusLine("DBG: Test: Port Opened");
    }
    const int flushed = test.Flush();
    if (debug) {
        owner.AppendStatusLine(Format("DBG: Test: Flush Returned %d", flushed));
    }
    const bool quick = page.QuickTestChosen();
    if (first) {
        page.ResetTestStatistics();
        page.ShowTestStatistics(!quick);
    }
    test.SetDebugLogging(debug);
    if (!test.StartWorker(owner.testMode, quick, owner.Handle(), owner.selectedAdapter, port)) {
        // Without a worker nobody reports the end: report the failure as a worker would.
        PostMessageA(owner.Handle(), assistant::kTestFailedMessage, static_cast<WPARAM>(port), 0);
    }
    if (first) {
        SetTimer(owner.Handle(), assistant::kTestStatisticsTimer, assistant::kTestStatisticsMilliseconds, nullptr);
        page.ShowTestIcon(IDI_TEST_PASSED, true);
        page.Enable(button, true);
    }
    return 1;
}

int CPortTests::StartFailed()
{
    CDlgChildConfig& page = owner.propertiesPage;
    if (owner.testsRunning == 0) {
        page.UpdatePropertiesEnabling(true);
        page.Enable(IDC_TEST_THIS_PORT, true);
        page.Enable(IDC_TEST_ALL_PORTS, true);
    }
    page.ShowTestIcon(IDI_TEST_FAILED, false);
    return 0;
}

void CPortTests::StopPortTest(int port)
{
    if (port < 0 || port >= assistant::kPorts || !underTest[port] ||
        std::find(stops.begin(), stops.end(), port) != stops.end()) {
        return;
    }
    stops.push_back(port);
    AdvanceStops();
}

void CPortTests::OnWorkerEnded(int port)
{
    if (port >= 0 && port < assistant::kPorts) {
        workerEnded[port] = true;
    }
    AdvanceStops();
}

void CPortTests::AdvanceStops()
{
    while (!stops.empty()) {
        if (!stopBegun) {
            BeginStop();
        }
        const int port = stops.front();
        if (tests[port].WorkerStarted() && !workerEnded[port]) {
            return;  // its end message brings us back
        }
        CompleteStop();
    }
}

void CPortTests::FinishStops()
{
    while (!stops.empty()) {
        if (!stopBegun) {
            BeginStop();
        }
        CompleteStop();
    }
}

void CPortTests::BeginStop()
{
    fw::WaitCursor wait;
    stopBegun = true;
    if (owner.testsRunning <= 1) {
        owner.propertiesPage.Enable(IDC_TEST_THIS_PORT, false);
        owner.propertiesPage.Enable(IDC_TEST_ALL_PORTS, false);
        KillTimer(owner.Handle(), assistant::kTestStatisticsTimer);
    }
    tests[stops.front()].RequestStop();
}

void CPortTests::CompleteStop()
{
    fw::WaitCursor wait;
    const int port = stops.front();
    CSerialTest& test = tests[port];
    test.ReleaseWorker();
    test.Close();
    const bool last = owner.testsRunning <= 1;
    // The adapter's loopback serves all its ports: it goes off with the last test.
    if (owner.testMode == assistant::kInternalLoopback && last) {
        owner.driver.SetInternalLoopbackMode(test.AdapterIndex(), port, 0);
    }
    if (last) {
        CDlgChildConfig& page = owner.propertiesPage;
        page.Item(IDC_TEST_THIS_PORT).SetText("Test This Port");
        page.Item(IDC_TEST_ALL_PORTS).SetText("Test All Ports");
        if (owner.driver.DebugLogging()) {
            owner.AppendStatusLine("DBG: Test: Port Closed");
        }
        page.ShowTestResultIcon();
        owner.singleTestRunning = owner.allPortsTestRunning = 0;
        page.UpdatePropertiesEnabling(true);
    }
    if (owner.testsRunning > 0) {
        --owner.testsRunning;
    }
    underTest[port] = false;
    stops.pop_front();
    stopBegun = false;
    owner.RefreshDeviceTable();
}

void CPortTests::OnStatisticsTick()
{
    DWORD total = 0;
    if (owner.allPortsTestRunning != 0) {
        // Ports skipped as busy keep the counts of an earlier test: they do not count.
        ULONGLONG sum = 0;
        for (int port = 0; port < assistant::kPorts; ++port) {
            sum += underTest[port] ? tests[port].BytesWritten() : 0;
        }
        total = static_cast<DWORD>(sum / assistant::kPorts);
    } else if (owner.testPortIndex >= 0 && owner.testPortIndex < assistant::kPorts) {
        total = tests[owner.testPortIndex].BytesWritten();
    }
    owner.propertiesPage.ShowTestTotals(total);
}
