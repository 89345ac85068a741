// The support library's exports called from the bench's user thread, and
// the Assistant's COM port scan: reglib, portscan.
#pragma once

#include "bench_session.h"

namespace bench {

void RunRegLib(Session& session, const Args& args);
void RunPortScan(Session& session, const Args& args);

}  // namespace bench
