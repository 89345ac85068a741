#include "commands/pool_commands.h"

#include <ostream>

#include "script_values.h"
#include "verifier/pool.h"

namespace bench {

void RunPool(Session& session, const Args& args)
{
    if (!args.empty()) throw CommandError("usage: pool");
    for (const winsim::PoolTagUsage& usage : winsim::Pool::Snapshot()) {
        // Tags padded with blanks ("Irp ") print in quotes.
        std::string tag = PrintableWord(usage.tag);
        session.Out() << "pool " << tag << ' ' << usage.count << ' ' << usage.bytes << '\n';
    }
    winsim::PoolTotals totals = winsim::Pool::Totals();
    session.Out() << "pool total " << totals.count << ' ' << totals.bytes << '\n';
}

}  // namespace bench
