// The dialog manager: dialogs from parsed templates, modeless and modal.
#pragma once

#include <windows.h>

#include <memory>

#include "ui/dialogs/dialog_state.h"
#include "ui/resources/dialog_template.h"

namespace winsim::ui {

struct DialogOptions {
    bool modal = false;
    bool messageBox = false;  // reported as a message box when it opens
};

// Creates the dialog, its controls in template order (each gets the
// dialog's font), then sends WM_INITDIALOG. Null when a control cannot be
// created (unless DS_NOFAILCREATE) or the dialog destroyed itself.
HWND CreateDialogFromTemplate(const resources::DialogTemplate& dialog, HINSTANCE instance, HWND parent,
                              DLGPROC proc, LPARAM param, const DialogOptions& options = {});

// Runs a modal dialog: its owner (the top-level window of `parent`) is
// disabled while it runs, and the loop keeps dispatching every message of
// the thread, the owner's timers included. -1 when it cannot be created.
INT_PTR DialogBoxFromTemplate(const resources::DialogTemplate& dialog, HINSTANCE instance, HWND parent,
                              DLGPROC proc, LPARAM param, const DialogOptions& options = {});

// The control a dialog gives the focus to by default: its first tab stop,
// else, when no control is one, its first shown and enabled control.
HWND DefaultFocusOf(HWND dialog);

// The focus as the dialog manager moves it (default focus, Tab): a control
// that answers DLGC_HASSETSEL (an edit) has its whole text selected first.
void MoveDialogFocus(HWND control);

// Null for a window that is not a dialog.
std::shared_ptr<DialogState> DialogStateOf(HWND hwnd);

}  // namespace winsim::ui
