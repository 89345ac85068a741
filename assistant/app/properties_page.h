// "Properties": pick an adapter and a port, see their COM numbers and state,
// edit the port's settings in the working configuration, send them, and the
// port test's controls and status area.
#pragma once

#include "assistant/app/mapped_dialog.h"
#include "assistant/framework/list_controls.h"
#include "assistant/framework/message_map.h"

class CAssistantDlg;

class CDlgChildConfig : public assistant::MappedDialog<CDlgChildConfig> {
public:
    CDlgChildConfig(HINSTANCE module, CAssistantDlg& owner);

    void SetUpToolTips();
    void EnableToolTips(bool enabled) const { ActivateToolTips(enabled); }
    void SetStartState();
    void FillSelectionLists();
    void ShowSelectedAdapter();
    void ShowSelectedPort();
    void UpdatePropertiesEnabling(bool infoEnabled);
    // Makes sure the adapter list names adapter index (from 0).
    void AddAdapterName(int adapter);
    void SelectInLists(int adapter, int port);
    void ShowPortState();

    // The test options as the user left them.
    int SelectedTestMode() const;
    bool QuickTestChosen() const;
    DWORD SelectedTestSpeed() const;
    void Enable(int id, bool enabled) const { Item(id).Enable(enabled); }

    // The test status area.
    void SetTestStatusText(const std::string& text);
    void ShowTestIcon(int iconId, bool animate);
    void HideTestIcon();
    void ShowFailedState();
    void ClearTestFailed() { testFailed = false; }
    void ShowTestResultIcon();
    void OnTestIconTick();
    void ResetTestStatistics();
    // Progress bar, rate and total: shown for a continuous test only.
    void ShowTestStatistics(bool visible) const;
    void ShowTestTotals(DWORD byteTotal);

protected:
    void DoDataExchange(fw::DataExchange& exchange) override;

private:
    friend class assistant::MappedDialog<CDlgChildConfig>;
    static const fw::MessageMap<CDlgChildConfig>& Messages();
    void OnAdapterChosen();
    void OnPortChosen();
    void OnPowerHigh();
    void OnPowerLow();
    void OnBulkEndpoints();
    void OnInterruptEndpoints();
    void OnTxTimingChosen();
    void OnRxFifoChosen();
    void OnRemoteWakeup();
    void OnUpdateConfiguration();
    void OnTestThisPort();
    void OnTestAllPorts();
    // Writes one field through edit and re-evaluates the pending changes.
    template <class Edit>
    void EditWorking(Edit edit);
    bool AnyPortOfSelectedAdapterBusy() const;
    bool SelectedPortBusy() const;

    CAssistantDlg& owner;
    fw::ComboBox adapters;
    fw::ComboBox ports;
    fw::ComboBox txTimings;
    fw::ComboBox rxFifos;
    fw::ComboBox testSpeeds;
    fw::Window statusIcon;

    // Test status area.
    int testMode = 0;  // TX only, external loopback, internal loopback
    int testType = 0;  // quick, continuous
    HICON currentIcon = nullptr;
    int animationPhase = 0;
    bool animating = false;
    bool testFailed = false;
    DWORD total = 0;
    DWORD previousTotal = 0;
    DWORD largestStep = 0;
    ULONGLONG startSeconds = 0;
    double rate = 0;
};

namespace assistant {

// The FIFO and timing lists: position and stored value.
int RxFifoPosition(int value);
int RxFifoValue(int position);
int TxTimingPosition(int value);
int TxTimingValue(int position);

}  // namespace assistant
