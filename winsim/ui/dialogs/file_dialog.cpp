// GetSaveFileNameA: a modal dialog (file name edit, file type list, Save
// and Cancel) that stays open until someone answers it. Save takes the typed
// name, resolves a relative one against the initial folder, adds the default
// extension when the name has none and, with OFN_OVERWRITEPROMPT, asks
// before an existing file is replaced. Hook procedures and custom templates
// are not run.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ui/dialogs/system_dialogs.h"
#include "ui/ui_events.h"
#include "ui/window_system.h"

using namespace winsim::ui;
using winsim::ui::resources::DialogItem;
using winsim::ui::resources::DialogTemplate;

namespace {

thread_local DWORD g_extendedError = 0;

DialogItem Item(uint16_t cls, uint32_t id, const char* text, DWORD style, int x, int y, int cx, int cy)
{
    return SystemDialogItem(cls, id, TextId(text), style, x, y, cx, cy);
}

DialogTemplate BuildTemplate(const std::string& title)
{
    DialogTemplate dialog = SystemDialogTemplate(title);
    dialog.cx = 240;
    dialog.cy = 66;
    dialog.items = {
        Item(kStaticClass, stc3, "File &name:", SS_LEFT, 7, 9, 50, 8),
        Item(kEditClass, edt1, "", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP, 60, 7, 173, 12),
        Item(kStaticClass, stc2, "Save as &type:", SS_LEFT, 7, 26, 50, 8),
        Item(kComboClass, cmb1, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 60, 24, 173, 60),
        Item(kButtonClass, IDOK, "&Save", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 129, 45, 50, 14),
        Item(kButtonClass, IDCANCEL, "Cancel", BS_PUSHBUTTON | WS_TABSTOP, 183, 45, 50, 14),
    };
    return dialog;
}

// The filter's descriptions: "Text File (*.txt)\0*.txt\0" pairs ending in
// an empty string.
std::vector<std::string> FilterNames(LPCSTR filter)
{
    std::vector<std::string> names;
    while (filter != nullptr && *filter != '\0') {
        names.emplace_back(filter);
        filter += std::strlen(filter) + 1;
        if (*filter == '\0') break;
        filter += std::strlen(filter) + 1;
    }
    return names;
}

size_t NameOffset(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? (path.size() > 1 && path[1] == ':' ? 2 : 0) : slash + 1;
}

// Offset of the extension (after its dot), or of the terminating zero.
size_t ExtensionOffset(const std::string& path)
{
    const size_t dot = path.rfind('.');
    return dot == std::string::npos || dot < NameOffset(path) ? path.size() : dot + 1;
}

bool IsAbsolute(const std::string& path)
{
    return (path.size() > 1 && path[1] == ':') || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

struct DialogContext {
    OPENFILENAMEA* ofn;
    std::string title;
    std::string proposed;
    std::string chosen;
    int filterIndex = 0;  // 0-based in the combo box
};

std::string Resolve(const DialogContext& context, std::string name)
{
    const OPENFILENAMEA& ofn = *context.ofn;
    if (!IsAbsolute(name) && ofn.lpstrInitialDir != nullptr && *ofn.lpstrInitialDir != '\0') {
        std::string folder = ofn.lpstrInitialDir;
        if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
        name = folder + name;
    }
    if (ExtensionOffset(name) == name.size() && ofn.lpstrDefExt != nullptr && *ofn.lpstrDefExt != '\0') {
        name += std::string(".") + ofn.lpstrDefExt;
    }
    return name;
}

bool MayReplace(HWND dialog, const DialogContext& context, const std::string& path)
{
    if (!(context.ofn->Flags & OFN_OVERWRITEPROMPT) || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    const std::string question = path.substr(NameOffset(path)) + " already exists.\nDo you want to replace it?";
    return MessageBoxA(dialog, question.c_str(), "Confirm Save As", MB_YESNO | MB_ICONWARNING) == IDYES;
}

void Save(HWND dialog, DialogContext* context)
{
    char typed[MAX_PATH] = "";
    GetDlgItemTextA(dialog, edt1, typed, sizeof(typed));
    if (typed[0] == '\0') return;
    const std::string path = Resolve(*context, typed);
    if (!MayReplace(dialog, *context, path)) return;
    context->chosen = path;
    const LRESULT type = SendDlgItemMessageA(dialog, cmb1, CB_GETCURSEL, 0, 0);
    context->filterIndex = type < 0 ? context->filterIndex : static_cast<int>(type);
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK FileDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* context = reinterpret_cast<DialogContext*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (message == WM_INITDIALOG) {
        context = reinterpret_cast<DialogContext*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        for (const std::string& name : FilterNames(context->ofn->lpstrFilter)) {
            SendDlgItemMessageA(dialog, cmb1, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        }
        SendDlgItemMessageA(dialog, cmb1, CB_SETCURSEL, static_cast<WPARAM>(context->filterIndex), 0);
        SetDlgItemTextA(dialog, edt1, context->proposed.c_str());
        ReportEvent(UiEvent{UiEvent::Kind::kFileDialog, &CurrentProgram(), context->title, context->proposed, 0});
        SetFocus(GetDlgItem(dialog, edt1));
        return FALSE;
    }
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return FALSE;
    if (LOWORD(wParam) == IDOK) Save(dialog, context);
    if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
    return TRUE;
}

// The chosen path into the caller's buffers; FALSE with FNERR_BUFFERTOOSMALL
// (and the size needed in the buffer's first two bytes) when it does not fit.
BOOL Answer(OPENFILENAMEA* ofn, const DialogContext& context)
{
    const std::string& path = context.chosen;
    if (path.size() + 1 > ofn->nMaxFile) {
        if (ofn->nMaxFile >= 2) {
            const WORD needed = static_cast<WORD>(std::min<size_t>(path.size() + 1, 0xFFFF));
            std::memcpy(ofn->lpstrFile, &needed, sizeof(needed));
        }
        g_extendedError = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    std::memcpy(ofn->lpstrFile, path.c_str(), path.size() + 1);
    ofn->nFileOffset = static_cast<WORD>(NameOffset(path));
    ofn->nFileExtension = static_cast<WORD>(ExtensionOffset(path));
    if (ofn->lpstrFileTitle != nullptr && ofn->nMaxFileTitle > 0) {
        const std::string name = path.substr(ofn->nFileOffset);
        const size_t count = std::min<size_t>(name.size(), ofn->nMaxFileTitle - 1);
        std::memcpy(ofn->lpstrFileTitle, name.data(), count);
        ofn->lpstrFileTitle[count] = '\0';
    }
    if (ofn->lpstrFilter != nullptr) ofn->nFilterIndex = static_cast<DWORD>(context.filterIndex + 1);
    const std::string extension = path.substr(ofn->nFileExtension);
    const bool different = ofn->lpstrDefExt != nullptr && !SameText(extension, ofn->lpstrDefExt);
    ofn->Flags = different ? (ofn->Flags | OFN_EXTENSIONDIFFERENT) : (ofn->Flags & ~OFN_EXTENSIONDIFFERENT);
    g_extendedError = 0;
    return TRUE;
}

}  // namespace

extern "C" {

BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA lpofn)
{
    if (lpofn == nullptr ||
        (lpofn->lStructSize != sizeof(OPENFILENAMEA) && lpofn->lStructSize != OPENFILENAME_SIZE_VERSION_400A)) {
        g_extendedError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    if (lpofn->lpstrFile == nullptr || lpofn->nMaxFile == 0) {
        g_extendedError = CDERR_INITIALIZATION;
        return FALSE;
    }
    DialogContext context;
    context.ofn = lpofn;
    context.title = lpofn->lpstrTitle != nullptr ? lpofn->lpstrTitle : "Save As";
    context.proposed = std::string(lpofn->lpstrFile, strnlen(lpofn->lpstrFile, lpofn->nMaxFile));
    const auto filters = static_cast<int>(FilterNames(lpofn->lpstrFilter).size());
    const int wanted = static_cast<int>(lpofn->nFilterIndex) - 1;
    context.filterIndex = wanted >= 0 && wanted < filters ? wanted : 0;
    const INT_PTR result = RunSystemDialog(BuildTemplate(context.title), lpofn->hwndOwner, FileDialogProc,
                                           reinterpret_cast<LPARAM>(&context));
    if (result == -1) {
        g_extendedError = CDERR_INITIALIZATION;
        return FALSE;
    }
    if (result != IDOK) {
        g_extendedError = 0;
        return FALSE;
    }
    return Answer(lpofn, context);
}

DWORD WINAPI CommDlgExtendedError(void) { return g_extendedError; }

}  // extern "C"
