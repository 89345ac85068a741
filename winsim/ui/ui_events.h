// What the window system reports as it happens, for whoever watches the
// screen (the bench): top-level windows opening and closing, and message
// boxes opening. Reports wait in a queue until taken.
#pragma once

#include <string>
#include <vector>

#include "ui/program.h"

namespace winsim::ui {

struct UiEvent {
    enum class Kind { kWindowOpened, kWindowClosed, kMessageBox };
    Kind kind;
    Program* program;
    std::string title;  // window title or message box caption
    std::string text;   // message box text
    unsigned int type = 0;  // message box MB_* flags
};

void ReportEvent(UiEvent event);
std::vector<UiEvent> TakeEvents();

}  // namespace winsim::ui
