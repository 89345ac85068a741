// Dialog creation in Windows' order: the dialog window (hidden), WM_SETFONT
// to it, each control in template order with WM_SETFONT right after it,
// WM_INITDIALOG once every control exists, the default focus, then showing.
#include "ui/dialogs/dialog_manager.h"

#include <cstring>

#include "ui/gdi/font_metrics.h"
#include "ui/window_system.h"

namespace winsim::ui {

namespace {

using resources::DialogTemplate;
using resources::ResourceId;
using resources::ToAnsi;


HFONT CreateTemplateFont(const resources::DialogFont& font, TEXTMETRICA* metrics)
{
    LOGFONTA lf{};
    lf.lfHeight = HeightForPoints(font.pointSize);
    lf.lfWeight = font.weight;
    lf.lfItalic = font.italic ? 1 : 0;
    lf.lfCharSet = font.charset;
    std::string face = ToAnsi(font.face);
    std::strncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    *metrics = MetricsOf(lf);
    return CreateFontIndirectA(&lf);
}

// Where a top-level dialog goes: its template position from the owner's
// client area, or centred on the owner (or the screen) with DS_CENTER.
POINT TopLevelOrigin(const DialogTemplate& dialog, HWND owner, POINT offset, SIZE size)
{
    if (dialog.style & DS_CENTER) {
        RECT around;
        GetWindowRect(owner != nullptr ? owner : GetDesktopWindow(), &around);
        return POINT{around.left + ((around.right - around.left) - size.cx) / 2,
                     around.top + ((around.bottom - around.top) - size.cy) / 2};
    }
    POINT origin{0, 0};
    if (owner != nullptr && !(dialog.style & DS_ABSALIGN)) ClientToScreen(owner, &origin);
    return POINT{origin.x + offset.x, origin.y + offset.y};
}

std::string ClassOf(const DialogTemplate& dialog)
{
    if (!dialog.windowClass) return "#32770";
    if (dialog.windowClass->IsOrdinal()) return "#" + std::to_string(dialog.windowClass->Ordinal());
    return ToAnsi(dialog.windowClass->Name());
}

// A control's text; an ordinal (the icon of an SS_ICON static) reaches the
// control as "#N", which is how it names a resource.
std::string TitleOf(const ResourceId& title)
{
    if (title.IsOrdinal()) return title.Ordinal() == 0 ? "" : "#" + std::to_string(title.Ordinal());
    return ToAnsi(title.Name());
}

bool CreateControls(HWND hwnd, const DialogTemplate& dialog, HINSTANCE instance, HFONT font, LONG baseX,
                    LONG baseY)
{
    for (const resources::DialogItem& item : dialog.items) {
        std::string className = ToAnsi(item.ClassName());
        std::string text = TitleOf(item.title);
        LPVOID creationData = item.creationData.empty() ? nullptr : const_cast<uint8_t*>(item.creationData.data());
        HWND control = CreateWindowExA(
            item.exStyle | WS_EX_NOPARENTNOTIFY, className.c_str(), text.c_str(), item.style | WS_CHILD,
            DialogUnitsToPixels(item.x, baseX, 4), DialogUnitsToPixels(item.y, baseY, 8),
            DialogUnitsToPixels(item.cx, baseX, 4), DialogUnitsToPixels(item.cy, baseY, 8),
            hwnd, reinterpret_cast<HMENU>(static_cast<ULONG_PTR>(item.id)), instance, creationData);
        if (control == nullptr) {
            if (dialog.style & DS_NOFAILCREATE) continue;
            return false;
        }
        if (font != nullptr) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return true;
}

}  // namespace

std::shared_ptr<DialogState> DialogStateOf(HWND hwnd)
{
    std::shared_ptr<DialogState> state;
    WithWindow(hwnd, [&](Window& window) { state = window.dialog; });
    return state;
}

HWND CreateDialogFromTemplate(const DialogTemplate& dialog, HINSTANCE instance, HWND parent, DLGPROC proc,
                              LPARAM param, const DialogOptions& options)
{
    auto state = std::make_shared<DialogState>();
    TEXTMETRICA metrics = SystemFontMetrics();
    if (dialog.font) {
        state->font = CreateTemplateFont(*dialog.font, &metrics);
        state->ownsFont = true;
    }
    state->baseUnitX = metrics.tmAveCharWidth;
    state->baseUnitY = metrics.tmHeight;
    state->modal = options.modal;

    const bool child = (dialog.style & WS_CHILD) != 0;
    HWND owner = !child && parent != nullptr ? GetAncestor(parent, GA_ROOT) : nullptr;
    const DWORD style = dialog.style & ~WS_VISIBLE;
    // A pop-up dialog's template may name its menu bar, which sits above the client area.
    HMENU menu = nullptr;
    if (!child && dialog.menu) {
        const std::string name = dialog.menu->IsOrdinal() ? "#" + std::to_string(dialog.menu->Ordinal())
                                                          : ToAnsi(dialog.menu->Name());
        menu = LoadMenuA(instance, name.c_str());
    }
    RECT frame{0, 0, DialogUnitsToPixels(dialog.cx, state->baseUnitX, 4),
               DialogUnitsToPixels(dialog.cy, state->baseUnitY, 8)};
    AdjustWindowRectEx(&frame, style, menu != nullptr, dialog.exStyle);
    SIZE size{frame.right - frame.left, frame.bottom - frame.top};
    POINT offset{DialogUnitsToPixels(dialog.x, state->baseUnitX, 4),
                 DialogUnitsToPixels(dialog.y, state->baseUnitY, 8)};
    POINT origin = child ? offset : TopLevelOrigin(dialog, owner, offset, size);

    std::string className = ClassOf(dialog);
    std::string title = ToAnsi(dialog.title);
    // A DS_CONTROL dialog is part of its parent's navigation, as Windows makes it.
    const DWORD exStyle = dialog.exStyle | ((dialog.style & DS_CONTROL) ? WS_EX_CONTROLPARENT : 0);
    HWND hwnd = CreateWindowExA(exStyle, className.c_str(), title.c_str(), style, origin.x, origin.y, size.cx,
                                size.cy, child ? parent : owner, menu, instance, nullptr);
    if (hwnd == nullptr) {
        if (menu != nullptr) DestroyMenu(menu);
        if (state->ownsFont) DeleteObject(state->font);
        return nullptr;
    }
    WithWindow(hwnd, [&](Window& window) {
        window.dialog = state;
        window.messageBox = options.messageBox;
    });
    SetWindowLongPtrA(hwnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    if (state->font != nullptr) SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), FALSE);
    if (!CreateControls(hwnd, dialog, instance, state->font, state->baseUnitX, state->baseUnitY)) {
        DestroyWindow(hwnd);
        return nullptr;
    }

    HWND first = DefaultFocusOf(hwnd);
    const LRESULT setDefaultFocus = SendMessageA(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    if (!IsWindow(hwnd)) return nullptr;
    // WM_INITDIALOG may have changed the tab order (shown a page, made a
    // control a container with WS_EX_CONTROLPARENT): the default focus is the
    // first tab stop as the dialog stands now, not the one wParam named.
    if (setDefaultFocus) first = DefaultFocusOf(hwnd);
    if (setDefaultFocus && first != nullptr) {
        // A page inside another window keeps its first control for when it
        // is entered; a top-level dialog takes the focus now.
        if (child) {
            state->lastFocus = first;
        } else {
            MoveDialogFocus(first);
        }
    }
    if ((dialog.style & WS_VISIBLE) && !options.modal) ShowWindow(hwnd, SW_SHOWNORMAL);
    return hwnd;
}

INT_PTR DialogBoxFromTemplate(const DialogTemplate& dialog, HINSTANCE instance, HWND parent, DLGPROC proc,
                              LPARAM param, const DialogOptions& options)
{
    DialogOptions modal = options;
    modal.modal = true;
    HWND hwnd = CreateDialogFromTemplate(dialog, instance, parent, proc, param, modal);
    if (hwnd == nullptr) return -1;
    std::shared_ptr<DialogState> state = DialogStateOf(hwnd);
    HWND owner = GetWindow(hwnd, GW_OWNER);
    if (owner != nullptr && IsWindowEnabled(owner)) {
        state->owner = owner;
        EnableWindow(owner, FALSE);
    }
    if (!state->ended) ShowWindow(hwnd, SW_SHOWNORMAL);
    while (!state->ended && IsWindow(hwnd)) {
        MSG msg;
        if (!GetMessageA(&msg, nullptr, 0, 0)) {
            // The quit request belongs to the loop around this one.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageA(hwnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (state->owner != nullptr) {
        EnableWindow(state->owner, TRUE);
        state->owner = nullptr;
    }
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    return state->result;
}

}  // namespace winsim::ui

using namespace winsim::ui;

namespace {

// An in-memory template as CreateDialogIndirect receives it carries no
// length; it is read no further than its own contents reach.
constexpr size_t kTemplateReadLimit = 0x10000;

bool ParseIndirect(LPCDLGTEMPLATEA templ, winsim::ui::resources::DialogTemplate* out)
{
    if (templ == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    auto parsed = winsim::ui::resources::ParseDialogTemplate(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(templ), kTemplateReadLimit));
    if (!parsed) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    *out = *std::move(parsed);
    return true;
}

}  // namespace

extern "C" {

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA lpTemplate, HWND hWndParent,
                                       DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    winsim::ui::resources::DialogTemplate dialog;
    if (!ParseIndirect(lpTemplate, &dialog)) return nullptr;
    return CreateDialogFromTemplate(dialog, hInstance, hWndParent, lpDialogFunc, dwInitParam);
}

INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA hDialogTemplate, HWND hWndParent,
                                       DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    winsim::ui::resources::DialogTemplate dialog;
    if (!ParseIndirect(hDialogTemplate, &dialog)) return -1;
    return DialogBoxFromTemplate(dialog, hInstance, hWndParent, lpDialogFunc, dwInitParam);
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult)
{
    std::shared_ptr<DialogState> state = DialogStateOf(hDlg);
    if (!state) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    state->ended = true;
    state->result = nResult;
    // The owner comes back before the dialog goes, so it takes the activation.
    if (state->owner != nullptr) {
        EnableWindow(state->owner, TRUE);
        state->owner = nullptr;
    }
    ShowWindow(hDlg, SW_HIDE);
    // Wakes the modal loop even when EndDialog came from a sent message.
    PostMessageA(hDlg, WM_NULL, 0, 0);
    return TRUE;
}

}  // extern "C"
