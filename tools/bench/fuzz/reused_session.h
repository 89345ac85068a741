// One bench session that serves every input of a fuzz target: after each
// input its output is dropped and the registry goes back to what it held
// when the session began.
#pragma once

#include <sstream>

#include "bench_session.h"
#include "registry/registry_store.h"

namespace bench {

class ReusedSession {
public:
    ReusedSession() : session_(out_, SessionOptions{}), registry_(winsim::registry::Store::Instance().Snapshot()) {}

    Session& Bench() { return session_; }

    void Reset()
    {
        winsim::registry::Store::Instance().Restore(registry_);
        out_.str({});
    }

private:
    std::ostringstream out_;
    Session session_;
    winsim::registry::KeyRef registry_;
};

}  // namespace bench
