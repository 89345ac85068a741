// The window observer: what a UI automation tool reads of a program's
// windows, through Win32 calls only, so the same report comes from winsim
// and from Windows. Controls are named by their dialog id; a control inside
// a child dialog (a page) is named "PAGE:ID", PAGE being that dialog's own id.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace uidump {

// "text" in double quotes with \r, \n, \t, \" and \\ escaped, other control
// and non-ASCII bytes as \xNN, as the bench reads them back.
std::string Quote(const std::string& text);

std::string ClassOf(HWND hwnd);
std::string TextOf(HWND hwnd);
// The first tree item with that text, depth first; null when none has it.
HTREEITEM FindTreeItem(HWND tree, const std::string& text);
// A tab's label.
std::string TabText(HWND control, int index);
// The control's name as the report prints it.
std::string NameOf(HWND target, HWND control);

// `control PATH CLASS "TEXT" visible|hidden enabled|disabled [checked]
// [sel=N] [items=N]` for the target and each descendant in creation order.
std::vector<std::string> DumpLines(HWND target);
// `item NAME INDEX "TEXT" [selected] [value=V]` per item of a list box,
// combo box or tab control; a tree's items depth first, each with
// `value=V level=L [expanded]`; a toolbar's buttons with `[selected] [gray]
// value=COMMAND`; a status bar's panes.
std::vector<std::string> ItemLines(HWND control, const std::string& name);
// `rect PATH X Y WIDTH HEIGHT` for the target and each descendant, in dialog
// units of the dialog the window belongs to, relative to its parent's client
// area; the target gives its client area's size at 0 0. Sizes are converted
// on their own, as the dialog manager converts a template's sizes.
std::vector<std::string> LayoutLines(HWND target);
// `focus PATH [active]`: the control of the target that has its thread's
// keyboard focus, `active` while the target is that thread's active window;
// `focus none` while the focus is outside the target.
std::string FocusLine(HWND target);
// Everything two runs of a program are compared by: the dump, the items of
// every control that has items, the focus, then the layout.
std::vector<std::string> ReportLines(HWND target);

// The control a name stands for; null with `error` set when there is none
// or a bare id names more than one.
HWND FindControl(HWND target, const std::string& name, std::string* error);

// A toolbar button, named by its command id, or "TOOLBAR:COMMAND" with the
// toolbar's name where more than one toolbar of the target has that command.
struct ToolbarButton {
    HWND toolbar;
    int index;
    BYTE state;  // TBSTATE_*
};
bool FindToolbarButton(HWND target, const std::string& name, ToolbarButton* out, std::string* error);

// The first top-level window whose title begins with `title`.
HWND FindTopLevel(const std::string& title);

}  // namespace uidump
