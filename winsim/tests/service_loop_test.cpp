// One service loop runs the passes of every adapter's firmware: each pass
// serves every client, a pass one of them wakes early keeps the others'
// period, the loop ends with its last client, and a client that comes later
// is served by a new one.
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "hw/firmware/service_loop.h"
#include "hw/serial/serial_lock.h"
#include "virtual_time_test.h"

namespace winsim::hw {
namespace {

// Asks for passes until busyUntil, noting when each came.
class RecordingClient : public ServiceLoop::Client {
public:
    double ServiceLocked(Ticks now) override
    {
        passes.push_back(now);
        return now < busyUntil ? static_cast<double>(now + 1) : -1;
    }

    void Wake()
    {
        std::lock_guard lk(serial::SerialLock());
        loop->WakeLocked(*this);
    }

    std::vector<Ticks> passes;
    Ticks busyUntil = 0;
};

class ServiceLoopTest : public VirtualTimeTest {
protected:
    static void Sleep(Ticks ticks) { Scheduler::Instance().Sleep(ticks); }
};

TEST_F(ServiceLoopTest, EveryPassServesEveryClientAtMostOncePerPeriodWhileOneIsBusy)
{
    RecordingClient busy;
    RecordingClient idle;
    ServiceLoop::Enter(busy);
    ServiceLoop::Enter(idle);
    EXPECT_EQ(busy.loop, idle.loop);
    // A period after the loop's first pass: the next one starts a period.
    Sleep(2 * ServiceLoop::kServicePeriod);
    const Ticks start = Now();
    busy.busyUntil = start + 3 * ServiceLoop::kServicePeriod;
    busy.Wake();
    Sleep(10 * kTicksPerMillisecond);

    const std::vector<Ticks> expected = {start, start + ServiceLoop::kServicePeriod,
                                         start + 2 * ServiceLoop::kServicePeriod,
                                         start + 3 * ServiceLoop::kServicePeriod};
    auto since = [start](const std::vector<Ticks>& passes) {
        std::vector<Ticks> later;
        for (Ticks t : passes) {
            if (t >= start) later.push_back(t);
        }
        return later;
    };
    EXPECT_EQ(since(busy.passes), expected);
    EXPECT_EQ(since(idle.passes), expected);
    idle.loop->Leave(idle);
    busy.loop->Leave(busy);
}

TEST_F(ServiceLoopTest, APassWokenEarlyDelaysNoClientsNextPass)
{
    RecordingClient busy;
    RecordingClient waking;
    ServiceLoop::Enter(busy);
    ServiceLoop::Enter(waking);
    // A period after the loop's first pass: the next one starts a period.
    Sleep(2 * ServiceLoop::kServicePeriod);
    const Ticks start = Now();
    const Ticks period = ServiceLoop::kServicePeriod;
    busy.busyUntil = start + 3 * period;
    busy.Wake();
    Sleep(period / 2);
    waking.Wake();
    Sleep(10 * kTicksPerMillisecond);

    std::vector<Ticks> passes;
    for (Ticks t : busy.passes) {
        if (t >= start) passes.push_back(t);
    }
    EXPECT_EQ(passes, (std::vector<Ticks>{start, start + period / 2, start + period, start + 2 * period,
                                          start + 3 * period}));
    waking.loop->Leave(waking);
    busy.loop->Leave(busy);
}

TEST_F(ServiceLoopTest, AClientLeftAloneIsStillServed)
{
    RecordingClient leaving;
    RecordingClient staying;
    ServiceLoop::Enter(leaving);
    ServiceLoop::Enter(staying);
    leaving.loop->Leave(leaving);
    staying.busyUntil = Now() + 5 * ServiceLoop::kServicePeriod;
    staying.Wake();
    Sleep(10 * kTicksPerMillisecond);
    EXPECT_GE(staying.passes.size(), 5U);
    staying.loop->Leave(staying);
}

TEST_F(ServiceLoopTest, AClientEnteringAfterTheLastOneLeftGetsALoopThatRuns)
{
    RecordingClient first;
    ServiceLoop::Enter(first);
    first.loop->Leave(first);

    RecordingClient second;
    ServiceLoop::Enter(second);
    EXPECT_NE(second.loop, first.loop);
    second.busyUntil = Now() + 2 * ServiceLoop::kServicePeriod;
    second.Wake();
    Sleep(10 * kTicksPerMillisecond);
    EXPECT_GE(second.passes.size(), 2U);
    second.loop->Leave(second);
}

}  // namespace
}  // namespace winsim::hw
