// Power requests down an adapter's stack: PoRequestPowerIrp's completion
// function, the bus's record of the device state, and wait-wake, which only a
// configuration with remote wakeup keeps pending.
#include <gtest/gtest.h>

#include "km/io_device_extension.h"
#include "usb_test_harness.h"

namespace winsim::test {
namespace {

struct PowerCompletion {
    bool called = false;
    PDEVICE_OBJECT device = nullptr;
    UCHAR minor = 0xFF;
    POWER_STATE state = {};
    NTSTATUS status = STATUS_PENDING;
};

VOID RecordPowerCompletion(PDEVICE_OBJECT device, UCHAR minor, POWER_STATE state, PVOID context,
                           PIO_STATUS_BLOCK ioStatus)
{
    auto* record = static_cast<PowerCompletion*>(context);
    *record = {true, device, minor, state, ioStatus->Status};
}

class PnpPowerTest : public UsbMachineTest {
protected:
    PDEVICE_OBJECT PlugWithDriver(bool remoteWakeup)
    {
        InstallFunctionDriver(u"USB\\VID_2B84&PID_0841&MI_00");
        hw::DescriptorLayout layout = hw::DescriptorLayout::Adapter();
        layout.remoteWakeup = remoteWakeup;
        adapter_ = &AddAdapter("QTR0001", layout);
        PlugAndSettle(*adapter_);
        return bus().FunctionPdo(*adapter_, 0);
    }

    NTSTATUS Request(PDEVICE_OBJECT pdo, UCHAR minor, POWER_STATE state, PowerCompletion* completion)
    {
        return PoRequestPowerIrp(pdo, minor, state, RecordPowerCompletion, completion, nullptr);
    }

    hw::AdapterModel* adapter_ = nullptr;
};

TEST_F(PnpPowerTest, RequestedSetPowerReachesTheBusAndCallsTheCompletionFunction)
{
    PDEVICE_OBJECT pdo = PlugWithDriver(false);
    PowerCompletion completion;
    POWER_STATE d2;
    d2.DeviceState = PowerDeviceD2;
    EXPECT_EQ(Request(pdo, IRP_MN_SET_POWER, d2, &completion), STATUS_PENDING);
    pnp().WaitIdle();
    ASSERT_TRUE(completion.called);
    EXPECT_EQ(completion.status, STATUS_SUCCESS);
    EXPECT_EQ(completion.device, pdo);
    EXPECT_EQ(completion.minor, IRP_MN_SET_POWER);
    EXPECT_EQ(completion.state.DeviceState, PowerDeviceD2);
    EXPECT_EQ(pdo->DeviceObjectExtension->devicePowerState, PowerDeviceD2);
}

TEST_F(PnpPowerTest, WaitWakeStaysPendingUntilTheAdapterIsUnplugged)
{
    PDEVICE_OBJECT pdo = PlugWithDriver(true);
    PowerCompletion completion;
    POWER_STATE s3;
    s3.SystemState = PowerSystemSleeping3;
    PIRP irp = nullptr;
    EXPECT_EQ(PoRequestPowerIrp(pdo, IRP_MN_WAIT_WAKE, s3, RecordPowerCompletion, &completion, &irp), STATUS_PENDING);
    EXPECT_NE(irp, nullptr);
    machine().RunUntilQuiet();
    EXPECT_FALSE(completion.called);
    EXPECT_EQ(adapter_->WaitWakeRequests(), 1u);

    // A second one while the first waits is refused.
    PowerCompletion second;
    Request(pdo, IRP_MN_WAIT_WAKE, s3, &second);
    ASSERT_TRUE(second.called);
    EXPECT_EQ(second.status, STATUS_DEVICE_BUSY);

    bus().Unplug(*adapter_);
    ASSERT_TRUE(completion.called);
    EXPECT_EQ(completion.status, STATUS_NO_SUCH_DEVICE);
    EXPECT_EQ(completion.minor, IRP_MN_WAIT_WAKE);
    EXPECT_EQ(completion.state.SystemState, PowerSystemSleeping3);
}

TEST_F(PnpPowerTest, WaitWakeWithoutRemoteWakeupFailsAtOnce)
{
    PDEVICE_OBJECT pdo = PlugWithDriver(false);
    PowerCompletion completion;
    POWER_STATE s3;
    s3.SystemState = PowerSystemSleeping3;
    Request(pdo, IRP_MN_WAIT_WAKE, s3, &completion);
    ASSERT_TRUE(completion.called);
    EXPECT_EQ(completion.status, STATUS_INVALID_DEVICE_STATE);
    EXPECT_EQ(adapter_->WaitWakeRequests(), 1u);
}

TEST_F(PnpPowerTest, CancelledWaitWakeEndsCancelled)
{
    PDEVICE_OBJECT pdo = PlugWithDriver(true);
    PowerCompletion completion;
    POWER_STATE s3;
    s3.SystemState = PowerSystemSleeping3;
    PIRP irp = nullptr;
    PoRequestPowerIrp(pdo, IRP_MN_WAIT_WAKE, s3, RecordPowerCompletion, &completion, &irp);
    ASSERT_FALSE(completion.called);
    EXPECT_TRUE(IoCancelIrp(irp));
    ASSERT_TRUE(completion.called);
    EXPECT_EQ(completion.status, STATUS_CANCELLED);
}

}  // namespace
}  // namespace winsim::test
