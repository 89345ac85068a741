// On Windows the observed program is another process: the buffer lives in
// its address space. When that memory cannot be had, nothing is sent (a
// pointer into this process would make the other one fault).
#include "target_access.h"

#include <map>

namespace uidump {

TargetBuffer::TargetBuffer(HWND window, size_t size) : window(window), bytes(size)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == GetCurrentProcessId()) return;
    process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process == nullptr) process = INVALID_HANDLE_VALUE;
    else remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

TargetBuffer::~TargetBuffer()
{
    if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    if (process != nullptr && process != INVALID_HANDLE_VALUE) CloseHandle(process);
}

LPARAM TargetBuffer::At(size_t offset) const
{
    const BYTE* base = process != nullptr ? static_cast<const BYTE*>(remote) : bytes.data();
    return reinterpret_cast<LPARAM>(base + offset);
}

namespace {

// The file the process was started from.
std::string ImageOf(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) return "";
    char path[MAX_PATH] = "";
    DWORD size = sizeof(path);
    const bool ok = QueryFullProcessImageNameA(process, 0, path, &size) != FALSE;
    CloseHandle(process);
    return ok ? std::string(path, size) : "";
}

BOOL CALLBACK FirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found)
{
    *reinterpret_cast<LPCSTR*>(found) = IS_INTRESOURCE(name) ? name : nullptr;
    return FALSE;
}

// Steps over a template's menu, class or title field.
const WORD* SkipField(const WORD* field)
{
    if (*field == 0xFFFF) return field + 2;
    while (*field != 0) ++field;
    return field + 1;
}

INT_PTR CALLBACK NoDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// The base units of a dialog in the font of the image's first dialog
// template, measured on an empty dialog made here in that font; without one,
// the system font's.
SIZE MeasureFontOf(const std::string& image)
{
    const LONG system = GetDialogBaseUnits();
    SIZE units{LOWORD(system), HIWORD(system)};
    HMODULE module = image.empty() ? nullptr : LoadLibraryExA(image.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return units;
    LPCSTR first = nullptr;
    EnumResourceNamesA(module, RT_DIALOG, FirstName, reinterpret_cast<LONG_PTR>(&first));
    HRSRC resource = first != nullptr ? FindResourceA(module, first, RT_DIALOG) : nullptr;
    const auto* words = resource != nullptr ? static_cast<const WORD*>(LockResource(LoadResource(module, resource)))
                                            : nullptr;
    const bool extended = words != nullptr && words[1] == 0xFFFF;
    // DLGTEMPLATEEX: style at word 6, fields after word 13; DLGTEMPLATE:
    // style at word 0, fields after word 9.
    if (words != nullptr) {
        const DWORD style = extended ? MAKELONG(words[6], words[7]) : MAKELONG(words[0], words[1]);
        const WORD* field = SkipField(SkipField(SkipField(words + (extended ? 13 : 9))));
        if (style & DS_SETFONT) {
            std::vector<WORD> empty{1, 0xFFFF, 0, 0, 0, 0, LOWORD(DS_SETFONT), HIWORD(WS_POPUP), 0, 0, 0, 10, 10, 0, 0, 0};
            empty.push_back(field[0]);  // point size
            empty.push_back(extended ? field[1] : FW_NORMAL);
            empty.push_back(extended ? field[2] : 0);  // italic, character set
            for (const WORD* face = field + (extended ? 3 : 1); *face != 0; ++face) empty.push_back(*face);
            empty.push_back(0);
            HWND measured = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                                       reinterpret_cast<LPCDLGTEMPLATEA>(empty.data()), nullptr,
                                                       NoDialogProc, 0);
            RECT box{0, 0, 4, 8};
            if (measured != nullptr && MapDialogRect(measured, &box)) units = SIZE{box.right, box.bottom};
            if (measured != nullptr) DestroyWindow(measured);
        }
    }
    FreeLibrary(module);
    return units;
}

}  // namespace

LRESULT TargetBuffer::Send(UINT message, WPARAM wParam)
{
    if (process == nullptr) return SendMessageA(window, message, wParam, At(0));
    if (remote == nullptr || !WriteProcessMemory(process, remote, bytes.data(), bytes.size(), nullptr)) return 0;
    const LRESULT result = SendMessageA(window, message, wParam, At(0));
    if (!ReadProcessMemory(process, remote, bytes.data(), bytes.size(), nullptr)) return 0;
    return result;
}

std::string ListItemText(HWND control, bool combo, int index)
{
    const LRESULT length = SendMessageW(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, index, 0);
    if (length <= 0) return "";
    std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(control, combo ? CB_GETLBTEXT : LB_GETTEXT, index, reinterpret_cast<LPARAM>(wide.data()));
    if (copied <= 0) return "";
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(copied), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(copied), text.data(), size, nullptr, nullptr);
    return text;
}

SIZE DialogBaseUnits(HWND dialog)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(dialog, &processId);
    RECT box{0, 0, 4, 8};
    if (processId == GetCurrentProcessId() && MapDialogRect(dialog, &box)) return SIZE{box.right, box.bottom};
    static std::map<DWORD, SIZE> known;
    auto found = known.find(processId);
    if (found == known.end()) found = known.emplace(processId, MeasureFontOf(ImageOf(processId))).first;
    return found->second;
}

}  // namespace uidump
