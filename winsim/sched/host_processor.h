// The host processor the simulation's threads share. Nearly every step of
// the simulation hands over from one thread to another (a completion wakes
// a worker, the worker's request wakes the bus); on one processor that is a
// switch, across two it is a wake-up of an idle processor, and once the
// threads sit apart the host keeps them apart, so a run costs several times
// the processor time. A ThreadSanitizer build leaves them spread, so the
// stress tests run in parallel.
#pragma once

#include <sched.h>

namespace winsim {

class HostProcessor {
public:
    // The processor the calling thread runs on; none in a ThreadSanitizer build.
    static HostProcessor Current();

    // Keeps the calling thread on this processor, remembering where it could
    // run before for Release.
    void Confine();
    void Release();

private:
    int processor_ = -1;
    bool confined_ = false;
    cpu_set_t before_{};
};

}  // namespace winsim
