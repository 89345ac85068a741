// DfText: the line monitor's frame. It owns the polling and the driver's
// monitor switch and holds one DfMon per monitored COM port.
#pragma once

#include "assistant/diag/df_mon.h"
#include "assistant/diag/monitor_polling.h"
#include "assistant/framework/mdi_frame.h"
#include "assistant/framework/message_map.h"
#include "common/device_tables.h"

namespace diag {

class DfText final : public fw::MdiFrame, private MonitorFrameView {
public:
    // Opens the window unless ownerSlot already holds one; the frame writes
    // null there when it goes. deviceInfo is the main dialog's table.
    static void Open(HINSTANCE module, MonitorState& state, const DeviceInfoTable& deviceInfo, DfText*& ownerSlot);

    // The main dialog's table changed.
    void RefreshTitles();
    void OpenChannel(ULONG comNumber);
    const MonitorPolling& Polling() const { return polling; }
    int HexMode() const { return hexMode; }

private:
    DfText(MonitorState& state, const DeviceInfoTable& deviceInfo, DfText*& ownerSlot);
    ~DfText() override;

    void OnCreate() override;
    static const fw::MessageMap<DfText>& Messages();
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool OnCommand(UINT command);

    void OnUpdateHalt(fw::CommandUi& command) const;
    void OnUpdateResume(fw::CommandUi& command) const;
    void OnUpdateHex(fw::CommandUi& command) const;
    void OnUpdateAscii(fw::CommandUi& command) const;
    void OnOpenChannel();
    void OnClear();
    void SetHexMode(int on);
    DfMon* ActiveChannel() const;

    // MonitorFrameView
    void StartPollTimer() override;
    void StopPollTimer() override;
    void ShowMonitoring(bool on) override;
    void ShowOverruns(int count) override;

    MonitorState& state;
    const DeviceInfoTable& deviceInfo;
    DfText*& ownerSlot;
    HandleChannel channel;
    MonitorPolling polling;
    // Characters until the user picks hex; toolbar and menu follow it.
    int hexMode = 0;
};

}  // namespace diag
