#include "assistant/diag/df_text.h"

#include "assistant/app/product_strings.h"
#include "assistant/app/text_format.h"
#include "assistant/diag/monitor_channel_dlg.h"
#include "assistant/res/resource.h"

namespace diag {

namespace {

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMilliseconds = 10;
constexpr int kChannelPane = 1;
constexpr int kStatePane = 2;
constexpr int kOverrunPane = 3;
constexpr int kWiderPane = 20;
const RECT kChannelPlace = {0, 0, 400, 300};

}  // namespace

void DfText::Open(HINSTANCE module, MonitorState& state, const DeviceInfoTable& deviceInfo, DfText*& ownerSlot)
{
    if (ownerSlot != nullptr) {
        return;
    }
    auto* frame = new DfText(state, deviceInfo, ownerSlot);
    if (!frame->Create(module, IDR_MONITOR_FRAME, assistant::Format("%s -- Line Monitor", assistant::kDisplayName))) {
        delete frame;
        return;
    }
    ShowWindow(frame->Handle(), SW_SHOW);
    UpdateWindow(frame->Handle());
}

DfText::DfText(MonitorState& state, const DeviceInfoTable& deviceInfo, DfText*& ownerSlot)
    : state(state), deviceInfo(deviceInfo), ownerSlot(ownerSlot), channel(state.device),
      polling(state, channel, *this)
{
    ownerSlot = this;
}

DfText::~DfText()
{
    ownerSlot = nullptr;
}

void DfText::OnCreate()
{
    HICON icon = LoadIconA(Module(), MAKEINTRESOURCEA(IDI_ASSISTANT));
    SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    CreateToolbar(IDR_MONITOR_FRAME,
                  {ID_MONITOR_RESUME, ID_MONITOR_HALT, ID_MONITOR_CLEAR, ID_MONITOR_HEX, ID_MONITOR_ASCII,
                   ID_MONITOR_EXIT, ID_MONITOR_OPEN_CHANNEL},
                  32);
    CreateStatusBar({0, IDS_CHANNEL_PANE, IDS_STATE_PANE, IDS_OVERRUN_PANE}, {0, kWiderPane, 0, kWiderPane});
    SetPaneText(kChannelPane, "");
    polling.overruns = 0;
    polling.monitoring = 0;
    SetHexMode(hexMode);
    RecalcLayout();
}

void DfText::RefreshTitles()
{
    for (const MonitorChannelEntry& entry : state.channels) {
        if (entry.window != nullptr) {
            static_cast<DfMon*>(entry.window)->RefreshTitle();
        }
    }
}

void DfText::OpenChannel(ULONG comNumber)
{
    if (polling.channelCount == kMonitorChannels) {
        return;
    }
    const int slot = polling.ChannelSlotFor(comNumber);
    if (slot < 0) {
        return;
    }
    auto* window = new DfMon(comNumber, hexMode, state.channels[slot]);
    const DWORD style = WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX |
                        WS_VISIBLE | WS_VSCROLL | WS_HSCROLL;
    if (!window->Create(*this, "Monitor Data", style, kChannelPlace)) {
        delete window;
        return;
    }
    window->ClearStore();
    polling.Resume();
}

const fw::MessageMap<DfText>& DfText::Messages()
{
    static const auto map = fw::MessageMap<DfText>()
                                .UpdateCommand(ID_MONITOR_HALT, &DfText::OnUpdateHalt)
                                .UpdateCommand(ID_MONITOR_RESUME, &DfText::OnUpdateResume)
                                .UpdateCommand(ID_MONITOR_HEX, &DfText::OnUpdateHex)
                                .UpdateCommand(ID_MONITOR_ASCII, &DfText::OnUpdateAscii);
    return map;
}

void DfText::OnUpdateHalt(fw::CommandUi& command) const
{
    command.Enable(polling.monitoring == 1);
}

void DfText::OnUpdateResume(fw::CommandUi& command) const
{
    command.Enable(polling.monitoring == 0);
}

void DfText::OnUpdateHex(fw::CommandUi& command) const
{
    command.Enable(hexMode == 0);
}

void DfText::OnUpdateAscii(fw::CommandUi& command) const
{
    command.Enable(hexMode == 1);
}

bool DfText::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (Messages().Dispatch(*this, message, wParam, lParam, result)) {
        return true;
    }
    switch (message) {
    case WM_TIMER:
        if (wParam != kPollTimer) {
            break;
        }
        if (polling.monitoring != 0) {
            polling.Poll();
        }
        return true;
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam))) {
            return true;
        }
        break;
    case WM_DESTROY:
        polling.StopMonitoring();
        polling.CloseDevice();
        break;
    default:
        break;
    }
    return MdiFrame::HandleMessage(message, wParam, lParam, result);
}

bool DfText::OnCommand(UINT command)
{
    switch (command) {
    case ID_MONITOR_OPEN_CHANNEL: OnOpenChannel(); return true;
    case ID_MONITOR_HALT: polling.Halt(); return true;
    case ID_MONITOR_RESUME: polling.Resume(); return true;
    case ID_MONITOR_CLEAR: OnClear(); return true;
    case ID_MONITOR_COPY_CONTENTS:
        if (DfMon* active = ActiveChannel()) {
            active->CopyContents();
        }
        return true;
    case ID_MONITOR_HEX: SetHexMode(1); return true;
    case ID_MONITOR_ASCII: SetHexMode(0); return true;
    case ID_MONITOR_CASCADE: SendMessageA(Client(), WM_MDICASCADE, 0, 0); return true;
    case ID_MONITOR_TILE: SendMessageA(Client(), WM_MDITILE, MDITILE_HORIZONTAL, 0); return true;
    case ID_MONITOR_EXIT:
        polling.StopMonitoring();
        PostMessageA(Handle(), WM_CLOSE, 0, 0);
        return true;
    default: return false;
    }
}

void DfText::OnOpenChannel()
{
    if (deviceInfo.count == 0) {
        return;
    }
    CDlgMonChanSelect select(Module(), deviceInfo, state);
    if (select.RunModal(Handle()) == IDOK) {
        OpenChannel(select.Selected());
    }
}

void DfText::OnClear()
{
    if (DfMon* active = ActiveChannel()) {
        active->ClearStore();
    }
    polling.ClearOverruns();
}

void DfText::SetHexMode(int on)
{
    hexMode = on;
    UpdateToolbar();
    if (DfMon* active = ActiveChannel()) {
        active->Layout();
    }
}

DfMon* DfText::ActiveChannel() const
{
    HWND active = reinterpret_cast<HWND>(SendMessageA(Client(), WM_MDIGETACTIVE, 0, 0));
    for (const MonitorChannelEntry& entry : state.channels) {
        auto* window = static_cast<DfMon*>(entry.window);
        if (window != nullptr && active != nullptr && window->Handle() == active) {
            return window;
        }
    }
    return nullptr;
}

void DfText::StartPollTimer()
{
    SetTimer(Handle(), kPollTimer, kPollMilliseconds, nullptr);
}

void DfText::StopPollTimer()
{
    KillTimer(Handle(), kPollTimer);
}

void DfText::ShowMonitoring(bool on)
{
    UpdateToolbar();
    SetPaneText(kStatePane, on ? "Enabled" : "Halted");
}

void DfText::ShowOverruns(int count)
{
    SetPaneText(kOverrunPane, assistant::Format("OVRs: %d", count));
}

}  // namespace diag
