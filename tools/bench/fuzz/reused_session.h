// One bench session that serves every input of a fuzz target: after each
// input its output is dropped and the registry and the file system go back
// to what they held when the session began.
#pragma once

#include <memory>
#include <sstream>

#include "bench_session.h"
#include "registry/registry_store.h"
#include "um/file_system.h"

namespace bench {

class ReusedSession {
public:
    ReusedSession()
        : session_(out_, SessionOptions{}),
          registry_(winsim::registry::Store::Instance().Snapshot()),
          files_(winsim::um::FileSystem::Instance().Snapshot())
    {
    }

    Session& Bench() { return session_; }

    void Reset()
    {
        winsim::registry::Store::Instance().Restore(registry_);
        winsim::um::FileSystem::Instance().Restore(files_);
        out_.str({});
    }

private:
    std::ostringstream out_;
    Session session_;
    winsim::registry::KeyRef registry_;
    std::shared_ptr<const winsim::um::FileNode> files_;
};

}  // namespace bench
