// file: the simulated PC's file system as the machine's owner sees it.
#pragma once

#include "bench_session.h"

namespace bench {

// file get PATH, file put PATH "TEXT", file del PATH,
// file time PATH YYYY-MM-DD HH:MM
void RunFile(Session& session, const Args& args);

}  // namespace bench
