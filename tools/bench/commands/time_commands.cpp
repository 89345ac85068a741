#include "commands/time_commands.h"

#include "script_values.h"

namespace bench {

void RunWait(Session& session, const Args& args)
{
    if (args.size() != 1) throw CommandError("usage: wait DURATION");
    const int64_t ticks = ParseDuration(args[0]);
    if (ticks > session.Machine().Sim().ClockLeft()) {
        throw CommandError("wait " + args[0] + " would run the machine's clock past its end");
    }
    session.Machine().Advance(ticks);
}

}  // namespace bench
