// Power transitions under low resources: system sleep and wake, a device
// power-down and the return to D0 with its port re-initialisation,
// selective suspend through the idle request, and wait-wake.
#include "fault_sweep_fixture.h"

namespace driver_test {
namespace {

using winsim::kTicksPerSecond;

std::vector<UCHAR> Bytes(size_t count)
{
    std::vector<UCHAR> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<UCHAR>(i * 5 + 1);
    return bytes;
}

VOID RecordStatus(PDEVICE_OBJECT, UCHAR, POWER_STATE, PVOID context, PIO_STATUS_BLOCK ioStatus)
{
    *static_cast<NTSTATUS*>(context) = ioStatus->Status;
}

class PowerFaultSweepTest : public FaultSweepTest {
protected:
    // A device power request as the policy owner sends it.
    NTSTATUS RequestPower(const PluggedAdapter& adapter, DEVICE_POWER_STATE state)
    {
        NTSTATUS status = STATUS_PENDING;
        POWER_STATE power;
        power.DeviceState = state;
        NTSTATUS requested =
            PoRequestPowerIrp(adapter.control->Pdo(), IRP_MN_SET_POWER, power, RecordStatus, &status, nullptr);
        if (!NT_SUCCESS(requested)) return requested;
        machine().RunUntilQuiet();
        return status;
    }

    // S3 and back: by the adapter's remote wakeup when it is given, else
    // (or when wait-wake could not be armed) by the user. Returns the
    // sleep's status, or the wake's.
    NTSTATUS SleepAndWake(winsim::hw::AdapterModel* waking = nullptr)
    {
        const NTSTATUS slept = machine().Sleep(PowerSystemSleeping3);
        NTSTATUS woke = STATUS_SUCCESS;
        if (machine().SystemState() != PowerSystemWorking) {
            if (waking == nullptr || !machine().RemoteWakeup(*waking)) woke = machine().Wake();
        }
        machine().RunUntilQuiet();
        return NT_SUCCESS(slept) ? woke : slept;
    }

    // Back in D0 with its ports working: what the port sends comes back.
    void ExpectWorking(SweepRun& run)
    {
        AdapterExtension* extension = Extension(run.plugged);
        EXPECT_EQ(extension->devicePower, static_cast<ULONG>(PowerDeviceD0));
        EXPECT_FALSE(run.plugged.model->Suspended());
        const std::vector<UCHAR> bytes = Bytes(100);
        EXPECT_EQ(Exchange(run, 0, bytes, bytes.size()), bytes);
    }
};

TEST_F(PowerFaultSweepTest, SleepAndWakeEndWellAndThePortsWorkAfterwards)
{
    SweepPath path;
    path.name = "system_sleep_wake";
    path.arrange = [&](SweepRun& run) {
        PlugFresh(run);
        OpenPort(run, 0);
    };
    path.act = [&](SweepRun&) { return SleepAndWake(); };
    path.verify = [&](SweepRun& run, NTSTATUS) {
        EXPECT_EQ(machine().SystemState(), PowerSystemWorking);
        ExpectWorking(run);
    };
    const SweepCount count = Sweep(path);
    EXPECT_GT(count.driver, 0u);
    EXPECT_GT(count.system, 0u);
}

TEST_F(PowerFaultSweepTest, ADevicePowerDownAndUpEndWellAndThePortsWorkAfterwards)
{
    SweepPath path;
    path.name = "device_power_down_up";
    path.arrange = [&](SweepRun& run) {
        PlugFresh(run);
        OpenPort(run, 0);
    };
    path.act = [&](SweepRun& run) {
        const NTSTATUS down = RequestPower(run.plugged, PowerDeviceD2);
        const NTSTATUS up = RequestPower(run.plugged, PowerDeviceD0);
        return NT_SUCCESS(down) ? up : down;
    };
    path.verify = [&](SweepRun& run, NTSTATUS status) {
        // A refused power-down leaves the adapter where it was; a refused
        // return to D0 is asked again.
        if (!NT_SUCCESS(status)) {
            EXPECT_EQ(RequestPower(run.plugged, PowerDeviceD0), STATUS_SUCCESS);
        }
        ExpectWorking(run);
    };
    const SweepCount count = Sweep(path);
    EXPECT_GT(count.driver, 0u);
}

TEST_F(PowerFaultSweepTest, SelectiveSuspendAndTheWakeByACreateEndWell)
{
    SweepPath path;
    path.name = "selective_suspend";
    path.arrange = [&](SweepRun& run) {
        EnableSelectiveSuspend();
        PlugFresh(run);
        // The standing message reads end and are not replaced: the adapter
        // idles.
        run.plugged.model->Stall(0x81);
        machine().RunUntilQuiet();
    };
    path.act = [&](SweepRun& run) {
        machine().Advance(6 * kTicksPerSecond);
        machine().RunUntilQuiet();
        const NTSTATUS opened = Open(DosName(0), &run.file);
        machine().RunUntilQuiet();
        return opened;
    };
    path.verify = [&](SweepRun& run, NTSTATUS status) {
        AdapterExtension* extension = Extension(run.plugged);
        if (!NT_SUCCESS(status)) {
            ASSERT_EQ(Open(DosName(0), &run.file), STATUS_SUCCESS);
        }
        machine().RunUntilQuiet();
        // An open handle keeps it awake.
        EXPECT_EQ(extension->devicePower, static_cast<ULONG>(PowerDeviceD0));
        EXPECT_FALSE(run.plugged.model->Suspended());
        EXPECT_EQ(extension->idleRequest, nullptr);
    };
    const SweepCount count = Sweep(path);
    EXPECT_GT(count.driver, 0u);
}

TEST_F(PowerFaultSweepTest, ARemoteWakeupAfterSleepEndsWell)
{
    winsim::hw::DescriptorLayout layout = winsim::hw::DescriptorLayout::Adapter();
    layout.remoteWakeup = true;
    SweepPath path;
    path.name = "wait_wake";
    path.arrange = [&](SweepRun& run) {
        PlugFresh(run, kPortsPerAdapter, layout);
        OpenPort(run, 0);
    };
    path.act = [&](SweepRun& run) { return SleepAndWake(run.plugged.model); };
    path.verify = [&](SweepRun& run, NTSTATUS) {
        EXPECT_EQ(machine().SystemState(), PowerSystemWorking);
        ExpectWorking(run);
    };
    const SweepCount count = Sweep(path);
    EXPECT_GT(count.system, 0u);
}

}  // namespace
}  // namespace driver_test
