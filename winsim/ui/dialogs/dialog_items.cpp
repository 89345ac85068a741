// The dialog item helpers: each is a message to a control found by its id.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/dialogs/dialog_manager.h"
#include "ui/gdi/font_metrics.h"

using namespace winsim::ui;

extern "C" {

LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control != nullptr ? SendMessageA(control, Msg, wParam, lParam) : 0;
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString)
{
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control != nullptr ? SetWindowTextA(control, lpString) : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax)
{
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    if (control == nullptr) {
        if (lpString != nullptr && cchMax > 0) lpString[0] = '\0';
        return 0;
    }
    return static_cast<UINT>(GetWindowTextA(control, lpString, cchMax));
}

BOOL WINAPI SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned)
{
    std::string text = bSigned ? std::to_string(static_cast<int>(uValue)) : std::to_string(uValue);
    return SetDlgItemTextA(hDlg, nIDDlgItem, text.c_str());
}

UINT WINAPI GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned)
{
    char text[64];
    GetDlgItemTextA(hDlg, nIDDlgItem, text, sizeof(text));
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    const bool ok = end != text && *end == '\0' && (bSigned || value >= 0);
    if (lpTranslated != nullptr) *lpTranslated = ok ? TRUE : FALSE;
    return ok ? static_cast<UINT>(value) : 0;
}

BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck)
{
    HWND control = GetDlgItem(hDlg, nIDButton);
    if (control == nullptr) return FALSE;
    SendMessageA(control, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton)
{
    return static_cast<UINT>(SendDlgItemMessageA(hDlg, nIDButton, BM_GETCHECK, 0, 0));
}

BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton)
{
    for (int id = nIDFirstButton; id <= nIDLastButton; ++id) {
        if (HWND control = GetDlgItem(hDlg, id)) {
            SendMessageA(control, BM_SETCHECK, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
    return TRUE;
}

BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect)
{
    std::shared_ptr<DialogState> state = DialogStateOf(hDlg);
    if (!state) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    lpRect->left = DialogUnitsToPixels(lpRect->left, state->baseUnitX, 4);
    lpRect->right = DialogUnitsToPixels(lpRect->right, state->baseUnitX, 4);
    lpRect->top = DialogUnitsToPixels(lpRect->top, state->baseUnitY, 8);
    lpRect->bottom = DialogUnitsToPixels(lpRect->bottom, state->baseUnitY, 8);
    return TRUE;
}

LONG WINAPI GetDialogBaseUnits(void)
{
    TEXTMETRICA system = SystemFontMetrics();
    return MAKELONG(system.tmAveCharWidth, system.tmHeight);
}

BOOL WINAPI MessageBeep(UINT uType) { return TRUE; }

}  // extern "C"
