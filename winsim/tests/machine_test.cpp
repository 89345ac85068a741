// The machine as a whole: loading drivers, running until quiet, and the
// leak check when a driver unloads.
#include <gtest/gtest.h>

#include "machine/machine.h"
#include "registry/registry_store.h"
#include "verifier/pool.h"
#include "verifier/verifier.h"

namespace winsim {
namespace {

constexpr ULONG kTestTag = PoolTag("Tst1");

PVOID g_kept = nullptr;
int g_workRuns = 0;

VOID KeepingUnload(PDRIVER_OBJECT) {}

NTSTATUS LeakingEntry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    g_kept = ExAllocatePoolWithTag(NonPagedPoolNx, 48, kTestTag);
    driver->DriverUnload = KeepingUnload;  // forgets to free g_kept
    return STATUS_SUCCESS;
}

NTSTATUS FailingEntry(PDRIVER_OBJECT, PUNICODE_STRING) { return STATUS_INSUFFICIENT_RESOURCES; }

void SlowWork(void*)
{
    LARGE_INTEGER delay;
    delay.QuadPart = -200 * kTicksPerMillisecond;
    KeDelayExecutionThread(KernelMode, FALSE, &delay);
    ++g_workRuns;
}

TEST(Machine, InstallsTheServiceKeyAndLoadsTheDriver)
{
    Machine machine;
    NTSTATUS status = STATUS_UNSUCCESSFUL;
    EXPECT_EQ(machine.InstallAndLoadDriver("failing", FailingEntry, &status), nullptr);
    EXPECT_EQ(status, STATUS_INSUFFICIENT_RESOURCES);
    auto type = registry::Store::Instance().GetValue(u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\failing",
                                                     u"Type");
    ASSERT_TRUE(type.has_value());
}

TEST(Machine, RunUntilQuietWaitsForQueuedWorkOnly)
{
    Machine machine;
    g_workRuns = 0;
    Ticks start = machine.Now();
    Scheduler::Instance().QueueWork(DelayedWorkQueue, SlowWork, nullptr);
    machine.RunUntilQuiet();
    EXPECT_EQ(g_workRuns, 1);
    Ticks took = machine.Now() - start;
    EXPECT_GE(took, 200 * kTicksPerMillisecond);
    EXPECT_LE(took, 201 * kTicksPerMillisecond);
    // Nothing to do: no time passes.
    start = machine.Now();
    machine.RunUntilQuiet();
    EXPECT_EQ(machine.Now(), start);
}

TEST(Machine, RunUntilQuietEndsTheInstantTheWorkEnds)
{
    Machine machine;
    g_workRuns = 0;
    const Ticks start = machine.Now();
    Scheduler::Instance().QueueWork(DelayedWorkQueue, SlowWork, nullptr);
    LARGE_INTEGER due;
    due.QuadPart = -(1500 * kTicksPerMillisecond + 3 * kTicksPerMicrosecond);
    KTIMER timer;
    KeInitializeTimer(&timer);
    KeSetTimer(&timer, due, nullptr);
    int asked = 0;
    machine.AddBusyCondition([&] {
        ++asked;
        return KeReadStateTimer(&timer) == FALSE;
    });
    machine.RunUntilQuiet();
    EXPECT_EQ(g_workRuns, 1);
    EXPECT_EQ(machine.Now() - start, 1500 * kTicksPerMillisecond + 3 * kTicksPerMicrosecond);
    // Asked once per deadline (the work's delay, the timer), not once per
    // millisecond in between.
    EXPECT_LE(asked, 4);
}

TEST(Machine, RunUntilQuietStopsAtItsBound)
{
    Machine machine;
    const Ticks start = machine.Now();
    machine.AddBusyCondition([] { return true; });
    machine.RunUntilQuiet(7 * kTicksPerMillisecond);
    EXPECT_EQ(machine.Now() - start, 7 * kTicksPerMillisecond);
}

TEST(Machine, UnloadReportsWhatTheDriverLeft)
{
    Verifier::Capture capture;
    {
        Machine machine;
        ASSERT_NE(machine.InstallAndLoadDriver("leaky", LeakingEntry), nullptr);
    }
    ASSERT_FALSE(capture.Reports().empty());
    const std::string detail = capture.Reports().back().detail;
    EXPECT_NE(detail.find("Tst1: 1 allocation, 48 bytes"), std::string::npos) << detail;
    ExFreePoolWithTag(g_kept, kTestTag);
}

}  // namespace
}  // namespace winsim
