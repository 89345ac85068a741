#include "pty/pty_command.h"

#include <ostream>

#include "pty/pty_bridge.h"
#include "sched/scheduler.h"
#include "script_values.h"

namespace bench {

void RunPty(Session& session, const Args& args)
{
    if (args.size() != 1)
        throw CommandError("usage: pty COMn");
    const std::string& name = args[0];
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0)
        throw CommandError("not a COM name: " + name);
    ParseNumber(std::string_view(name).substr(3), 255);
    if (winsim::Scheduler::Instance().Mode() != winsim::ClockMode::RealTime) {
        throw CommandError("pty needs --realtime: a Linux program on the terminal runs on the wall clock");
    }
    auto bridge = std::make_unique<PtyBridge>(name);
    session.Out() << "pty " << name << ' ' << PrintableWord(bridge->Path()) << '\n';
    session.Machine().PtyBridges().push_back(std::move(bridge));
}

}  // namespace bench
