#include "commands/time_commands.h"

#include "script_values.h"

namespace bench {

void RunWait(Session& session, const Args& args)
{
    if (args.size() != 1) throw CommandError("usage: wait DURATION");
    session.Machine().Advance(ParseDuration(args[0]));
}

}  // namespace bench
