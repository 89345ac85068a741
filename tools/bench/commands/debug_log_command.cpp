#include "commands/debug_log_command.h"

#include <ostream>

#include "km/debug_log.h"
#include "script_values.h"

namespace bench {

void RunDebugLog(Session& session, const Args& args)
{
    if (!args.empty()) throw CommandError("usage: debuglog");
    for (const winsim::DebugLine& line : winsim::TakeDebugLog()) {
        session.Out() << "debuglog " << QuoteText(line.text) << '\n';
    }
}

}  // namespace bench
