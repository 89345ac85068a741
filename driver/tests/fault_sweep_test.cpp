// Add-device and start-device with each of the driver's allocations failed
// in turn: the adapter either works or its node failed with the allocation's
// status, and unplugging it leaves nothing behind.
#include "adapter_fixture.h"
#include "core/pool_tags.h"
#include "verifier/fault_injection.h"

namespace driver_test {
namespace {

using winsim::FaultInjection;
using winsim::pnp::NodeState;

const winsim::TagFilter& DriverAllocations()
{
    static const winsim::TagFilter scope = winsim::TagFilter::Only({kDriverPoolTag, kRingPoolTag});
    return scope;
}

class FaultSweepTest : public AdapterTest {};

TEST_F(FaultSweepTest, EachFailedAllocationOfAddAndStartUnwindsCompletely)
{
    FaultInjection::CountOnly(DriverAllocations());
    PluggedAdapter counted = Plug("QTR3000");
    const ULONG64 allocations = FaultInjection::AllocationsSinceArmed();
    FaultInjection::Disarm();
    ASSERT_EQ(counted.control->State(), NodeState::kStarted);
    Unplug(counted);
    ASSERT_GT(allocations, 5u);

    int failedAdds = 0, failedStarts = 0;
    for (ULONG64 n = 1; n <= allocations; ++n) {
        const winsim::PoolMark mark = winsim::Pool::Mark();
        FaultInjection::FailNth(n, DriverAllocations());
        PluggedAdapter adapter = Plug("QTR" + std::to_string(3000 + n));
        FaultInjection::Disarm();
        ASSERT_EQ(FaultInjection::FailuresSinceArmed(), 1u) << n;

        const NodeState state = adapter.control->State();
        if (state == NodeState::kNoDriver) ++failedAdds;
        if (state == NodeState::kStartFailed) ++failedStarts;
        if (state != NodeState::kStarted) {
            EXPECT_EQ(adapter.control->LastStatus(), STATUS_INSUFFICIENT_RESOURCES) << n;
        }
        Unplug(adapter);
        EXPECT_TRUE(winsim::Pool::LeaksSince(mark).empty()) << "allocation " << n;
    }
    // Both paths were reached by the sweep.
    EXPECT_GT(failedAdds, 0);
    EXPECT_GT(failedStarts, 0);
}

}  // namespace
}  // namespace driver_test
