#include "uitest_program.h"

#include <commctrl.h>

#include <string>

#include "uitest_frame.h"
#include "uitest_bars_window.h"
#include "uitest_ids.h"
#include "uitest_slow_commands.h"

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr int kLogTabStop = 40;

struct MainState {
    int ticks = 0;
    HIMAGELIST treeImages = nullptr;
    HWND bars = nullptr;
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

// A canvas of 100 lines, ten to a page, scrolled by its vertical bar; its
// text names the top line.
constexpr int kCanvasLines = 100;
constexpr int kCanvasPage = 10;

int ScrolledTo(HWND canvas, int code)
{
    SCROLLINFO info{sizeof(info), SIF_ALL};
    GetScrollInfo(canvas, SB_VERT, &info);
    switch (code) {
    case SB_LINEUP: return info.nPos - 1;
    case SB_LINEDOWN: return info.nPos + 1;
    case SB_PAGEUP: return info.nPos - static_cast<int>(info.nPage);
    case SB_PAGEDOWN: return info.nPos + static_cast<int>(info.nPage);
    case SB_TOP: return info.nMin;
    case SB_BOTTOM: return info.nMax;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: return info.nTrackPos;
    default: return info.nPos;
    }
}

LRESULT CALLBACK CanvasProc(HWND canvas, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        SCROLLINFO info{sizeof(info), SIF_RANGE | SIF_PAGE | SIF_POS, 0, kCanvasLines - 1, kCanvasPage, 0};
        SetScrollInfo(canvas, SB_VERT, &info, TRUE);
        return 0;
    }
    if (message == WM_VSCROLL && LOWORD(wParam) != SB_ENDSCROLL) {
        SCROLLINFO info{sizeof(info), SIF_POS};
        info.nPos = ScrolledTo(canvas, LOWORD(wParam));
        const int before = GetScrollPos(canvas, SB_VERT);
        const int now = SetScrollInfo(canvas, SB_VERT, &info, TRUE);
        if (now != before) SetWindowTextA(canvas, ("top line " + std::to_string(now)).c_str());
        return 0;
    }
    return DefWindowProcA(canvas, message, wParam, lParam);
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

HTREEITEM AddTreeItem(HWND dialog, HTREEITEM parent, const char* text, LPARAM value)
{
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<char*>(text);
    insert.item.lParam = value;
    insert.item.iImage = parent == TVI_ROOT ? 0 : 1;
    insert.item.iSelectedImage = insert.item.iImage;
    return reinterpret_cast<HTREEITEM>(
        SendDlgItemMessageA(dialog, IDC_UITEST_TREE, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

// The image list is the dialog's: the tree only shows it.
void InitTree(HWND dialog, MainState* state)
{
    state->treeImages = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0);
    ImageList_AddIcon(state->treeImages, LoadIconA(nullptr, IDI_APPLICATION));
    ImageList_AddIcon(state->treeImages, LoadIconA(nullptr, IDI_INFORMATION));
    SendDlgItemMessageA(dialog, IDC_UITEST_TREE, TVM_SETIMAGELIST, TVSIL_NORMAL,
                        reinterpret_cast<LPARAM>(state->treeImages));
    HTREEITEM first = AddTreeItem(dialog, TVI_ROOT, "QTR84PR1", 1);
    AddTreeItem(dialog, first, "COM3", 13);
    AddTreeItem(dialog, first, "COM4", 14);
    HTREEITEM second = AddTreeItem(dialog, TVI_ROOT, "QTR84PR2", 2);
    AddTreeItem(dialog, second, "COM5", 15);
    SendDlgItemMessageA(dialog, IDC_UITEST_TREE, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(first));
}

void InitMain(HWND dialog, MainState* state)
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
    for (const char* page : {"General", "Ports", "Advanced"}) {
        TCITEMA tab{};
        tab.mask = TCIF_TEXT;
        tab.pszText = const_cast<char*>(page);
        const LRESULT count = SendDlgItemMessageA(dialog, IDC_UITEST_TABS, TCM_GETITEMCOUNT, 0, 0);
        SendDlgItemMessageA(dialog, IDC_UITEST_TABS, TCM_INSERTITEMA, static_cast<WPARAM>(count),
                            reinterpret_cast<LPARAM>(&tab));
    }
    InitTree(dialog, state);
    SendDlgItemMessageA(dialog, IDC_UITEST_PROGRESS, PBM_SETRANGE32, 0, 40);
    SendDlgItemMessageA(dialog, IDC_UITEST_PROGRESS, PBM_SETSTEP, 15, 0);
    SetTimer(dialog, kTickTimer, 500, nullptr);
}

std::string TabText(HWND dialog)
{
    char text[64] = "";
    TCITEMA tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = text;
    tab.cchTextMax = sizeof(text);
    const LRESULT index = SendDlgItemMessageA(dialog, IDC_UITEST_TABS, TCM_GETCURSEL, 0, 0);
    SendDlgItemMessageA(dialog, IDC_UITEST_TABS, TCM_GETITEMA, static_cast<WPARAM>(index),
                        reinterpret_cast<LPARAM>(&tab));
    return text;
}

std::string TreeText(HWND dialog, HTREEITEM item)
{
    char text[64] = "";
    TVITEMA read{};
    read.mask = TVIF_HANDLE | TVIF_TEXT;
    read.hItem = item;
    read.pszText = text;
    read.cchTextMax = sizeof(text);
    SendDlgItemMessageA(dialog, IDC_UITEST_TREE, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read));
    return text;
}

// Opening a tree item moves the progress bar a step.
void TreeNotify(HWND dialog, const NMHDR& header)
{
    if (header.code == TVN_SELCHANGEDA) {
        const auto& change = reinterpret_cast<const NMTREEVIEWA&>(header);
        Log(dialog, "tree: " + TreeText(dialog, change.itemNew.hItem));
    } else if (header.code == NM_DBLCLK) {
        const auto item = reinterpret_cast<HTREEITEM>(
            SendDlgItemMessageA(dialog, IDC_UITEST_TREE, TVM_GETNEXTITEM, TVGN_CARET, 0));
        SendDlgItemMessageA(dialog, IDC_UITEST_PROGRESS, PBM_STEPIT, 0, 0);
        const LRESULT position = SendDlgItemMessageA(dialog, IDC_UITEST_PROGRESS, PBM_GETPOS, 0, 0);
        Log(dialog, "open: " + TreeText(dialog, item) + "\tprogress " + std::to_string(position));
    }
}

// While debug events are logged the page may not change.
LRESULT Notify(HWND dialog, const NMHDR& header)
{
    if (header.idFrom == IDC_UITEST_TREE) TreeNotify(dialog, header);
    if (header.idFrom != IDC_UITEST_TABS) return 0;
    if (header.code == TCN_SELCHANGING && IsDlgButtonChecked(dialog, IDC_UITEST_DEBUG)) {
        Log(dialog, "tab: stays on " + TabText(dialog));
        return TRUE;
    }
    if (header.code == TCN_SELCHANGE) Log(dialog, "tab: " + TabText(dialog));
    return 0;
}

void Command(HWND dialog, MainState* state, int id, int code)
{
    switch (id) {
    case IDC_UITEST_BARS:
        if (code == BN_CLICKED && !IsWindow(state->bars)) {
            state->bars = OpenBarsWindow(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE)));
        }
        break;
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
    case IDC_UITEST_FRAME:
        if (code == BN_CLICKED) OpenUiTestFrame(dialog);
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
        RunSlowCommand(dialog, id);
        break;
    }
}

INT_PTR CALLBACK MainProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<MainState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        InitMain(dialog, reinterpret_cast<MainState*>(lParam));
        return TRUE;
    case WM_TIMER:
        // A tick changes the window only while debug events are logged.
        state->ticks++;
        if (IsDlgButtonChecked(dialog, IDC_UITEST_DEBUG)) {
            SetDlgItemTextA(dialog, IDC_UITEST_TICKS, ("Ticks: " + std::to_string(state->ticks)).c_str());
        }
        return TRUE;
    case WM_COMMAND:
        Command(dialog, state, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_DESTROY:
        ImageList_Destroy(state->treeImages);
        if (IsWindow(state->bars)) DestroyWindow(state->bars);
        return TRUE;
    case WM_NOTIFY:
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, Notify(dialog, *reinterpret_cast<const NMHDR*>(lParam)));
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int WINAPI UiTestProgramMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSEXA canvas{};
    canvas.cbSize = sizeof(canvas);
    canvas.lpfnWndProc = CanvasProc;
    canvas.hInstance = instance;
    canvas.lpszClassName = "UiTestCanvas";
    RegisterClassExA(&canvas);
    RegisterUiTestFrame(instance);
    RegisterBarsWindowClass(instance);
    MainState state;
    const INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_UITEST_MAIN), nullptr, MainProc,
                                           reinterpret_cast<LPARAM>(&state));
    return static_cast<int>(result);
}
