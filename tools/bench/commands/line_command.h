// The far ends of the adapters' serial ports: what a person plugs into a
// port's connector.
#pragma once

#include "bench_session.h"

namespace bench {

// line NAME PORT none|loopback|nullmodem OTHER PORT2|feed TEXT
void RunSerialLine(Session& session, const Args& args);

// Puts the adapter's connectors back onto its ports: the application that
// runs after a restart or a new plug starts with bare ports.
void ReconnectLines(Session& session, const std::string& name);

}  // namespace bench
