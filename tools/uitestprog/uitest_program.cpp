#include "uitest_program.h"

#include <string>

#include "uitest_ids.h"

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr int kLogTabStop = 40;

struct MainState {
    int ticks = 0;
};

void Log(HWND dialog, const std::string& line)
{
    SendDlgItemMessageA(dialog, IDC_UITEST_LOG, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

std::string ItemText(HWND dialog, int id, UINT getLength, UINT getText, LRESULT index)
{
    const LRESULT length = SendDlgItemMessageA(dialog, id, getLength, static_cast<WPARAM>(index), 0);
    if (length < 0) return "";
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendDlgItemMessageA(dialog, id, getText, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

void InitMain(HWND dialog)
{
    const int stops[1] = {kLogTabStop};
    SendDlgItemMessageA(dialog, IDC_UITEST_LOG, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(stops));
    Log(dialog, "started\tok");
    for (const char* port : {"COM1", "COM2", "COM3", "COM4"}) {
        SendDlgItemMessageA(dialog, IDC_UITEST_PORT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(port));
    }
    SendDlgItemMessageA(dialog, IDC_UITEST_PORT, CB_SETCURSEL, 0, 0);
    CheckRadioButton(dialog, IDC_UITEST_DYNAMIC, IDC_UITEST_GEOGRAPHIC, IDC_UITEST_DYNAMIC);
    SetDlgItemTextA(dialog, IDC_UITEST_DETAILS, "line one\r\nline two");
    SetTimer(dialog, kTickTimer, 500, nullptr);
}

void Command(HWND dialog, int id, int code)
{
    switch (id) {
    case IDC_UITEST_ASK:
        if (code == BN_CLICKED) {
            const int answer = MessageBoxA(dialog, "Apply the new settings?", "UI Test -- Question",
                                           MB_YESNO | MB_ICONQUESTION);
            Log(dialog, answer == IDYES ? "answer: yes" : "answer: no");
        }
        break;
    case IDC_UITEST_ABOUT:
        if (code == BN_CLICKED) {
            auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
            DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_UITEST_ABOUT), dialog, AboutProc, 0);
        }
        break;
    case IDC_UITEST_PORT:
        if (code == CBN_SELCHANGE) {
            const LRESULT index = SendDlgItemMessageA(dialog, IDC_UITEST_PORT, CB_GETCURSEL, 0, 0);
            Log(dialog, "port: " + ItemText(dialog, IDC_UITEST_PORT, CB_GETLBTEXTLEN, CB_GETLBTEXT, index));
        }
        break;
    case IDC_UITEST_LOG:
        if (code == LBN_SELCHANGE) {
            const LRESULT index = SendDlgItemMessageA(dialog, IDC_UITEST_LOG, LB_GETCURSEL, 0, 0);
            const std::string text = ItemText(dialog, IDC_UITEST_LOG, LB_GETTEXTLEN, LB_GETTEXT, index);
            SetDlgItemTextA(dialog, IDC_UITEST_DETAILS, ("selected: " + text).c_str());
        }
        break;
    case IDC_UITEST_NOTIFY:
        if (code == STN_CLICKED) Log(dialog, "clicked");
        break;
    case IDC_UITEST_DEBUG:
        if (code == BN_CLICKED) Log(dialog, IsDlgButtonChecked(dialog, IDC_UITEST_DEBUG) ? "debug on" : "debug off");
        break;
    case IDOK:
    case IDCANCEL:
        KillTimer(dialog, kTickTimer);
        EndDialog(dialog, id);
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK MainProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<MainState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        InitMain(dialog);
        return TRUE;
    case WM_TIMER:
        // A tick changes the window only while debug events are logged.
        state->ticks++;
        if (IsDlgButtonChecked(dialog, IDC_UITEST_DEBUG)) {
            SetDlgItemTextA(dialog, IDC_UITEST_TICKS, ("Ticks: " + std::to_string(state->ticks)).c_str());
        }
        return TRUE;
    case WM_COMMAND:
        Command(dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int WINAPI UiTestProgramMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    MainState state;
    const INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_UITEST_MAIN), nullptr, MainProc,
                                           reinterpret_cast<LPARAM>(&state));
    return static_cast<int>(result);
}
