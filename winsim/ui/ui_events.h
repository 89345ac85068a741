// What the window system reports as it happens, for whoever watches the
// screen (the bench): top-level windows opening and closing, and message
// boxes and file dialogs opening. Reports wait in a queue until taken.
#pragma once

#include <string>
#include <vector>

#include "ui/program.h"

namespace winsim::ui {

struct UiEvent {
    enum class Kind { kWindowOpened, kWindowClosed, kMessageBox, kFileDialog };
    Kind kind;
    Program* program;
    std::string title;  // window title, message box caption or file dialog title
    std::string text;   // message box text or the file name a file dialog proposes
    unsigned int type = 0;  // message box MB_* flags
};

void ReportEvent(UiEvent event);
std::vector<UiEvent> TakeEvents();

}  // namespace winsim::ui
