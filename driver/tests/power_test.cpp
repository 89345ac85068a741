// The adapter's power policy on the simulated machine: the idle poll and
// selective suspend through the hub, what keeps the adapter awake, the
// return to D0 with its port initialisation, the power-down level, system
// sleep and wake, wait-wake, and an unplug in the middle of a transition.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "adapter_fixture.h"
#include "common/message_wire.h"
#include "common/port_registers.h"
#include "common/port_service_table.h"
#include "hw/serial/serial_port.h"
#include "port_services_client.h"
#include "core/power_policy.h"
#include "hw/firmware/application_firmware.h"
#include "registry/registry_store.h"

namespace driver_test {
namespace {

using winsim::kTicksPerSecond;

constexpr char16_t kParameters[] = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\84prusb\\Parameters";

// The application firmware, with a count of the port initialisations it hears.
class CountingFirmware : public winsim::hw::EndpointHandler {
public:
    explicit CountingFirmware(winsim::hw::AdapterModel& adapter)
        : application_(adapter, winsim::hw::DefaultApplicationVersion())
    {
    }
    void OnOut(UCHAR endpoint, const std::vector<UCHAR>& packet) override
    {
        if (!packet.empty() && MessageBaseCode(packet[0]) == kMsgPortInit) portInits[MessagePort(packet[0])]++;
        application_.OnOut(endpoint, packet);
    }
    ULONG portInits[4] = {};
    winsim::hw::ApplicationFirmware& application() { return application_; }

private:
    winsim::hw::ApplicationFirmware application_;
};

class PowerTest : public AdapterTest {
protected:
    void EnableSuspend() { winsim::registry::Store::Instance().SetDword(kParameters, u"BulkUsbEnable", 1); }

    PluggedAdapter PlugCounted(bool remoteWakeup = false)
    {
        winsim::hw::DescriptorLayout layout = winsim::hw::DescriptorLayout::Adapter();
        layout.remoteWakeup = remoteWakeup;
        return Plug("QTR0001", layout, [this](winsim::hw::AdapterModel& model) {
            auto owned = std::make_unique<CountingFirmware>(model);
            firmware_ = owned.get();
            model.InstallFirmware(std::move(owned));
        });
    }

    // The standing message reads end (a stalled IN pipe) and are not
    // replaced: only then does the adapter count as idle.
    void SilenceMessageReads(const PluggedAdapter& adapter)
    {
        adapter.model->Stall(0x81);
        machine().RunUntilQuiet();
        ASSERT_EQ(Extension(adapter)->outstandingIo, 1);
    }

    ULONG PortInits(ULONG port) const { return firmware_->portInits[port]; }
    winsim::hw::serial::SerialPort& Line(ULONG port) { return firmware_->application().Port(port); }

    CountingFirmware* firmware_ = nullptr;
};

TEST_F(PowerTest, WithoutTheSwitchAnIdleAdapterIsNeverSuspended)
{
    PluggedAdapter adapter = PlugCounted();
    AdapterExtension* extension = Extension(adapter);
    EXPECT_EQ(extension->suspendByRegistry, 0u);
    EXPECT_EQ(extension->suspendActive, 0u);
    SilenceMessageReads(adapter);
    machine().Advance(60 * kTicksPerSecond);
    EXPECT_EQ(adapter.model->IdleCallbacks(), 0u);
    EXPECT_EQ(extension->devicePower, static_cast<ULONG>(PowerDeviceD0));
    EXPECT_FALSE(adapter.model->Suspended());
}

TEST_F(PowerTest, AnIdleAdapterIsSuspendedAtTheFirstPollAndACreateWakesItWithItsPortsInitialisedAgain)
{
    EnableSuspend();
    PluggedAdapter adapter = PlugCounted();
    AdapterExtension* extension = Extension(adapter);
    ASSERT_EQ(extension->suspendActive, 1u);
    SilenceMessageReads(adapter);
    for (ULONG port = 0; port < 4; ++port) firmware_->portInits[port] = 0;

    const winsim::Ticks start = machine().Now();
    while (adapter.model->IdleCallbacks() == 0 && machine().Now() - start < 10 * kTicksPerSecond) {
        machine().Advance(kTicksPerSecond / 10);
    }
    machine().RunUntilQuiet();
    EXPECT_EQ(adapter.model->IdleCallbacks(), 1u);
    EXPECT_LE(machine().Now() - start, 6 * kTicksPerSecond);
    EXPECT_EQ(extension->devicePower, extension->powerDownLevel);
    EXPECT_TRUE(adapter.model->Suspended());
    EXPECT_EQ(extension->idlePending, 1);

    // The idle request stays pending: no further poll meanwhile.
    machine().Advance(20 * kTicksPerSecond);
    EXPECT_EQ(adapter.model->IdleCallbacks(), 1u);

    PFILE_OBJECT file = nullptr;
    ASSERT_EQ(Open(DosName(0), &file), STATUS_SUCCESS);
    machine().RunUntilQuiet();
    EXPECT_EQ(extension->devicePower, static_cast<ULONG>(PowerDeviceD0));
    EXPECT_FALSE(adapter.model->Suspended());
    EXPECT_EQ(extension->idlePending, 0);
    EXPECT_EQ(extension->idleRequest, nullptr);
    for (ULONG port = 0; port < 4; ++port) EXPECT_GE(PortInits(port), 1u) << port;

    // An open handle keeps it awake however long it idles.
    machine().Advance(30 * kTicksPerSecond);
    EXPECT_EQ(adapter.model->IdleCallbacks(), 1u);
    EXPECT_EQ(extension->devicePower, static_cast<ULONG>(PowerDeviceD0));

    Close(file);
    adapter.model->Stall(0x81);  // the new standing reads end as well
    machine().RunUntilQuiet();
    machine().Advance(6 * kTicksPerSecond);
    machine().RunUntilQuiet();
    EXPECT_EQ(adapter.model->IdleCallbacks(), 2u);
    EXPECT_TRUE(adapter.model->Suspended());
}

TEST_F(PowerTest, PendingMessageReadsKeepTheAdapterBusySoItNeverIdles)
{
    EnableSuspend();
    PluggedAdapter adapter = PlugCounted();
    AdapterExtension* extension = Extension(adapter);
    ASSERT_EQ(extension->suspendActive, 1u);
    machine().Advance(60 * kTicksPerSecond);
    // Four reads stand while the adapter works: the count never drops to 1.
    EXPECT_GE(extension->outstandingIo, 5);
    EXPECT_EQ(adapter.model->IdleCallbacks(), 0u);
    EXPECT_EQ(extension->devicePower, static_cast<ULONG>(PowerDeviceD0));
}

TEST_F(PowerTest, AHubWithoutIdleNotificationLeavesTheAdapterInD0AndThePollGoesOn)
{
    EnableSuspend();
    PluggedAdapter adapter = PlugCounted();
    adapter.model->RefuseIdleNotification(true);
    AdapterExtension* extension = Extension(adapter);
    SilenceMessageReads(adapter);
    machine().Advance(16 * kTicksPerSecond);
    machine().RunUntilQuiet();
    EXPECT_EQ(adapter.model->IdleCallbacks(), 0u);
    EXPECT_EQ(extension->devicePower, static_cast<ULONG>(PowerDeviceD0));
    EXPECT_EQ(extension->idlePending, 0);

    // Allowed again: the next poll suspends it.
    adapter.model->RefuseIdleNotification(false);
    machine().Advance(6 * kTicksPerSecond);
    machine().RunUntilQuiet();
    EXPECT_EQ(adapter.model->IdleCallbacks(), 1u);
    EXPECT_TRUE(adapter.model->Suspended());
}

TEST_F(PowerTest, UnplugWhileSuspendedEndsTheIdleRequestAndLeavesNothing)
{
    EnableSuspend();
    PluggedAdapter adapter = PlugCounted();
    SilenceMessageReads(adapter);
    machine().Advance(6 * kTicksPerSecond);
    machine().RunUntilQuiet();
    ASSERT_TRUE(adapter.model->Suspended());
    Unplug(adapter);
    EXPECT_EQ(adapter.control->State(), winsim::pnp::NodeState::kDeleted);
}

TEST_F(PowerTest, RemoteWakeupFromSelectiveSuspendBringsTheAdapterBack)
{
    EnableSuspend();
    PluggedAdapter adapter = PlugCounted(true);
    AdapterExtension* extension = Extension(adapter);
    ASSERT_EQ(extension->remoteWakeSupported, 1u);
    SilenceMessageReads(adapter);
    machine().Advance(6 * kTicksPerSecond);
    machine().RunUntilQuiet();
    ASSERT_TRUE(adapter.model->Suspended());
    EXPECT_EQ(extension->waitWakeOutstanding, 1);
    for (ULONG port = 0; port < 4; ++port) firmware_->portInits[port] = 0;

    EXPECT_TRUE(machine().RemoteWakeup(*adapter.model));
    machine().RunUntilQuiet();
    EXPECT_EQ(extension->devicePower, static_cast<ULONG>(PowerDeviceD0));
    EXPECT_FALSE(adapter.model->Suspended());
    for (ULONG port = 0; port < 4; ++port) EXPECT_GE(PortInits(port), 1u) << port;
    // Armed again for the next time.
    EXPECT_EQ(extension->waitWakeOutstanding, 1);
    EXPECT_FALSE(machine().RemoteWakeup(*adapter.model));  // awake: nothing to signal
}

TEST(PowerDownLevelTest, TheDeepestQualifyingSleepStateWinsAndNothingShallowerThanD3MeansD2)
{
    auto level = [](DEVICE_POWER_STATE s1, DEVICE_POWER_STATE s2, DEVICE_POWER_STATE s3) {
        DEVICE_CAPABILITIES capabilities = {};
        capabilities.DeviceState[PowerSystemSleeping1] = s1;
        capabilities.DeviceState[PowerSystemSleeping2] = s2;
        capabilities.DeviceState[PowerSystemSleeping3] = s3;
        return ComputePowerDownLevel(capabilities);
    };
    EXPECT_EQ(level(PowerDeviceD3, PowerDeviceD3, PowerDeviceD2), static_cast<ULONG>(PowerDeviceD2));
    EXPECT_EQ(level(PowerDeviceD3, PowerDeviceD3, PowerDeviceD3), static_cast<ULONG>(PowerDeviceD2));
    EXPECT_EQ(level(PowerDeviceD1, PowerDeviceD3, PowerDeviceD3), static_cast<ULONG>(PowerDeviceD1));
    EXPECT_EQ(level(PowerDeviceD1, PowerDeviceD2, PowerDeviceD3), static_cast<ULONG>(PowerDeviceD2));
    EXPECT_EQ(level(PowerDeviceD2, PowerDeviceD3, PowerDeviceD1), static_cast<ULONG>(PowerDeviceD1));
    EXPECT_EQ(level(PowerDeviceD0, PowerDeviceD3, PowerDeviceD3), static_cast<ULONG>(PowerDeviceD2));
    EXPECT_EQ(level(PowerDeviceUnspecified, PowerDeviceUnspecified, PowerDeviceUnspecified),
              static_cast<ULONG>(PowerDeviceD2));
}

TEST_F(PowerTest, TheBusCapabilitiesGiveD2AsThePowerDownLevelWithOrWithoutRemoteWakeup)
{
    PluggedAdapter plain = PlugCounted(false);
    EXPECT_EQ(Extension(plain)->powerDownLevel, static_cast<ULONG>(PowerDeviceD2));
    winsim::hw::DescriptorLayout layout = winsim::hw::DescriptorLayout::Adapter();
    layout.remoteWakeup = true;
    PluggedAdapter waking = Plug("QTR0002", layout);
    EXPECT_EQ(Extension(waking)->powerDownLevel, static_cast<ULONG>(PowerDeviceD2));
}

TEST_F(PowerTest, SleepAndWakeTakeTheAdapterToTheMappedStateAndBackWithItsPortsInitialisedAgain)
{
    PluggedAdapter adapter = PlugCounted(false);
    AdapterExtension* extension = Extension(adapter);
    for (ULONG port = 0; port < 4; ++port) firmware_->portInits[port] = 0;

    ASSERT_EQ(machine().Sleep(PowerSystemSleeping3), STATUS_SUCCESS);
    EXPECT_EQ(machine().SystemState(), PowerSystemSleeping3);
    EXPECT_EQ(extension->systemPower, static_cast<ULONG>(PowerSystemSleeping3));
    EXPECT_EQ(extension->devicePower, static_cast<ULONG>(PowerDeviceD3));  // no wakeup: S3 maps to D3
    EXPECT_TRUE(adapter.model->Suspended());
    // Held I/O: the standing reads were aborted and nothing else is left.
    EXPECT_EQ(extension->outstandingIo, 1);
    EXPECT_EQ(machine().Sleep(PowerSystemSleeping3), STATUS_INVALID_DEVICE_STATE);

    ASSERT_EQ(machine().Wake(), STATUS_SUCCESS);
    machine().RunUntilQuiet();
    EXPECT_EQ(machine().SystemState(), PowerSystemWorking);
    EXPECT_EQ(extension->systemPower, static_cast<ULONG>(PowerSystemWorking));
    EXPECT_EQ(extension->devicePower, static_cast<ULONG>(PowerDeviceD0));
    EXPECT_FALSE(adapter.model->Suspended());
    for (ULONG port = 0; port < 4; ++port) {
        EXPECT_GE(PortInits(port), 1u) << port;
        EXPECT_EQ(extension->ports[port].credits,
                  static_cast<LONG>(winsim::hw::ApplicationFirmware::kTransmitCredits));
    }
    EXPECT_GE(extension->outstandingIo, 5);  // the reads stand again
    EXPECT_EQ(machine().Wake(), STATUS_INVALID_DEVICE_STATE);
}

TEST_F(PowerTest, SleepArmsWakeupAndARemoteWakeupWakesTheMachine)
{
    PluggedAdapter adapter = PlugCounted(true);
    AdapterExtension* extension = Extension(adapter);
    const ULONG armedAtStart = adapter.model->WaitWakeRequests();
    EXPECT_GE(armedAtStart, 1u);
    ASSERT_EQ(machine().Sleep(PowerSystemSleeping3), STATUS_SUCCESS);
    EXPECT_EQ(extension->devicePower, static_cast<ULONG>(PowerDeviceD2));
    EXPECT_EQ(extension->waitWakeOutstanding, 1);

    EXPECT_TRUE(machine().RemoteWakeup(*adapter.model));
    machine().RunUntilQuiet();
    EXPECT_EQ(machine().SystemState(), PowerSystemWorking);
    EXPECT_EQ(extension->devicePower, static_cast<ULONG>(PowerDeviceD0));
    EXPECT_GE(extension->outstandingIo, 5);
}

TEST_F(PowerTest, WaitWakeIsCancelledAtStopAndArmedAgainAtTheRestart)
{
    PluggedAdapter adapter = PlugCounted(true);
    AdapterExtension* extension = Extension(adapter);
    ASSERT_EQ(extension->waitWakeOutstanding, 1);
    ASSERT_NE(extension->waitWakeRequest, nullptr);
    const ULONG before = adapter.model->WaitWakeRequests();

    ASSERT_EQ(pnp().Rebalance(adapter.control), STATUS_SUCCESS);
    machine().RunUntilQuiet();
    // The stop cancelled the old one (its callback cleared the flag), the
    // start armed a new one.
    EXPECT_EQ(adapter.model->WaitWakeRequests(), before + 1);
    EXPECT_EQ(extension->waitWakeOutstanding, 1);
    EXPECT_NE(extension->waitWakeRequest, nullptr);
}

TEST_F(PowerTest, UnplugWhileTheMachineSleepsRemovesTheAdapterAtWake)
{
    PluggedAdapter adapter = PlugCounted(true);
    ASSERT_EQ(machine().Sleep(PowerSystemSleeping3), STATUS_SUCCESS);
    machine().Usb().Unplug(*adapter.model);
    ASSERT_EQ(machine().Wake(), STATUS_SUCCESS);
    pnp().WaitIdle();
    machine().RunUntilQuiet();
    EXPECT_EQ(adapter.control->State(), winsim::pnp::NodeState::kDeleted);
}

TEST_F(PowerTest, UnplugWhileThePortsAreInitialisedAfterWakeLeavesNothing)
{
    PluggedAdapter adapter = PlugCounted(false);
    ASSERT_EQ(machine().Sleep(PowerSystemSleeping3), STATUS_SUCCESS);
    ASSERT_EQ(machine().Wake(), STATUS_SUCCESS);
    // The re-initialisation runs from a work item, waiting for credits.
    machine().Advance(5 * winsim::kTicksPerMillisecond);
    Unplug(adapter);
    EXPECT_EQ(adapter.control->State(), winsim::pnp::NodeState::kDeleted);
}

TEST_F(PowerTest, AVetoedSleepLeavesTheMachineInS0AndTheAdapterWorking)
{
    PluggedAdapter adapter = PlugCounted(true);
    AdapterExtension* extension = Extension(adapter);
    adapter.model->RefuseSleep(true);
    EXPECT_EQ(machine().Sleep(PowerSystemSleeping3), STATUS_UNSUCCESSFUL);
    machine().RunUntilQuiet();
    EXPECT_EQ(machine().SystemState(), PowerSystemWorking);
    EXPECT_EQ(extension->systemPower, static_cast<ULONG>(PowerSystemWorking));
    EXPECT_EQ(extension->devicePower, static_cast<ULONG>(PowerDeviceD0));
    EXPECT_FALSE(adapter.model->Suspended());
    EXPECT_GE(extension->outstandingIo, 5);  // the reads still stand

    adapter.model->RefuseSleep(false);
    EXPECT_EQ(machine().Sleep(PowerSystemSleeping3), STATUS_SUCCESS);
    EXPECT_EQ(machine().Wake(), STATUS_SUCCESS);
    machine().RunUntilQuiet();
    EXPECT_EQ(extension->devicePower, static_cast<ULONG>(PowerDeviceD0));
}

VOID RecordStatus(PDEVICE_OBJECT, UCHAR, POWER_STATE, PVOID context, PIO_STATUS_BLOCK ioStatus)
{
    *static_cast<NTSTATUS*>(context) = ioStatus->Status;
}

NTSTATUS RequestPower(const PluggedAdapter& adapter, UCHAR minor, DEVICE_POWER_STATE state, winsim::Machine& machine)
{
    NTSTATUS status = STATUS_PENDING;
    POWER_STATE power;
    power.DeviceState = state;
    EXPECT_EQ(PoRequestPowerIrp(adapter.control->Pdo(), minor, power, RecordStatus, &status, nullptr), STATUS_PENDING);
    machine.RunUntilQuiet();
    return status;
}

TEST_F(PowerTest, AQueryThatNoPowerDownFollowsLeavesTheAdapterWorkingAfterTheNextD0)
{
    PluggedAdapter adapter = PlugCounted(false);
    AdapterExtension* extension = Extension(adapter);
    ASSERT_GE(extension->outstandingIo, 5);

    // The same state as now: agreed without touching the traffic.
    EXPECT_EQ(RequestPower(adapter, IRP_MN_QUERY_POWER, PowerDeviceD0, machine()), STATUS_SUCCESS);
    EXPECT_GE(extension->outstandingIo, 5);

    // A deeper one drains it, as a sleep would need.
    EXPECT_EQ(RequestPower(adapter, IRP_MN_QUERY_POWER, PowerDeviceD2, machine()), STATUS_SUCCESS);
    EXPECT_EQ(extension->outstandingIo, 1);
    EXPECT_EQ(extension->devicePower, static_cast<ULONG>(PowerDeviceD0));

    // The sleep was vetoed elsewhere: D0 again brings the reads and ports back.
    for (ULONG port = 0; port < 4; ++port) firmware_->portInits[port] = 0;
    EXPECT_EQ(RequestPower(adapter, IRP_MN_SET_POWER, PowerDeviceD0, machine()), STATUS_SUCCESS);
    EXPECT_GE(extension->outstandingIo, 5);
    for (ULONG port = 0; port < 4; ++port) EXPECT_GE(PortInits(port), 1u) << port;

    // A plain D0 to D0 afterwards changes nothing.
    for (ULONG port = 0; port < 4; ++port) firmware_->portInits[port] = 0;
    EXPECT_EQ(RequestPower(adapter, IRP_MN_SET_POWER, PowerDeviceD0, machine()), STATUS_SUCCESS);
    for (ULONG port = 0; port < 4; ++port) EXPECT_EQ(PortInits(port), 0u) << port;
}

UCHAR StreamByte(size_t i) { return static_cast<UCHAR>(i * 7 + (i >> 8) + 3); }

// A port the port driver has open, streaming through a loopback plug.
class OpenPortAcrossSleepTest : public PowerTest {
protected:
    void BindAndOpen(const PluggedAdapter& adapter, ULONG baud)
    {
        table_ = BindPortServices(adapter.control->Pdo());
        OpenPortAt(table_, 0, baud);
    }

    // Writes `count` more bytes of the stream as the driver takes them, and
    // with `reading` takes in what arrives, in steps of 1 ms until all sent
    // bytes are back or `bound` has passed.
    void Stream(size_t count, bool reading, winsim::Ticks bound)
    {
        const size_t end = sent_ + count;
        const winsim::Ticks deadline = machine().Now() + bound;
        while (machine().Now() < deadline) {
            while (sent_ < end) {
                UCHAR chunk[kPortWriteMax];
                const ULONG n = static_cast<ULONG>(std::min<size_t>(kPortWriteMax, end - sent_));
                for (ULONG i = 0; i < n; ++i) chunk[i] = StreamByte(sent_ + i);
                if (table_.writeData(table_.context, 0, chunk, n) == 0) break;
                sent_ += n;
            }
            if (reading) Receive();
            if (sent_ == end && (!reading || received_ == sent_)) return;
            machine().Advance(winsim::kTicksPerMillisecond);
        }
    }

    // Reads what has arrived and checks it continues the stream.
    void Receive()
    {
        UCHAR buffer[512];
        for (;;) {
            ULONG length = sizeof(buffer);
            ASSERT_NE(table_.readData(table_.context, 0, buffer, &length), 0);
            for (ULONG i = 0; i < length; ++i) {
                if (buffer[i] != StreamByte(received_ + i)) wrong_++;
            }
            received_ += length;
            if (length == 0) return;
        }
    }

    PortServicesInterface table_ = {};
    size_t sent_ = 0;
    size_t received_ = 0;
    size_t wrong_ = 0;
};

TEST_F(OpenPortAcrossSleepTest, AnOpenPortKeepsItsSettingsAndWhatItReceivedAndStreamsOnAfterWake)
{
    PluggedAdapter adapter = PlugCounted(false);
    Line(0).PlugLoopback();
    AdapterExtension* extension = Extension(adapter);
    BindAndOpen(adapter, 115200);
    // Less than the receive ring holds, left unread while the machine sleeps.
    Stream(600, false, kTicksPerSecond);
    machine().Advance(kTicksPerSecond / 5);  // 52 ms of line time, and the way back
    machine().RunUntilQuiet();
    ASSERT_EQ(sent_, 600u);
    const ULONG waiting = ByteRingCount(extension->ports[0].receiveRing);
    ASSERT_GT(waiting, 0u);

    ASSERT_EQ(machine().Sleep(PowerSystemSleeping3), STATUS_SUCCESS);
    ASSERT_EQ(machine().Wake(), STATUS_SUCCESS);
    machine().RunUntilQuiet();
    EXPECT_EQ(extension->ports[0].registers.open, 1);
    EXPECT_EQ(extension->ports[0].baudRate, 115200u);
    EXPECT_EQ(ByteRingCount(extension->ports[0].receiveRing), waiting);

    Receive();
    EXPECT_EQ(received_, 600u);
    EXPECT_EQ(wrong_, 0u);
    // The stream goes on after wake: everything sent from now on arrives.
    Stream(6000, true, 5 * kTicksPerSecond);
    EXPECT_EQ(sent_, 6600u);
    EXPECT_EQ(received_, sent_);
    EXPECT_EQ(wrong_, 0u);
    table_.dereference(table_.context);
}

}  // namespace
}  // namespace driver_test
