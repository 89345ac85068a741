// EventFrame: the driver event log window. It polls the driver every
// 100 ms while enabled, shows what it decodes in its EventWnd, and saves the
// lines to a text file.
#pragma once

#include "assistant/diag/event_polling.h"
#include "assistant/diag/event_wnd.h"
#include "assistant/framework/mdi_frame.h"
#include "assistant/framework/message_map.h"

namespace diag {

class EventFrame final : public fw::MdiFrame, private EventLogView {
public:
    // Opens the window unless ownerSlot already holds one; the frame writes
    // null there when it goes.
    static void Open(HINSTANCE module, EventLogState& state, EventFrame*& ownerSlot);

    EventWnd* View() const { return view; }
    const EventPolling& Polling() const { return polling; }

private:
    EventFrame(EventLogState& state, EventFrame*& ownerSlot);
    ~EventFrame() override;

    void OnCreate() override;
    static const fw::MessageMap<EventFrame>& Messages();
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    void OnUpdateHalt(fw::CommandUi& command) const;
    void OnUpdateResume(fw::CommandUi& command) const;
    void OnHalt();
    void OnResume();
    void OnClear();
    void OnLogToFile();
    void OnExit();
    void ShowKeyStates();

    // EventLogView
    void AppendLine(const char* text) override;
    void ShowOverruns(int count) override;
    void Halt() override { OnHalt(); }

    EventLogState& state;
    EventFrame*& ownerSlot;
    HandleChannel channel;
    EventPolling polling;
    // A save in progress: neither Halt nor Resume.
    bool saving = false;
    EventWnd* view = nullptr;
};

}  // namespace diag
