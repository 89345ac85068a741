#include "assistant/diag/event_frame.h"

#include "assistant/app/product_strings.h"
#include "assistant/app/text_format.h"
#include "assistant/diag/event_log_file.h"
#include "assistant/res/resource.h"

namespace diag {

namespace {

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMilliseconds = 100;
constexpr int kStatePane = 1;
constexpr int kOverrunPane = 2;
constexpr int kCapsPane = 3;

std::string OverrunText(int count)
{
    return assistant::Format("OVRs: %d", count);
}

}  // namespace

void EventFrame::Open(HINSTANCE module, EventLogState& state, EventFrame*& ownerSlot)
{
    if (ownerSlot != nullptr) {
        return;
    }
    auto* frame = new EventFrame(state, ownerSlot);
    if (!frame->Create(module, IDR_EVENT_FRAME,
                       assistant::Format("%s -- Driver Events Log", assistant::kDisplayName))) {
        delete frame;
        return;
    }
    ShowWindow(frame->Handle(), SW_SHOW);
    UpdateWindow(frame->Handle());
}

EventFrame::EventFrame(EventLogState& state, EventFrame*& ownerSlot)
    : state(state), ownerSlot(ownerSlot), channel(state.device), polling(state, channel, *this)
{
    ownerSlot = this;
}

EventFrame::~EventFrame()
{
    ownerSlot = nullptr;
}

void EventFrame::OnCreate()
{
    HICON icon = LoadIconA(Module(), MAKEINTRESOURCEA(IDI_ASSISTANT));
    SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    CreateToolbar(IDR_EVENT_TOOLBAR,
                  {ID_EVENTS_RESUME, ID_EVENTS_HALT, ID_EVENTS_CLEAR, ID_EVENTS_LOG_TO_FILE, ID_EVENTS_EXIT}, 32);
    CreateStatusBar({0, IDS_STATE_PANE, IDS_OVERRUN_PANE, IDS_INDICATOR_CAPS, IDS_INDICATOR_NUM, IDS_INDICATOR_SCRL},
                    {});
    SetPaneText(kOverrunPane, OverrunText(0));
    RecalcLayout();

    char title[256] = "";
    GetWindowTextA(Handle(), title, sizeof(title));
    auto* created = new EventWnd(state.nextLineNumber, view);
    RECT place{0, 0, 0, 0};
    if (!created->Create(*this, title, WS_CHILD | WS_VISIBLE | WS_VSCROLL, place)) {
        delete created;
        view = nullptr;
    } else {
        view->Layout();
    }
    polling.overruns = 0;
    polling.clearPending = 0;
    OnResume();
    SetTimer(Handle(), kPollTimer, kPollMilliseconds, nullptr);
}

const fw::MessageMap<EventFrame>& EventFrame::Messages()
{
    static const auto map = fw::MessageMap<EventFrame>()
                                .UpdateCommand(ID_EVENTS_HALT, &EventFrame::OnUpdateHalt)
                                .UpdateCommand(ID_EVENTS_RESUME, &EventFrame::OnUpdateResume);
    return map;
}

void EventFrame::OnUpdateHalt(fw::CommandUi& command) const
{
    command.Enable(polling.enabled == 1);
}

void EventFrame::OnUpdateResume(fw::CommandUi& command) const
{
    command.Enable(polling.enabled == 0 && !saving);
}

bool EventFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (Messages().Dispatch(*this, message, wParam, lParam, result)) {
        return true;
    }
    switch (message) {
    case WM_TIMER:
        if (wParam != kPollTimer) {
            break;
        }
        polling.Tick();
        ShowKeyStates();
        return true;
    case WM_COMMAND:
        // From the menu or the toolbar alike.
        switch (LOWORD(wParam)) {
        case ID_EVENTS_HALT: OnHalt(); return true;
        case ID_EVENTS_RESUME: OnResume(); return true;
        case ID_EVENTS_CLEAR: OnClear(); return true;
        case ID_EVENTS_LOG_TO_FILE: OnLogToFile(); return true;
        case ID_EVENTS_EXIT: OnExit(); return true;
        default: break;
        }
        break;
    case WM_SIZE:
        MdiFrame::HandleMessage(message, wParam, lParam, result);
        if (view != nullptr) {
            view->Layout();
        }
        return true;
    case WM_DESTROY:
        KillTimer(Handle(), kPollTimer);
        channel.Close();
        break;
    default:
        break;
    }
    return MdiFrame::HandleMessage(message, wParam, lParam, result);
}

void EventFrame::OnHalt()
{
    polling.enabled = 0;
    UpdateToolbar();
    EnableButton(ID_EVENTS_LOG_TO_FILE, true);
    SetPaneText(kStatePane, "Halted");
}

void EventFrame::OnResume()
{
    polling.enabled = 1;
    UpdateToolbar();
    EnableButton(ID_EVENTS_LOG_TO_FILE, false);
    SetPaneText(kStatePane, "Enabled");
}

void EventFrame::OnClear()
{
    if (view != nullptr) {
        view->ClearView();
    }
    polling.Clear();
}

void EventFrame::OnLogToFile()
{
    char path[MAX_PATH] = "TessaryEventLog.txt";
    const std::string title = assistant::Format("%s -- Save Event Log File As", assistant::kDisplayName);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = Handle();
    dialog.lpstrFilter = "Text File (*.txt)\0*.txt\0\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof(path);
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = "txt";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameA(&dialog)) {
        return;
    }

    const int wasEnabled = polling.enabled;
    polling.enabled = 0;
    saving = true;
    UpdateToolbar();
    SetPaneText(kStatePane, "Logging");

    SYSTEMTIME now{};
    GetLocalTime(&now);
    static const LineArena kNoLines;
    if (!SaveEventLog(view != nullptr ? view->Lines() : kNoLines, path, now)) {
        MessageBoxA(Handle(), "Log File Open Request Failed", "Tessary Serial Adapter -- Event Log File Error",
                    MB_OK | MB_ICONSTOP);
    }

    saving = false;
    polling.enabled = wasEnabled != 0 ? 1 : 0;
    UpdateToolbar();
    SetPaneText(kStatePane, wasEnabled != 0 ? "Enabled" : "Halted");
}

void EventFrame::OnExit()
{
    polling.enabled = 0;
    PostMessageA(Handle(), WM_CLOSE, 0, 0);
}

void EventFrame::ShowKeyStates()
{
    const int keys[] = {VK_CAPITAL, VK_NUMLOCK, VK_SCROLL};
    const char* const names[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        SetPaneText(kCapsPane + i, (GetKeyState(keys[i]) & 1) != 0 ? names[i] : "");
    }
}

void EventFrame::AppendLine(const char* text)
{
    if (view != nullptr) {
        view->AppendLine(text);
    }
}

void EventFrame::ShowOverruns(int count)
{
    SetPaneText(kOverrunPane, OverrunText(count));
}

}  // namespace diag
