// Commands that plug, unplug and eject emulated adapters.
#pragma once

#include "bench_session.h"

namespace bench {

// plug NAME [KEY=VALUE...]
void RunPlug(Session& session, const Args& args);
// unplug NAME
void RunUnplug(Session& session, const Args& args);
// eject NAME
void RunEject(Session& session, const Args& args);

// Prints `adapter NAME restarted` for each re-enumeration since the last
// report, whatever command let it happen.
void ReportRestartedAdapters(Session& session);

}  // namespace bench
