// A driver for I/O tests: every device it creates dispatches every request
// through a function the test gives it, and a fixture that boots the machine.
#pragma once

#include <gtest/gtest.h>
#include <wdm.h>

#include <functional>

#include "sched/scheduler.h"

namespace winsim::test {

using Dispatch = std::function<NTSTATUS(PDEVICE_OBJECT, PIRP)>;

class TestDriver {
public:
    explicit TestDriver(const char* serviceName);
    // Unloads, which also has the pool report what the test leaked.
    ~TestDriver();
    TestDriver(const TestDriver&) = delete;
    TestDriver& operator=(const TestDriver&) = delete;

    PDRIVER_OBJECT Object() const { return driver_; }
    PDEVICE_OBJECT CreateDevice(const WCHAR* name, Dispatch dispatch, ULONG characteristics = 0,
                                bool exclusive = false);
    static void DeleteDevice(PDEVICE_OBJECT device);

private:
    PDRIVER_OBJECT driver_;
};

// Completes the IRP and returns the status, as a dispatch routine does.
NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information = 0);

// A device that passes everything down to the device it is attached to.
Dispatch PassDown(PDEVICE_OBJECT* lower);

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    Scheduler::Attachment* attachment_ = nullptr;
};

}  // namespace winsim::test
