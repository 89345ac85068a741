#include "window_report.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "target_access.h"

namespace uidump {

namespace {

std::vector<HWND> Descendants(HWND target)
{
    std::vector<HWND> windows;
    EnumChildWindows(
        target,
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)); }

// The dialog a control belongs to, when that is a child dialog inside the
// target rather than the target itself.
HWND PageOf(HWND target, HWND control)
{
    for (HWND parent = GetParent(control); parent != nullptr && parent != target; parent = GetParent(parent)) {
        if (ClassOf(parent) == "#32770") return parent;
    }
    return nullptr;
}

// The dialog whose units place `window`'s children: the nearest dialog at
// or above it, the target at the latest.
HWND DialogOf(HWND target, HWND window)
{
    for (HWND hwnd = window; hwnd != nullptr && hwnd != target; hwnd = GetParent(hwnd)) {
        if (ClassOf(hwnd) == "#32770") return hwnd;
    }
    return target;
}

// pixels * units / base rounded half away from zero, as MulDiv rounds.
int Scale(LONG pixels, int units, int base)
{
    const LONG product = pixels * units;
    return static_cast<int>(product >= 0 ? (product + base / 2) / base : -((-product + base / 2) / base));
}

// Dialog units to pixels (MulDiv) and back (Scale) round-trip exactly while
// a base unit is more than 4 pixels, so the template's numbers come back.
struct DialogUnits {
    int x;
    int y;
    int Horizontal(LONG pixels) const { return Scale(pixels, 4, x); }
    int Vertical(LONG pixels) const { return Scale(pixels, 8, y); }
};

DialogUnits DialogUnitsOf(HWND dialog)
{
    const SIZE base = DialogBaseUnits(dialog);
    return DialogUnits{base.cx > 0 ? base.cx : 1, base.cy > 0 ? base.cy : 1};
}

bool ListHasStrings(HWND hwnd, bool combo)
{
    const DWORD style = StyleOf(hwnd);
    const DWORD ownerDraw = combo ? (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)
                                  : (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE);
    const DWORD hasStrings = combo ? CBS_HASSTRINGS : LBS_HASSTRINGS;
    return !(style & ownerDraw) || (style & hasStrings);
}

std::vector<std::string> TabLines(HWND control, const std::string& name)
{
    std::vector<std::string> lines;
    const LRESULT count = SendMessageA(control, TCM_GETITEMCOUNT, 0, 0);
    const LRESULT current = SendMessageA(control, TCM_GETCURSEL, 0, 0);
    for (int index = 0; index < count; ++index) {
        lines.push_back("item " + name + " " + std::to_string(index) + " " + Quote(TabText(control, index)) +
                        (index == current ? " selected" : ""));
    }
    return lines;
}

struct TreeItem {
    HTREEITEM handle;
    std::string text;
    LPARAM value;
    UINT state;
};

TreeItem ReadTreeItem(HWND tree, HTREEITEM handle)
{
    constexpr size_t kTextSize = 256;
    TargetBuffer buffer(tree, sizeof(TVITEMA) + kTextSize);
    auto* item = buffer.As<TVITEMA>();
    item->mask = TVIF_HANDLE | TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
    item->hItem = handle;
    item->pszText = reinterpret_cast<LPSTR>(buffer.At(sizeof(TVITEMA)));
    item->cchTextMax = kTextSize;
    item->stateMask = TVIS_SELECTED | TVIS_EXPANDED;
    buffer.Send(TVM_GETITEMA, 0);
    const char* text = buffer.As<char>(sizeof(TVITEMA));
    return TreeItem{handle, std::string(text, strnlen(text, kTextSize)), item->lParam, item->state};
}

bool ButtonAt(HWND toolbar, int index, TBBUTTON* button)
{
    TargetBuffer buffer(toolbar, sizeof(TBBUTTON));
    if (!buffer.Send(TB_GETBUTTON, static_cast<WPARAM>(index))) return false;
    *button = *buffer.As<TBBUTTON>();
    return true;
}

HTREEITEM TreeNext(HWND tree, UINT flag, HTREEITEM item)
{
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, flag, reinterpret_cast<LPARAM>(item)));
}

// Every item, depth first, with its level; `visit` returns false to stop.
template <typename Visit>
bool WalkTree(HWND tree, HTREEITEM first, int level, Visit&& visit)
{
    for (HTREEITEM item = first; item != nullptr; item = TreeNext(tree, TVGN_NEXT, item)) {
        if (!visit(ReadTreeItem(tree, item), level)) return false;
        if (!WalkTree(tree, TreeNext(tree, TVGN_CHILD, item), level + 1, visit)) return false;
    }
    return true;
}

std::vector<std::string> TreeLines(HWND tree, const std::string& name)
{
    std::vector<std::string> lines;
    WalkTree(tree, TreeNext(tree, TVGN_ROOT, nullptr), 0, [&](const TreeItem& item, int level) {
        lines.push_back("item " + name + " " + std::to_string(lines.size()) + " " + Quote(item.text) +
                        ((item.state & TVIS_SELECTED) ? " selected" : "") + " value=" + std::to_string(item.value) +
                        " level=" + std::to_string(level) + ((item.state & TVIS_EXPANDED) ? " expanded" : ""));
        return true;
    });
    return lines;
}

// The text a control copies into a buffer of `length` characters and a
// terminating zero.
std::string TextReply(HWND control, UINT message, WPARAM wParam, LRESULT length)
{
    if (length <= 0) return "";
    TargetBuffer buffer(control, static_cast<size_t>(length) + 1);
    buffer.Send(message, wParam);
    const char* text = buffer.As<char>();
    return std::string(text, strnlen(text, static_cast<size_t>(length)));
}

// Toolbar buttons (separators left out) by their index on the toolbar:
// checked ones are selected, disabled ones gray, the value is the command id.
std::vector<std::string> ToolbarLines(HWND toolbar, const std::string& name)
{
    std::vector<std::string> lines;
    const LRESULT count = SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0);
    for (int index = 0; index < count; ++index) {
        TBBUTTON button{};
        if (!ButtonAt(toolbar, index, &button) || (button.fsStyle & TBSTYLE_SEP)) continue;
        const auto id = static_cast<WPARAM>(button.idCommand);
        const std::string text =
            TextReply(toolbar, TB_GETBUTTONTEXTA, id, SendMessageA(toolbar, TB_GETBUTTONTEXTA, id, 0));
        lines.push_back("item " + name + " " + std::to_string(index) + " " + Quote(text) +
                        ((button.fsState & TBSTATE_CHECKED) ? " selected" : "") +
                        ((button.fsState & TBSTATE_ENABLED) ? "" : " gray") +
                        " value=" + std::to_string(button.idCommand));
    }
    return lines;
}

// A status bar's panes in order, each with its text.
std::vector<std::string> StatusLines(HWND bar, const std::string& name)
{
    std::vector<std::string> lines;
    const LRESULT count = SendMessageA(bar, SB_GETPARTS, 0, 0);
    for (int index = 0; index < count; ++index) {
        const auto pane = static_cast<WPARAM>(index);
        const std::string text =
            TextReply(bar, SB_GETTEXTA, pane, LOWORD(SendMessageA(bar, SB_GETTEXTLENGTHA, pane, 0)));
        lines.push_back("item " + name + " " + std::to_string(index) + " " + Quote(text));
    }
    return lines;
}

}  // namespace

HTREEITEM FindTreeItem(HWND tree, const std::string& text)
{
    HTREEITEM found = nullptr;
    WalkTree(tree, TreeNext(tree, TVGN_ROOT, nullptr), 0, [&](const TreeItem& item, int) {
        if (item.text == text) found = item.handle;
        return found == nullptr;
    });
    return found;
}

std::string TabText(HWND control, int index)
{
    constexpr size_t kTextSize = 256;
    TargetBuffer buffer(control, sizeof(TCITEMA) + kTextSize);
    auto* item = buffer.As<TCITEMA>();
    item->mask = TCIF_TEXT;
    item->pszText = reinterpret_cast<LPSTR>(buffer.At(sizeof(TCITEMA)));
    item->cchTextMax = kTextSize;
    if (!buffer.Send(TCM_GETITEMA, static_cast<WPARAM>(index))) return "";
    const char* text = buffer.As<char>(sizeof(TCITEMA));
    return std::string(text, strnlen(text, kTextSize));
}

std::string Quote(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        switch (c) {
        case '\r': quoted += "\\r"; break;
        case '\n': quoted += "\\n"; break;
        case '\t': quoted += "\\t"; break;
        case '"': quoted += "\\\""; break;
        case '\\': quoted += "\\\\"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
                char escaped[5];
                std::snprintf(escaped, sizeof(escaped), "\\x%02x", static_cast<unsigned char>(c));
                quoted += escaped;
            } else {
                quoted += c;
            }
            break;
        }
    }
    return quoted + "\"";
}

std::string ClassOf(HWND hwnd)
{
    char name[256];
    const int length = GetClassNameA(hwnd, name, sizeof(name));
    return std::string(name, static_cast<size_t>(length > 0 ? length : 0));
}

// WM_GETTEXT rather than GetWindowText: for another process's window
// GetWindowText returns only the caption kept with the window, never what a
// control reports (a drop-down list's selected item, for one).
std::string TextOf(HWND hwnd)
{
    const LRESULT length = SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return "";
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied = SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(length) + 1,
                                        reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

std::string NameOf(HWND target, HWND control)
{
    const std::string id = std::to_string(GetDlgCtrlID(control));
    HWND page = PageOf(target, control);
    return page != nullptr ? std::to_string(GetDlgCtrlID(page)) + ":" + id : id;
}

std::vector<std::string> DumpLines(HWND target)
{
    std::vector<HWND> windows{target};
    for (HWND hwnd : Descendants(target)) windows.push_back(hwnd);
    std::vector<std::string> lines;
    for (HWND hwnd : windows) {
        const std::string cls = ClassOf(hwnd);
        std::string line = "control " + NameOf(target, hwnd) + " " + cls + " " + Quote(TextOf(hwnd)) +
                           (IsWindowVisible(hwnd) ? " visible" : " hidden") +
                           (IsWindowEnabled(hwnd) ? " enabled" : " disabled");
        LRESULT selection = -1;
        LRESULT count = -1;
        if (cls == "Button" && SendMessageA(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED) line += " checked";
        if (cls == "ListBox") {
            selection = SendMessageA(hwnd, LB_GETCURSEL, 0, 0);
            count = SendMessageA(hwnd, LB_GETCOUNT, 0, 0);
        } else if (cls == "ComboBox") {
            selection = SendMessageA(hwnd, CB_GETCURSEL, 0, 0);
            count = SendMessageA(hwnd, CB_GETCOUNT, 0, 0);
        } else if (cls == "SysTabControl32") {
            selection = SendMessageA(hwnd, TCM_GETCURSEL, 0, 0);
            count = SendMessageA(hwnd, TCM_GETITEMCOUNT, 0, 0);
        } else if (cls == "SysTreeView32") {
            count = SendMessageA(hwnd, TVM_GETCOUNT, 0, 0);
        } else if (cls == TOOLBARCLASSNAMEA) {
            count = SendMessageA(hwnd, TB_BUTTONCOUNT, 0, 0);
        } else if (cls == STATUSCLASSNAMEA) {
            count = SendMessageA(hwnd, SB_GETPARTS, 0, 0);
        }
        if (selection >= 0) line += " sel=" + std::to_string(selection);
        if (count >= 0) line += " items=" + std::to_string(count);
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> ItemLines(HWND control, const std::string& name)
{
    std::vector<std::string> lines;
    const std::string cls = ClassOf(control);
    if (cls == WC_TABCONTROLA) return TabLines(control, name);
    if (cls == WC_TREEVIEWA) return TreeLines(control, name);
    if (cls == TOOLBARCLASSNAMEA) return ToolbarLines(control, name);
    if (cls == STATUSCLASSNAMEA) return StatusLines(control, name);
    const bool combo = cls == "ComboBox";
    if (!combo && cls != "ListBox") return lines;
    const bool strings = ListHasStrings(control, combo);
    const LRESULT count = SendMessageA(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    const LRESULT current = combo ? SendMessageA(control, CB_GETCURSEL, 0, 0) : -1;
    for (int index = 0; index < count; ++index) {
        std::string line = "item " + name + " " + std::to_string(index) + " " +
                           Quote(strings ? ListItemText(control, combo, index) : "");
        const bool selected = combo ? index == current : SendMessageA(control, LB_GETSEL, index, 0) > 0;
        if (selected) line += " selected";
        if (!strings) {
            const LRESULT data = SendMessageA(control, combo ? CB_GETITEMDATA : LB_GETITEMDATA, index, 0);
            line += " value=" + std::to_string(data);
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> LayoutLines(HWND target)
{
    std::vector<std::string> lines;
    RECT client{};
    GetClientRect(target, &client);
    const DialogUnits own = DialogUnitsOf(target);
    lines.push_back("rect " + NameOf(target, target) + " 0 0 " + std::to_string(own.Horizontal(client.right)) + " " +
                    std::to_string(own.Vertical(client.bottom)));
    for (HWND hwnd : Descendants(target)) {
        HWND parent = GetParent(hwnd);
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
        const DialogUnits units = DialogUnitsOf(DialogOf(target, parent));
        lines.push_back("rect " + NameOf(target, hwnd) + " " + std::to_string(units.Horizontal(rect.left)) + " " +
                        std::to_string(units.Vertical(rect.top)) + " " +
                        std::to_string(units.Horizontal(rect.right - rect.left)) + " " +
                        std::to_string(units.Vertical(rect.bottom - rect.top)));
    }
    return lines;
}

std::string FocusLine(HWND target)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    const DWORD thread = GetWindowThreadProcessId(target, nullptr);
    if (!GetGUIThreadInfo(thread, &info)) return "focus none";
    HWND focus = info.hwndFocus;
    if (focus == nullptr || (focus != target && !IsChild(target, focus))) return "focus none";
    return "focus " + NameOf(target, focus) + (info.hwndActive == target ? " active" : "");
}

std::vector<std::string> ReportLines(HWND target)
{
    std::vector<std::string> lines = DumpLines(target);
    lines.push_back(FocusLine(target));
    for (HWND hwnd : Descendants(target)) {
        for (std::string& line : ItemLines(hwnd, NameOf(target, hwnd))) lines.push_back(std::move(line));
    }
    for (std::string& line : LayoutLines(target)) lines.push_back(std::move(line));
    return lines;
}

HWND FindControl(HWND target, const std::string& name, std::string* error)
{
    const bool qualified = name.find(':') != std::string::npos;
    std::vector<HWND> matches;
    std::string candidates;
    for (HWND hwnd : Descendants(target)) {
        const std::string full = NameOf(target, hwnd);
        const std::string bare = std::to_string(GetDlgCtrlID(hwnd));
        if (qualified ? full == name : bare == name) {
            matches.push_back(hwnd);
            candidates += " " + full;
        }
    }
    if (matches.size() == 1) return matches[0];
    *error = matches.empty() ? "no control " + name : "ambiguous control " + name + ":" + candidates;
    return nullptr;
}

bool FindToolbarButton(HWND target, const std::string& name, ToolbarButton* out, std::string* error)
{
    const size_t colon = name.rfind(':');
    const std::string toolbarName = colon == std::string::npos ? "" : name.substr(0, colon);
    const std::string command = colon == std::string::npos ? name : name.substr(colon + 1);
    std::vector<ToolbarButton> matches;
    std::string candidates;
    for (HWND hwnd : Descendants(target)) {
        if (ClassOf(hwnd) != TOOLBARCLASSNAMEA) continue;
        const std::string full = NameOf(target, hwnd);
        if (!toolbarName.empty() && toolbarName != full) continue;
        const LRESULT count = SendMessageA(hwnd, TB_BUTTONCOUNT, 0, 0);
        for (int index = 0; index < count; ++index) {
            TBBUTTON button{};
            ButtonAt(hwnd, index, &button);
            if ((button.fsStyle & TBSTYLE_SEP) || std::to_string(button.idCommand) != command) continue;
            matches.push_back(ToolbarButton{hwnd, index, button.fsState});
            candidates += " " + full + ":" + command;
        }
    }
    if (matches.size() == 1) {
        *out = matches[0];
        return true;
    }
    *error = matches.empty() ? "no control " + name : "ambiguous control " + name + ":" + candidates;
    return false;
}

HWND FindTopLevel(const std::string& title)
{
    struct Search {
        std::string title;
        HWND found = nullptr;
    } search{title};
    EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            if (!IsWindowVisible(hwnd) || TextOf(hwnd).rfind(s->title, 0) != 0) return TRUE;
            s->found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace uidump
