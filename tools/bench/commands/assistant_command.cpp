#include "commands/assistant_command.h"

#include <ostream>

#include "assistant/app/assistant_image.h"
#include "commands/ui_commands.h"
#include "gui/gui_programs.h"
#include "portdrv/port_driver_install.h"
#include "script_values.h"

namespace bench {

std::string AssistantImagePath() { return std::string(winsim::portdrv::kAssistantFolder) + "\\qtr84px1asst64.exe"; }

void RunAssistant(Session& session, const Args& args)
{
    if (args.size() != 1 || args[0] != "start") throw CommandError("usage: assistant start");
    GuiProgram& program = session.Machine().Programs().Start("assistant", AssistantProgramMain, AssistantImagePath(),
                                                             AssistantImageResources());
    StartedWhenIdle(session, program);
    ReportUiEvents(session);
    if (!program.exited && !VisibleWindowsOf(program).empty()) {
        session.Out() << "assistant " << program.number << " running\n";
    }
}

}  // namespace bench
