// The simulated PC's COM-port database and serial devices that are not
// adapters: comdb, serialport add.
#pragma once

#include "bench_session.h"

namespace bench {

void RunComDb(Session& session, const Args& args);
void RunSerialPort(Session& session, const Args& args);

}  // namespace bench
