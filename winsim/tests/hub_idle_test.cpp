// The hub's idle notification and the adapter's suspend: the callback runs at
// PASSIVE_LEVEL once per request, a refusing hub answers STATUS_NOT_SUPPORTED,
// one request at a time, and the request ends when cancelled, when the
// device is back in D0 or when it is unplugged; remote wakeup needs a
// suspended device with a wait-wake armed.
#include <gtest/gtest.h>

#include <usbioctl.h>

#include "usb_test_harness.h"

namespace winsim::test {
namespace {

struct IdleRecord {
    ULONG callbacks = 0;
    KIRQL callbackIrql = HIGH_LEVEL;
    bool completed = false;
    NTSTATUS status = STATUS_PENDING;
};

VOID RecordCallback(PVOID context)
{
    auto* record = static_cast<IdleRecord*>(context);
    record->callbacks++;
    record->callbackIrql = KeGetCurrentIrql();
}

NTSTATUS RecordCompletion(PDEVICE_OBJECT, PIRP irp, PVOID context)
{
    auto* record = static_cast<IdleRecord*>(context);
    record->completed = true;
    record->status = irp->IoStatus.Status;
    return STATUS_MORE_PROCESSING_REQUIRED;
}

VOID IgnorePowerCompletion(PDEVICE_OBJECT, UCHAR, POWER_STATE, PVOID, PIO_STATUS_BLOCK) {}

class HubIdleTest : public UsbMachineTest {
protected:
    PDEVICE_OBJECT PlugAdapter(bool remoteWakeup = false)
    {
        hw::DescriptorLayout layout = hw::DescriptorLayout::Adapter();
        layout.remoteWakeup = remoteWakeup;
        adapter_ = &AddAdapter("QTR0001", layout);
        PlugAndSettle(*adapter_);
        return bus().FunctionPdo(*adapter_, 0);
    }

    // One idle notification on its own IRP; freed by the test's end.
    PIRP Submit(PDEVICE_OBJECT pdo, IdleRecord* record)
    {
        auto info = std::make_unique<USB_IDLE_CALLBACK_INFO>();
        info->IdleCallback = RecordCallback;
        info->IdleContext = record;
        PIRP irp = IoAllocateIrp(pdo->StackSize, FALSE);
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
        next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION;
        next->Parameters.DeviceIoControl.Type3InputBuffer = info.get();
        next->Parameters.DeviceIoControl.InputBufferLength = sizeof(USB_IDLE_CALLBACK_INFO);
        IoSetCompletionRoutine(irp, RecordCompletion, record, TRUE, TRUE, TRUE);
        infos_.push_back(std::move(info));
        irps_.push_back(irp);
        IoCallDriver(pdo, irp);
        return irp;
    }

    void SetDevicePower(PDEVICE_OBJECT pdo, DEVICE_POWER_STATE state)
    {
        POWER_STATE power;
        power.DeviceState = state;
        PoRequestPowerIrp(pdo, IRP_MN_SET_POWER, power, IgnorePowerCompletion, nullptr, nullptr);
        machine().RunUntilQuiet();
    }

    void TearDown() override
    {
        for (PIRP irp : irps_) IoFreeIrp(irp);
        irps_.clear();
        UsbMachineTest::TearDown();
    }

    hw::AdapterModel* adapter_ = nullptr;
    std::vector<std::unique_ptr<USB_IDLE_CALLBACK_INFO>> infos_;
    std::vector<PIRP> irps_;
};

TEST_F(HubIdleTest, TheCallbackRunsOnceAtPassiveLevelAndTheRequestEndsWhenTheDeviceIsBackInD0)
{
    PDEVICE_OBJECT pdo = PlugAdapter();
    IdleRecord record;
    Submit(pdo, &record);
    machine().RunUntilQuiet();
    EXPECT_EQ(record.callbacks, 1u);
    EXPECT_EQ(record.callbackIrql, PASSIVE_LEVEL);
    EXPECT_FALSE(record.completed);
    EXPECT_EQ(adapter_->IdleCallbacks(), 1u);

    // One at a time.
    IdleRecord second;
    Submit(pdo, &second);
    EXPECT_TRUE(second.completed);
    EXPECT_EQ(second.status, STATUS_DEVICE_BUSY);

    SetDevicePower(pdo, PowerDeviceD2);
    EXPECT_TRUE(adapter_->Suspended());
    EXPECT_FALSE(record.completed);
    SetDevicePower(pdo, PowerDeviceD0);
    EXPECT_FALSE(adapter_->Suspended());
    EXPECT_EQ(adapter_->Suspends(), 1u);
    ASSERT_TRUE(record.completed);
    EXPECT_EQ(record.status, STATUS_SUCCESS);
}

TEST_F(HubIdleTest, ARefusingHubAnswersNotSupportedAndACancelEndsAPendingRequest)
{
    PDEVICE_OBJECT pdo = PlugAdapter();
    adapter_->RefuseIdleNotification(true);
    IdleRecord refused;
    Submit(pdo, &refused);
    EXPECT_TRUE(refused.completed);
    EXPECT_EQ(refused.status, STATUS_NOT_SUPPORTED);
    EXPECT_EQ(refused.callbacks, 0u);

    adapter_->RefuseIdleNotification(false);
    IdleRecord cancelled;
    PIRP irp = Submit(pdo, &cancelled);
    machine().RunUntilQuiet();
    EXPECT_EQ(cancelled.callbacks, 1u);
    EXPECT_TRUE(IoCancelIrp(irp));
    ASSERT_TRUE(cancelled.completed);
    EXPECT_EQ(cancelled.status, STATUS_CANCELLED);
}

TEST_F(HubIdleTest, UnplugEndsAPendingRequestAndRemoteWakeupNeedsASuspendedDeviceWithWakeArmed)
{
    PDEVICE_OBJECT pdo = PlugAdapter(true);
    EXPECT_FALSE(bus().RemoteWakeup(*adapter_));  // awake
    SetDevicePower(pdo, PowerDeviceD2);
    EXPECT_FALSE(bus().RemoteWakeup(*adapter_));  // nothing armed

    IdleRecord record;
    Submit(pdo, &record);
    machine().RunUntilQuiet();
    bus().Unplug(*adapter_);
    pnp().WaitIdle();  // the surprise removal ends it
    machine().RunUntilQuiet();
    ASSERT_TRUE(record.completed);
    EXPECT_EQ(record.status, STATUS_NO_SUCH_DEVICE);
    EXPECT_FALSE(bus().RemoteWakeup(*adapter_));  // gone
}

}  // namespace
}  // namespace winsim::test
