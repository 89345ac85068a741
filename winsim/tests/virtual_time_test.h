// A test on a freshly booted scheduler in virtual time, its body attached as
// the simulation thread "test".
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "sched/scheduler.h"

namespace winsim {

class VirtualTimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Scheduler::Instance().Boot(ClockMode::Virtual);
        attachment_ = std::make_unique<Scheduler::Attachment>("test");
    }
    void TearDown() override
    {
        attachment_.reset();
        Scheduler::Instance().Shutdown();
    }
    static Ticks Now() { return Scheduler::Instance().Now(); }

private:
    std::unique_ptr<Scheduler::Attachment> attachment_;
};

}  // namespace winsim
