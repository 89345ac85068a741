// A booted scheduler, the test's thread attached, and a fresh user mode
// (machine user's process, file system, clock at its start date).
#pragma once

#include "io_test_driver.h"
#include "um/um_process.h"

namespace winsim::test {

class UserModeTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        um::BootUserMode();
    }
    void TearDown() override
    {
        um::ShutdownUserMode();
        MachineTest::TearDown();
    }
};

}  // namespace winsim::test
