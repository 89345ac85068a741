// Commands on COM ports, as an application uses them: open, close, comm,
// write, read. Handles stay open between commands until closed.
#pragma once

#include "bench_session.h"

namespace bench {

// open COMn: read and write, exclusive, overlapped.
void RunOpen(Session& session, const Args& args);
// close COMn
void RunClose(Session& session, const Args& args);
// comm COMn KEY=VALUE...: baud, data, parity, stop, rtscts, dtrdsr, xonxoff,
// dtr, rts.
void RunComm(Session& session, const Args& args);
// write COMn DATA: one WriteFile.
void RunWrite(Session& session, const Args& args);
// read COMn COUNT [timeout=DURATION]: one ReadFile of up to COUNT bytes;
// without a time-out it takes what has arrived.
void RunRead(Session& session, const Args& args);

}  // namespace bench
