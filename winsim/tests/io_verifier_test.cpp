// The verifier's IRP rules: each broken rule is reported, and the machine
// goes on without touching what the faulty driver left behind.
#include <memory>

#include "km/io_verifier_rules.h"
#include "io_test_driver.h"

namespace winsim::test {
namespace {

class IrpRuleTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        driver_ = std::make_unique<TestDriver>("ruletest");
    }
    void TearDown() override
    {
        driver_.reset();
        MachineTest::TearDown();
    }

    // Sends a built device control; its status block and event outlive a
    // request that stays pending.
    NTSTATUS Send(PDEVICE_OBJECT device)
    {
        KeInitializeEvent(&event_, NotificationEvent, FALSE);
        PIRP irp = IoBuildDeviceIoControlRequest(CTL_CODE(FILE_DEVICE_UNKNOWN, 0x900, METHOD_NEITHER, FILE_ANY_ACCESS),
                                                 device, nullptr, 0, nullptr, 0, FALSE, &event_, &ioStatus_);
        return IoCallDriver(device, irp);
    }

    std::unique_ptr<TestDriver> driver_;
    KEVENT event_;
    IO_STATUS_BLOCK ioStatus_ = {};
};

TEST_F(IrpRuleTest, CompletingTwiceIsReportedOnce)
{
    PDEVICE_OBJECT device = driver_->CreateDevice(nullptr, [](PDEVICE_OBJECT, PIRP irp) {
        Complete(irp, STATUS_SUCCESS);
        // The first completion freed the IRP; the second must not touch it.
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_SUCCESS;
    });
    Verifier::Capture capture;
    EXPECT_EQ(Send(device), STATUS_SUCCESS);
    ASSERT_EQ(capture.Reports().size(), 1u);
    EXPECT_EQ(capture.Reports()[0].rule, io::rule::kDoubleCompletion);
    EXPECT_EQ(capture.Reports()[0].code, ViolationCode::kMultipleIrpComplete);
    TestDriver::DeleteDevice(device);
}

TEST_F(IrpRuleTest, PendingReturnedWithoutMarkIsReportedWhenCompletedBeforeOrAfter)
{
    PIRP held = nullptr;
    PDEVICE_OBJECT completesAtOnce = driver_->CreateDevice(nullptr, [](PDEVICE_OBJECT, PIRP irp) {
        Complete(irp, STATUS_SUCCESS);
        return STATUS_PENDING;
    });
    PDEVICE_OBJECT queues = driver_->CreateDevice(nullptr, [&](PDEVICE_OBJECT, PIRP irp) {
        held = irp;
        return STATUS_PENDING;
    });
    {
        Verifier::Capture capture;
        Send(completesAtOnce);
        EXPECT_TRUE(capture.Saw(io::rule::kPendingWithoutMark));
    }
    {
        Verifier::Capture capture;
        EXPECT_EQ(Send(queues), STATUS_PENDING);
        // Undecided until completion: the mark could still come from below.
        EXPECT_TRUE(capture.Reports().empty());
        Complete(held, STATUS_SUCCESS);
        EXPECT_TRUE(capture.Saw(io::rule::kPendingWithoutMark));
    }
    TestDriver::DeleteDevice(completesAtOnce);
    TestDriver::DeleteDevice(queues);
}

TEST_F(IrpRuleTest, ReturnedStatusMustMatchTheCompletedOneAndAPendedIrpMustReturnPending)
{
    PIRP held = nullptr;
    PDEVICE_OBJECT mismatched = driver_->CreateDevice(nullptr, [](PDEVICE_OBJECT, PIRP irp) {
        Complete(irp, STATUS_SUCCESS);
        return STATUS_UNSUCCESSFUL;
    });
    PDEVICE_OBJECT markedButSucceeds = driver_->CreateDevice(nullptr, [&](PDEVICE_OBJECT, PIRP irp) {
        IoMarkIrpPending(irp);
        held = irp;
        return STATUS_SUCCESS;
    });
    {
        Verifier::Capture capture;
        Send(mismatched);
        EXPECT_TRUE(capture.Saw(io::rule::kStatusMismatch));
    }
    {
        Verifier::Capture capture;
        Send(markedButSucceeds);
        EXPECT_TRUE(capture.Saw(io::rule::kMarkedWithoutPending));
        Complete(held, STATUS_SUCCESS);
    }
    TestDriver::DeleteDevice(mismatched);
    TestDriver::DeleteDevice(markedButSucceeds);
}

TEST_F(IrpRuleTest, DeletingADeviceWithAnIrpOutstandingIsReported)
{
    PIRP held = nullptr;
    PDEVICE_OBJECT device = driver_->CreateDevice(nullptr, [&](PDEVICE_OBJECT, PIRP irp) {
        IoMarkIrpPending(irp);
        held = irp;
        return STATUS_PENDING;
    });
    EXPECT_EQ(Send(device), STATUS_PENDING);
    {
        Verifier::Capture capture;
        TestDriver::DeleteDevice(device);
        EXPECT_TRUE(capture.Saw(io::rule::kDeleteWithIrpsOutstanding));
    }
    // The device's memory outlives the IRP that still points at it.
    EXPECT_EQ(IoGetCurrentIrpStackLocation(held)->DeviceObject, device);
    Complete(held, STATUS_SUCCESS);
}

TEST_F(IrpRuleTest, FreeingAnIrpInFlightIsRefused)
{
    PIRP held = nullptr;
    PDEVICE_OBJECT device = driver_->CreateDevice(nullptr, [&](PDEVICE_OBJECT, PIRP irp) {
        IoMarkIrpPending(irp);
        held = irp;
        return STATUS_PENDING;
    });
    PIRP irp = IoAllocateIrp(device->StackSize, FALSE);
    IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_DEVICE_CONTROL;
    IoSetCompletionRoutine(
        irp, [](PDEVICE_OBJECT, PIRP, PVOID) -> NTSTATUS { return STATUS_MORE_PROCESSING_REQUIRED; }, nullptr,
        TRUE, TRUE, TRUE);
    EXPECT_EQ(IoCallDriver(device, irp), STATUS_PENDING);
    {
        Verifier::Capture capture;
        IoFreeIrp(irp);
        EXPECT_TRUE(capture.Saw(io::rule::kFreeInFlight));
    }
    Complete(held, STATUS_SUCCESS);
    IoFreeIrp(irp);
    TestDriver::DeleteDevice(device);
}

TEST_F(IrpRuleTest, ADispatchRoutineReturningAtAnotherIrqlIsReported)
{
    PDEVICE_OBJECT device = driver_->CreateDevice(nullptr, [](PDEVICE_OBJECT, PIRP irp) {
        KIRQL old;
        KeRaiseIrql(DISPATCH_LEVEL, &old);
        return Complete(irp, STATUS_SUCCESS);
    });
    Verifier::Capture capture;
    Send(device);
    EXPECT_TRUE(capture.Saw("IRQL changed across a callback"));
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
    TestDriver::DeleteDevice(device);
}

TEST_F(IrpRuleTest, ForwardingWithoutALocationLeftIsReportedAndNotSent)
{
    PDEVICE_OBJECT lower = driver_->CreateDevice(nullptr, [](PDEVICE_OBJECT, PIRP irp) {
        return Complete(irp, STATUS_SUCCESS);
    });
    bool lowerReached = false;
    PDEVICE_OBJECT upper = driver_->CreateDevice(nullptr, [&](PDEVICE_OBJECT, PIRP irp) {
        NTSTATUS status = IoCallDriver(lower, irp);
        lowerReached = status == STATUS_SUCCESS;
        return Complete(irp, STATUS_SUCCESS);
    });
    // One location only, where the upper device needs two.
    PIRP irp = IoAllocateIrp(1, FALSE);
    IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_DEVICE_CONTROL;
    IoSetCompletionRoutine(
        irp, [](PDEVICE_OBJECT, PIRP, PVOID) -> NTSTATUS { return STATUS_MORE_PROCESSING_REQUIRED; }, nullptr,
        TRUE, TRUE, TRUE);
    {
        Verifier::Capture capture;
        IoCallDriver(upper, irp);
        EXPECT_TRUE(capture.Saw(io::rule::kNoMoreStackLocations));
    }
    EXPECT_FALSE(lowerReached);
    IoFreeIrp(irp);
    TestDriver::DeleteDevice(upper);
    TestDriver::DeleteDevice(lower);
}

}  // namespace
}  // namespace winsim::test
