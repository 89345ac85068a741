#include "sched/host_processor.h"

namespace winsim {

namespace {

#if defined(__SANITIZE_THREAD__)
constexpr bool kSpreadThreads = true;
#else
constexpr bool kSpreadThreads = false;
#endif

}  // namespace

HostProcessor HostProcessor::Current()
{
    HostProcessor host;
    if (!kSpreadThreads) host.processor_ = sched_getcpu();
    return host;
}

void HostProcessor::Confine()
{
    if (processor_ < 0 || sched_getaffinity(0, sizeof before_, &before_) != 0) return;
    cpu_set_t only;
    CPU_ZERO(&only);
    CPU_SET(processor_, &only);
    confined_ = sched_setaffinity(0, sizeof only, &only) == 0;
}

void HostProcessor::Release()
{
    if (confined_) sched_setaffinity(0, sizeof before_, &before_);
    confined_ = false;
}

}  // namespace winsim
