// The Edit class to the depth the system uses it: text with lines split at
// CR LF, selection, replacing the selection, tab stops, read-only state,
// and the first visible line of a multi-line control.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ui/controls/control_procs.h"
#include "ui/controls/control_state.h"

namespace winsim::ui {

namespace {

constexpr int kDefaultTabStop = 32;  // dialog units
constexpr size_t kDefaultLimit = 30000;

struct EditState : ControlState {
    std::vector<int> tabStops{kDefaultTabStop};
    size_t selStart = 0;
    size_t selEnd = 0;
    size_t limit = kDefaultLimit;
    int firstVisible = 0;
};

std::string TextOf(HWND hwnd)
{
    std::string text(static_cast<size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Offsets where each line starts.
std::vector<size_t> LineStarts(const std::string& text)
{
    std::vector<size_t> starts{0};
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '\r' && text[i + 1] == '\n') starts.push_back(i + 2);
    }
    return starts;
}

size_t LineLength(const std::string& text, const std::vector<size_t>& starts, size_t line)
{
    const size_t end = line + 1 < starts.size() ? starts[line + 1] - 2 : text.size();
    return end - starts[line];
}

int LineOf(const std::vector<size_t>& starts, size_t offset)
{
    auto it = std::upper_bound(starts.begin(), starts.end(), offset);
    return static_cast<int>(it - starts.begin()) - 1;
}

int VisibleLines(HWND hwnd, const EditState* state)
{
    RECT client;
    GetClientRect(hwnd, &client);
    return std::max<int>(1, client.bottom / FontMetrics(state->font).tmHeight);
}

void ScrollTo(HWND hwnd, EditState* state, int line)
{
    const int lines = static_cast<int>(LineStarts(TextOf(hwnd)).size());
    line = std::clamp(line, 0, std::max(0, lines - 1));
    if (line == state->firstVisible) return;
    state->firstVisible = line;
    InvalidateRect(hwnd, nullptr, TRUE);
}

void ReplaceSelection(HWND hwnd, EditState* state, const char* replacement)
{
    std::string text = TextOf(hwnd);
    const size_t start = std::min({state->selStart, state->selEnd, text.size()});
    const size_t end = std::min(std::max(state->selStart, state->selEnd), text.size());
    text.replace(start, end - start, replacement);
    DefWindowProcA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    state->selStart = state->selEnd = start + std::strlen(replacement);
    InvalidateRect(hwnd, nullptr, TRUE);
    NotifyParent(hwnd, EN_CHANGE);
}

LRESULT LineMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, EditState* state)
{
    const std::string text = TextOf(hwnd);
    const std::vector<size_t> starts = LineStarts(text);
    const auto caretLine = static_cast<size_t>(LineOf(starts, state->selEnd));
    switch (message) {
    case EM_GETLINECOUNT:
        return static_cast<LRESULT>(starts.size());
    case EM_LINEINDEX: {
        const size_t line = static_cast<int>(wParam) == -1 ? caretLine : wParam;
        return line < starts.size() ? static_cast<LRESULT>(starts[line]) : -1;
    }
    case EM_LINELENGTH: {
        const size_t offset = static_cast<int>(wParam) == -1 ? state->selEnd : wParam;
        return static_cast<LRESULT>(LineLength(text, starts, static_cast<size_t>(LineOf(starts, offset))));
    }
    case EM_LINEFROMCHAR: {
        const size_t offset = static_cast<int>(wParam) == -1 ? state->selEnd : wParam;
        return LineOf(starts, offset);
    }
    case EM_GETLINE: {
        if (wParam >= starts.size()) return 0;
        auto* buffer = reinterpret_cast<char*>(lParam);
        WORD capacity;
        std::memcpy(&capacity, buffer, sizeof(capacity));
        const size_t count = std::min<size_t>(capacity, LineLength(text, starts, wParam));
        std::memcpy(buffer, text.data() + starts[wParam], count);
        return static_cast<LRESULT>(count);
    }
    case EM_SCROLLCARET: {
        const int line = static_cast<int>(caretLine);
        const int visible = VisibleLines(hwnd, state);
        if (line < state->firstVisible) ScrollTo(hwnd, state, line);
        if (line >= state->firstVisible + visible) ScrollTo(hwnd, state, line - visible + 1);
        return TRUE;
    }
    default:
        return 0;
    }
}

void Paint(HWND hwnd, EditState* state)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    // A read-only or disabled edit asks for a static's colours.
    const bool editable = !(StyleOf(hwnd) & ES_READONLY) && IsWindowEnabled(hwnd);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, ControlColors(hwnd, dc, editable ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC));
    if (!IsWindowEnabled(hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    if (state->font != nullptr) SelectObject(dc, state->font);
    const TEXTMETRICA metrics = FontMetrics(state->font);
    std::vector<int> stops;
    for (int stop : state->tabStops) stops.push_back(stop * metrics.tmAveCharWidth / 4);
    const std::string text = TextOf(hwnd);
    const std::vector<size_t> starts = LineStarts(text);
    const size_t last = std::min(starts.size(), static_cast<size_t>(state->firstVisible + VisibleLines(hwnd, state)));
    for (size_t line = static_cast<size_t>(state->firstVisible); line < last; ++line) {
        TabbedTextOutA(dc, 0, static_cast<int>(line - static_cast<size_t>(state->firstVisible)) * metrics.tmHeight,
                       text.data() + starts[line], static_cast<int>(LineLength(text, starts, line)),
                       static_cast<int>(stops.size()), stops.data(), 0);
    }
    EndPaint(hwnd, &ps);
}

UINT DialogCode(HWND hwnd)
{
    // A read-only control leaves Enter, Escape and Tab to its dialog.
    return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
}

}  // namespace

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = StateOf<EditState>(hwnd);
    switch (message) {
    case WM_GETDLGCODE:
        return DialogCode(hwnd);
    case WM_SETTEXT:
        ControlDefProc<EditState>(hwnd, message, wParam, lParam);
        state->selStart = state->selEnd = 0;
        state->firstVisible = 0;
        // A multi-line control does not report text its program set.
        if (!(StyleOf(hwnd) & ES_MULTILINE)) NotifyParent(hwnd, EN_CHANGE);
        return TRUE;
    case EM_SETTABSTOPS: {
        const auto* stops = reinterpret_cast<const int*>(lParam);
        if (wParam == 0) {
            state->tabStops = {kDefaultTabStop};
        } else {
            state->tabStops.assign(stops, stops + wParam);
        }
        return TRUE;
    }
    case EM_SETSEL: {
        const size_t length = static_cast<size_t>(GetWindowTextLengthA(hwnd));
        const auto start = static_cast<int>(wParam);
        const auto end = static_cast<int>(lParam);
        state->selStart = start < 0 ? state->selEnd : std::min<size_t>(static_cast<size_t>(start), length);
        state->selEnd = end < 0 ? length : std::min<size_t>(static_cast<size_t>(end), length);
        if (start < 0) state->selStart = state->selEnd;
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case EM_GETSEL: {
        const auto start = static_cast<DWORD>(std::min(state->selStart, state->selEnd));
        const auto end = static_cast<DWORD>(std::max(state->selStart, state->selEnd));
        if (wParam != 0) *reinterpret_cast<DWORD*>(wParam) = start;
        if (lParam != 0) *reinterpret_cast<DWORD*>(lParam) = end;
        return MAKELRESULT(start, end);
    }
    case EM_REPLACESEL:
        ReplaceSelection(hwnd, state, reinterpret_cast<const char*>(lParam));
        return 0;
    case EM_SETREADONLY: {
        const DWORD style = wParam ? (StyleOf(hwnd) | ES_READONLY) : (StyleOf(hwnd) & ~ES_READONLY);
        SetWindowLongPtrA(hwnd, GWL_STYLE, static_cast<LONG_PTR>(style));
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case EM_LIMITTEXT:
        state->limit = wParam == 0 ? 0x7FFFFFFE : wParam;
        return 0;
    case EM_GETLIMITTEXT:
        return static_cast<LRESULT>(state->limit);
    case EM_GETFIRSTVISIBLELINE:
        return state->firstVisible;
    case EM_LINESCROLL:
        ScrollTo(hwnd, state, state->firstVisible + static_cast<int>(lParam));
        return TRUE;
    case EM_GETLINECOUNT:
    case EM_LINEINDEX:
    case EM_LINELENGTH:
    case EM_LINEFROMCHAR:
    case EM_GETLINE:
    case EM_SCROLLCARET:
        return LineMessage(hwnd, message, wParam, lParam, state);
    case WM_KEYDOWN:
        if (wParam == VK_UP || wParam == VK_DOWN) {
            ScrollTo(hwnd, state, state->firstVisible + (wParam == VK_UP ? -1 : 1));
        } else if (wParam == VK_PRIOR || wParam == VK_NEXT) {
            const int page = VisibleLines(hwnd, state);
            ScrollTo(hwnd, state, state->firstVisible + (wParam == VK_PRIOR ? -page : page));
        }
        return 0;
    case WM_CHAR: {
        if (StyleOf(hwnd) & ES_READONLY) return 0;
        const auto ch = static_cast<char>(wParam);
        if (ch < ' ' && ch != '\r') return 0;
        const char insert[3] = {ch, ch == '\r' ? '\n' : '\0', '\0'};
        ReplaceSelection(hwnd, state, insert);
        return 0;
    }
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        return 0;
    case WM_SETFOCUS:
        NotifyParent(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        NotifyParent(hwnd, EN_KILLFOCUS);
        return 0;
    case WM_PAINT:
        Paint(hwnd, state);
        return 0;
    default:
        return ControlDefProc<EditState>(hwnd, message, wParam, lParam);
    }
}

}  // namespace winsim::ui
