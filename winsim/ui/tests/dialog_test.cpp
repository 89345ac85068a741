// The dialog manager: creation order, focus (an edit's text selected as the
// manager gives it the focus), keyboard navigation, modal loops that keep
// the owner's timers running, and message boxes that wait for a responder.
#include <atomic>

#include "ui/dialogs/dialog_manager.h"
#include "ui/ui_events.h"
#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using DialogTest = UiTest;

constexpr int kList = 100;
constexpr int kCheck = 101;

DialogBuilder Settings()
{
    DialogBuilder builder("Settings", WS_POPUP | WS_CAPTION | WS_SYSMENU, 200, 120);
    builder.Item("Static", "&Ports:", -1, SS_LEFT, 4, 4)
        .Item("ListBox", "", kList, LBS_NOTIFY | WS_TABSTOP | WS_BORDER, 4, 16, 80, 60)
        .Item("Button", "Loopback", kCheck, BS_AUTOCHECKBOX | WS_TABSTOP, 90, 16)
        .Item("Button", "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 90, 90)
        .Item("Button", "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 140, 90);
    return builder;
}

struct Recorder {
    MessageLog log;
    std::vector<int> commands;
    bool controlsAtInit = false;
    HFONT fontAtInit = nullptr;
    bool endOnCommand = true;
};

INT_PTR CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    auto* recorder = reinterpret_cast<Recorder*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (recorder == nullptr) return FALSE;
    switch (message) {
    case WM_SETFONT:
        recorder->log.Add("WM_SETFONT children=" + std::to_string(GetWindow(hwnd, GW_CHILD) != nullptr));
        return FALSE;
    case WM_INITDIALOG:
        recorder->log.Add("WM_INITDIALOG");
        recorder->controlsAtInit = GetDlgItem(hwnd, kList) && GetDlgItem(hwnd, kCheck) && GetDlgItem(hwnd, IDOK) &&
                                   GetDlgItem(hwnd, IDCANCEL);
        recorder->fontAtInit = reinterpret_cast<HFONT>(SendDlgItemMessageA(hwnd, IDCANCEL, WM_GETFONT, 0, 0));
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED) return FALSE;
        recorder->commands.push_back(LOWORD(wParam));
        if (recorder->endOnCommand && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
            EndDialog(hwnd, LOWORD(wParam));
        }
        return TRUE;
    case WM_APP:
        SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, 1234);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK PlainProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

void Key(HWND dialog, WPARAM key)
{
    MSG msg{GetFocus(), WM_KEYDOWN, key, 0, 0, {}};
    IsDialogMessageA(dialog, &msg);
}

TEST_F(DialogTest, InitDialogComesOnceEveryControlExistsWithTheDialogFont)
{
    Recorder recorder;
    HWND dialog = CreateDialogFromTemplate(Settings().Template(), nullptr, nullptr, RecordingProc,
                                           reinterpret_cast<LPARAM>(&recorder));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(recorder.controlsAtInit);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(recorder.fontAtInit, font);
    EXPECT_EQ(recorder.log.lines.back(), "WM_INITDIALOG");
    // The first tab stop took the focus, as WM_INITDIALOG returned TRUE.
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kList));
    // 8-point font: 6 x 13 base units, so 4 x 8 dialog units make 6 x 13 pixels.
    RECT rect{0, 0, 4, 8};
    MapDialogRect(dialog, &rect);
    EXPECT_EQ(rect.right, 6);
    EXPECT_EQ(rect.bottom, 13);
    EXPECT_EQ(program_->gdiObjects.load(), 1);
    DestroyWindow(dialog);
}

TEST_F(DialogTest, DialogProcedureResultsComeBackThroughMsgResult)
{
    Recorder recorder;
    HWND dialog = CreateDialogFromTemplate(Settings().Template(), nullptr, nullptr, RecordingProc,
                                           reinterpret_cast<LPARAM>(&recorder));
    EXPECT_EQ(SendMessageA(dialog, WM_APP, 0, 0), 1234);
    EXPECT_EQ(SendMessageA(dialog, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
    DestroyWindow(dialog);
}

TEST_F(DialogTest, TabEnterAndEscapeNavigateAsTheDialogManagerDoes)
{
    Recorder recorder;
    recorder.endOnCommand = false;
    HWND dialog = CreateDialogFromTemplate(Settings().Template(), nullptr, nullptr, RecordingProc,
                                           reinterpret_cast<LPARAM>(&recorder));
    ShowWindow(dialog, SW_SHOW);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kList));
    Key(dialog, VK_TAB);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kCheck));
    Key(dialog, VK_RETURN);  // the default button answers Enter
    Key(dialog, VK_ESCAPE);
    Key(dialog, VK_TAB);
    Key(dialog, VK_TAB);
    Key(dialog, VK_RETURN);  // a focused push button answers Enter itself
    EXPECT_EQ(recorder.commands, (std::vector<int>{IDOK, IDCANCEL, IDCANCEL}));
    Key(dialog, VK_TAB);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kList));

    EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
    Key(dialog, VK_ESCAPE);  // a disabled Cancel cannot be pressed
    EXPECT_EQ(recorder.commands.size(), 3u);
    DestroyWindow(dialog);
}

// The shift key counts as held once the thread has taken its key-down from
// the queue, as GetKeyState reads it.
void TakeKey(HWND hwnd, UINT message, WPARAM key)
{
    PostMessageA(hwnd, message, key, 0);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
}

TEST_F(DialogTest, ShiftTabGoesBackThroughTheTabStops)
{
    Recorder recorder;
    HWND dialog = CreateDialogFromTemplate(Settings().Template(), nullptr, nullptr, RecordingProc,
                                           reinterpret_cast<LPARAM>(&recorder));
    ShowWindow(dialog, SW_SHOW);
    TakeKey(dialog, WM_KEYDOWN, VK_SHIFT);
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    Key(dialog, VK_TAB);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDCANCEL));  // back from the first stop to the last
    Key(dialog, VK_TAB);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
    TakeKey(dialog, WM_KEYUP, VK_SHIFT);
    EXPECT_EQ(GetKeyState(VK_SHIFT), 0);
    Key(dialog, VK_TAB);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDCANCEL));
    DestroyWindow(dialog);
}

TEST_F(DialogTest, EscapeClosesADroppedListBeforeTheDialog)
{
    Recorder recorder;
    recorder.endOnCommand = false;
    DialogBuilder builder("Port", WS_POPUP | WS_CAPTION, 120, 80);
    builder.Item("ComboBox", "", kList, CBS_DROPDOWNLIST | WS_TABSTOP, 4, 4, 60, 50)
        .Item("Button", "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 70, 60);
    HWND dialog = CreateDialogFromTemplate(builder.Template(), nullptr, nullptr, RecordingProc,
                                           reinterpret_cast<LPARAM>(&recorder));
    HWND combo = GetDlgItem(dialog, kList);
    SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
    Key(dialog, VK_ESCAPE);
    EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_TRUE(recorder.commands.empty());
    Key(dialog, VK_ESCAPE);  // closed, Escape is the dialog's again
    EXPECT_EQ(recorder.commands, (std::vector<int>{IDCANCEL}));
    DestroyWindow(dialog);
}

TEST_F(DialogTest, TabGoesThroughTheControlsOfTheShownPageOnly)
{
    Recorder recorder;
    HWND dialog = CreateDialogFromTemplate(Settings().Template(), nullptr, nullptr, RecordingProc,
                                           reinterpret_cast<LPARAM>(&recorder));
    ShowWindow(dialog, SW_SHOW);
    auto page = [&](DWORD visible) {
        DialogBuilder builder("", WS_CHILD | DS_CONTROL | visible, 80, 40);
        builder.Item("Button", "One", 300, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 0, 0)
            .Item("Button", "Two", 301, BS_AUTORADIOBUTTON, 0, 12);
        return CreateDialogFromTemplate(builder.Template(), nullptr, dialog, PlainProc, 0);
    };
    HWND shown = page(WS_VISIBLE);
    HWND hidden = page(0);
    EXPECT_NE(GetWindowLongPtrA(shown, GWL_EXSTYLE) & WS_EX_CONTROLPARENT, 0);
    SetFocus(GetDlgItem(dialog, IDCANCEL));
    Key(dialog, VK_TAB);
    EXPECT_EQ(GetFocus(), GetDlgItem(shown, 300));  // into the page, not onto it
    Key(dialog, VK_DOWN);                            // the group is the page's own
    EXPECT_EQ(GetFocus(), GetDlgItem(shown, 301));
    Key(dialog, VK_TAB);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kList));  // past the hidden page, round to the first
    EXPECT_EQ(GetNextDlgTabItem(dialog, GetDlgItem(hidden, 300), FALSE), GetDlgItem(dialog, kList));
    DestroyWindow(dialog);
}

// A WM_INITDIALOG that turns the first tab stop into a container holding a
// shown page, as a tabbed dialog whose pages live in its tab control does.
constexpr int kContainer = 102;

struct ContainerInit {
    HWND named = nullptr;  // the control WM_INITDIALOG's wParam named
    HWND page = nullptr;
};

INT_PTR CALLBACK ContainerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG) return FALSE;
    auto* init = reinterpret_cast<ContainerInit*>(lParam);
    init->named = reinterpret_cast<HWND>(wParam);
    HWND container = GetDlgItem(hwnd, kContainer);
    SetWindowLongPtrA(container, GWL_EXSTYLE, GetWindowLongPtrA(container, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    DialogBuilder page("", WS_CHILD | DS_CONTROL | WS_VISIBLE, 80, 40);
    page.Item("Static", "Ports", -1, SS_LEFT, 0, 0).Item("ListBox", "", 300, WS_TABSTOP, 0, 12);
    init->page = CreateDialogFromTemplate(page.Template(), nullptr, container, PlainProc, 0);
    return TRUE;
}

TEST_F(DialogTest, TheDefaultFocusIsTheFirstTabStopAsWmInitDialogLeftTheDialog)
{
    DialogBuilder builder("Tabs", WS_POPUP | WS_CAPTION, 200, 120);
    builder.Item("Static", "", kContainer, WS_TABSTOP, 4, 4, 150, 80)
        .Item("Button", "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 90, 90);
    ContainerInit init;
    HWND dialog = CreateDialogFromTemplate(builder.Template(), nullptr, nullptr, ContainerProc,
                                           reinterpret_cast<LPARAM>(&init));
    ASSERT_NE(dialog, nullptr);
    ASSERT_NE(init.page, nullptr);
    // Before WM_INITDIALOG the container was itself the first tab stop ...
    EXPECT_EQ(init.named, GetDlgItem(dialog, kContainer));
    // ... afterwards it stands for its page's controls.
    EXPECT_EQ(GetFocus(), GetDlgItem(init.page, 300));
    DestroyWindow(dialog);
}

DWORD Selection(HWND edit)
{
    return static_cast<DWORD>(SendMessageA(edit, EM_GETSEL, 0, 0));
}

TEST_F(DialogTest, AnEditTheManagerFocusesHasItsWholeTextSelected)
{
    constexpr int kName = 103;
    DialogBuilder builder("Name", WS_POPUP | WS_CAPTION, 200, 120);
    builder.Item("Edit", "COM3", kName, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 4, 4, 80, 12)
        .Item("Button", "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 90, 90);
    HWND dialog = CreateDialogFromTemplate(builder.Template(), nullptr, nullptr, PlainProc, 0);
    HWND edit = GetDlgItem(dialog, kName);
    ASSERT_EQ(GetFocus(), edit);
    EXPECT_EQ(Selection(edit), static_cast<DWORD>(MAKELONG(0, 4)));  // the default focus

    Key(dialog, VK_TAB);
    SendMessageA(edit, EM_SETSEL, 2, 2);
    Key(dialog, VK_TAB);
    ASSERT_EQ(GetFocus(), edit);
    EXPECT_EQ(Selection(edit), static_cast<DWORD>(MAKELONG(0, 4)));  // tabbed into

    SetFocus(GetDlgItem(dialog, IDOK));
    SendMessageA(edit, EM_SETSEL, 2, 2);
    SetFocus(edit);  // the program's own SetFocus leaves the selection alone
    EXPECT_EQ(Selection(edit), static_cast<DWORD>(MAKELONG(2, 2)));
    DestroyWindow(dialog);
}

struct NamedFocus {
    HWND named = nullptr;
};

INT_PTR CALLBACK NamingProc(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG) return FALSE;
    reinterpret_cast<NamedFocus*>(lParam)->named = reinterpret_cast<HWND>(wParam);
    return TRUE;
}

TEST_F(DialogTest, WithoutATabStopTheFirstEnabledControlTakesTheFocus)
{
    DialogBuilder builder("Plain", WS_POPUP | WS_CAPTION, 200, 120);
    builder.Item("Button", "Disabled", 111, BS_PUSHBUTTON | WS_DISABLED, 4, 20)
        .Item("Button", "First", 112, BS_PUSHBUTTON, 4, 36)
        .Item("Button", "Second", 113, BS_PUSHBUTTON, 4, 52);
    NamedFocus init;
    HWND dialog = CreateDialogFromTemplate(builder.Template(), nullptr, nullptr, NamingProc,
                                           reinterpret_cast<LPARAM>(&init));
    EXPECT_EQ(init.named, GetDlgItem(dialog, 112));
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 112));
    DestroyWindow(dialog);
}

TEST_F(DialogTest, ClosingADialogPressesCancel)
{
    Recorder recorder;
    HWND dialog = CreateDialogFromTemplate(Settings().Template(), nullptr, nullptr, RecordingProc,
                                           reinterpret_cast<LPARAM>(&recorder));
    SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    EXPECT_EQ(recorder.commands, std::vector<int>{IDCANCEL});
    EXPECT_FALSE(IsWindowVisible(dialog));
    DestroyWindow(dialog);
}

TEST_F(DialogTest, MessageBoxWaitsForAnAnswerWhileItsOwnerIsDisabledAndTicks)
{
    TakeEvents();
    std::atomic<int> answer{0};
    {
        UiThread ui(program_.get(), [&](HWND owner) {
            answer = MessageBoxA(owner, "Remap COM3 now?", "Tessary Serial Adapter -- Remap",
                                 MB_YESNO | MB_ICONQUESTION);
        });
        Settle();
        HWND box = FindWindowA("#32770", "Tessary Serial Adapter -- Remap");
        ASSERT_NE(box, nullptr);
        EXPECT_FALSE(IsWindowEnabled(ui.Owner()));
        EXPECT_EQ(GetForegroundWindow(), box);
        std::vector<UiEvent> events = TakeEvents();
        ASSERT_EQ(events.size(), 2u);  // the owner opened, then the box
        EXPECT_EQ(events[1].kind, UiEvent::Kind::kMessageBox);
        EXPECT_EQ(events[1].text, "Remap COM3 now?");
        EXPECT_EQ(events[1].type, static_cast<unsigned>(MB_YESNO | MB_ICONQUESTION));

        // Read between ticks: at a tick's own instant the count depends on
        // which thread the host runs first.
        const int before = ui.Ticks();
        Advance(2250);
        EXPECT_EQ(ui.Ticks() - before, 4);
        EXPECT_EQ(answer.load(), 0);

        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);  // no Cancel: nothing happens
        Settle();
        EXPECT_TRUE(IsWindow(box));
        PostMessageA(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
        Settle();
        EXPECT_FALSE(IsWindow(box));
        EXPECT_EQ(answer.load(), IDNO);
    }
    EXPECT_EQ(program_->windows.load(), 0);
}

TEST_F(DialogTest, AWorkerSendingToAThreadInAModalLoopIsAnswered)
{
    std::atomic<int> answer{0};
    std::atomic<bool> ownerEnabledAfter{false};
    UiThread ui(program_.get(), [&](HWND owner) {
        answer = MessageBoxA(owner, "Busy", "Test", MB_OK);
        ownerEnabledAfter = IsWindowEnabled(owner) != FALSE;
    });
    Settle();
    HWND box = FindWindowA("#32770", "Test");
    ASSERT_NE(box, nullptr);
    LRESULT length = 0;
    Thread worker = Scheduler::Instance().Spawn("worker", [&] {
        length = SendMessageA(ui.Owner(), WM_GETTEXTLENGTH, 0, 0);
        SendMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);  // Escape answers OK here
    });
    worker.Join();
    Settle();
    EXPECT_EQ(length, 5);
    EXPECT_EQ(answer.load(), IDOK);
    EXPECT_TRUE(ownerEnabledAfter);
}

}  // namespace
}  // namespace winsim::ui::test
