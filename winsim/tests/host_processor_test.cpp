// The simulation's threads share one host processor while they belong to it.
#include <gtest/gtest.h>
#include <sched.h>

#include "sched/scheduler.h"

namespace winsim {
namespace {

cpu_set_t Affinity()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    sched_getaffinity(0, sizeof set, &set);
    return set;
}

TEST(HostProcessorTest, ThreadsOfTheSimulationShareOneProcessorAndAnAttachedThreadGetsItsOwnBack)
{
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a ThreadSanitizer build leaves the threads spread";
#endif
    const cpu_set_t before = Affinity();
    Scheduler::Instance().Boot(ClockMode::Virtual);
    cpu_set_t attached;
    cpu_set_t spawned;
    {
        Scheduler::Attachment attachment("test");
        attached = Affinity();
        Thread thread = Scheduler::Instance().Spawn("spawned", [&] { spawned = Affinity(); });
        thread.Join();
    }
    const cpu_set_t after = Affinity();
    Scheduler::Instance().Shutdown();

    EXPECT_EQ(CPU_COUNT(&attached), 1);
    EXPECT_TRUE(CPU_EQUAL(&attached, &spawned));
    EXPECT_TRUE(CPU_EQUAL(&after, &before));
}

}  // namespace
}  // namespace winsim
