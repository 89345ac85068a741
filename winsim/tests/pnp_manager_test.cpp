// The PnP manager with the USB bus: enumeration of a plugged adapter, the
// order of requests a function driver sees, and the removal and stop
// sequences.
#include <gtest/gtest.h>

#include "km/io_manager.h"
#include "usb_test_harness.h"

namespace winsim::test {
namespace {

constexpr char16_t kControlInterfaceId[] = u"USB\\VID_2B84&PID_0841&MI_00";

std::vector<std::string> Events(std::initializer_list<UCHAR> minors)
{
    std::vector<std::string> events;
    for (UCHAR minor : minors) events.push_back(PnpEvent(minor));
    return events;
}

// The events after the first `skip`.
std::vector<std::string> EventsAfter(size_t skip)
{
    const std::vector<std::string>& all = FunctionDriver().events;
    return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(std::min(skip, all.size())), all.end());
}

class PnpManagerTest : public UsbMachineTest {
protected:
    // Adapter plugged, the test function driver on interface 0 started.
    pnp::DeviceNode* PlugWithDriver(hw::DescriptorLayout layout = hw::DescriptorLayout::Adapter())
    {
        driver_ = InstallFunctionDriver(kControlInterfaceId);
        adapter_ = &AddAdapter("QTR0001", std::move(layout));
        device_ = PlugAndSettle(*adapter_);
        control_ = InterfaceNode(device_, 0);
        return control_;
    }

    PDRIVER_OBJECT driver_ = nullptr;
    hw::AdapterModel* adapter_ = nullptr;
    pnp::DeviceNode* device_ = nullptr;
    pnp::DeviceNode* control_ = nullptr;
};

TEST_F(PnpManagerTest, PlugReportsTheAdapterAndOneDriverlessNodePerInterface)
{
    hw::AdapterModel& adapter = AddAdapter("QTR0001");
    pnp::DeviceNode* device = PlugAndSettle(adapter);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->Parent(), pnp().Root());
    const std::vector<std::u16string> ids = {u"USB\\VID_2B84&PID_0841&REV_0200", u"USB\\VID_2B84&PID_0841"};
    EXPECT_EQ(device->HardwareIds(), ids);
    EXPECT_EQ(device->InstancePath(), u"USB\\VID_2B84&PID_0841\\QTR0001");
    EXPECT_EQ(io::InstanceId(device->Pdo()), u"USB\\VID_2B84&PID_0841\\QTR0001");
    EXPECT_EQ(pnp().FindByInstancePath(u"usb\\vid_2b84&pid_0841\\qtr0001"), device);

    ASSERT_EQ(device->Children().size(), 5u);
    pnp::DeviceNode* control = InterfaceNode(device, 0);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->HardwareIds().front(), u"USB\\VID_2B84&PID_0841&REV_0200&MI_00");
    EXPECT_EQ(control->HardwareIds().back(), kControlInterfaceId);
    EXPECT_EQ(control->Pdo(), bus().FunctionPdo(adapter, 0));
    ASSERT_NE(InterfaceNode(device, 4), nullptr);
    for (pnp::DeviceNode* child : device->Children()) EXPECT_EQ(child->State(), pnp::NodeState::kNoDriver);

    // The PDO answers the identity queries itself.
    ULONG_PTR information = 0;
    ASSERT_EQ(pnp().SendPnp(control, IRP_MN_QUERY_ID,
                            [](IO_STACK_LOCATION& location) { location.Parameters.QueryId.IdType = BusQueryHardwareIDs; },
                            &information),
              STATUS_SUCCESS);
    auto* list = reinterpret_cast<const char16_t*>(information);
    std::u16string first(list);
    std::u16string second(list + first.size() + 1);
    EXPECT_EQ(first, control->HardwareIds().front());
    EXPECT_EQ(second, control->HardwareIds().back());
    EXPECT_EQ(list[first.size() + second.size() + 2], u'\0');
    ExFreePool(reinterpret_cast<PVOID>(information));
}

TEST_F(PnpManagerTest, FunctionDriverSeesAddDeviceStartThenCapabilitiesFromTheBus)
{
    pnp::DeviceNode* control = PlugWithDriver();
    const std::vector<std::string> expected = {"AddDevice", PnpEvent(IRP_MN_START_DEVICE),
                                               PnpEvent(IRP_MN_QUERY_CAPABILITIES)};
    EXPECT_EQ(FunctionDriver().events, expected);
    for (NTSTATUS status : FunctionDriver().arrivedWith) EXPECT_EQ(status, STATUS_NOT_SUPPORTED);
    EXPECT_EQ(control->State(), pnp::NodeState::kStarted);
    EXPECT_EQ(control->Driver(), driver_);
    EXPECT_EQ(InterfaceNode(device_, 1)->Driver(), nullptr);

    // Filled by the bus on the way up: no remote wakeup, so sleep is D3.
    const DEVICE_CAPABILITIES& seen = FunctionDriver().capabilities;
    EXPECT_EQ(seen.Size, sizeof(DEVICE_CAPABILITIES));
    EXPECT_EQ(seen.DeviceState[PowerSystemWorking], PowerDeviceD0);
    EXPECT_EQ(seen.DeviceState[PowerSystemSleeping3], PowerDeviceD3);
    EXPECT_EQ(seen.SystemWake, PowerSystemUnspecified);
    EXPECT_TRUE(seen.Removable && seen.UniqueID && seen.SurpriseRemovalOK);
    EXPECT_EQ(control->Capabilities().Address, 1u);
}

TEST_F(PnpManagerTest, RemoteWakeupShowsInTheCapabilities)
{
    hw::DescriptorLayout layout = hw::DescriptorLayout::Adapter();
    layout.remoteWakeup = true;
    PlugWithDriver(layout);
    const DEVICE_CAPABILITIES& seen = FunctionDriver().capabilities;
    EXPECT_EQ(seen.DeviceState[PowerSystemSleeping1], PowerDeviceD2);
    EXPECT_EQ(seen.DeviceState[PowerSystemSleeping3], PowerDeviceD2);
    EXPECT_EQ(seen.DeviceState[PowerSystemHibernate], PowerDeviceD3);
    EXPECT_EQ(seen.SystemWake, PowerSystemSleeping3);
    EXPECT_EQ(seen.DeviceWake, PowerDeviceD2);
}

TEST_F(PnpManagerTest, TheMostSpecificHardwareIdChoosesTheDriver)
{
    PDRIVER_OBJECT general = InstallFunctionDriver(kControlInterfaceId, "qtrgeneral");
    PDRIVER_OBJECT specific = InstallFunctionDriver(u"usb\\vid_2b84&pid_0841&rev_0200&mi_00", "qtrspecific");
    hw::AdapterModel& adapter = AddAdapter("QTR0001");
    pnp::DeviceNode* control = InterfaceNode(PlugAndSettle(adapter), 0);
    EXPECT_EQ(control->Driver(), specific);
    EXPECT_NE(control->Driver(), general);
}

TEST_F(PnpManagerTest, UnplugEndsTransfersThenSurpriseRemovesAndRemovesAfterTheLastClose)
{
    pnp::DeviceNode* control = PlugWithDriver();
    PDEVICE_OBJECT pdo = control->Pdo();
    PFILE_OBJECT file = nullptr;
    ASSERT_EQ(io::OpenFile(io::DeviceName(pdo), {}, &file), STATUS_SUCCESS);
    EXPECT_EQ(control->OpenFiles(), 1);

    Configuration configuration(ReadConfiguration(pdo));
    ASSERT_EQ(SubmitUrb(pdo, configuration.Urb()), STATUS_SUCCESS);
    std::vector<UCHAR> buffer(64);
    UrbRequest read(pdo);
    read.BuildTransfer(configuration.Pipe(0x81), buffer, USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
    ASSERT_EQ(read.Send(), STATUS_PENDING);
    bool readEndedBeforeSurprise = false;
    FunctionDriver().onPnp = [&](UCHAR minor) {
        if (minor == IRP_MN_SURPRISE_REMOVAL) readEndedBeforeSurprise = read.Done();
    };
    const size_t started = FunctionDriver().events.size();

    bus().Unplug(*adapter_);
    pnp().WaitIdle();
    EXPECT_EQ(read.Status(), STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(read.Urb().UrbHeader.Status, USBD_STATUS_DEVICE_GONE);
    EXPECT_TRUE(readEndedBeforeSurprise);
    EXPECT_EQ(EventsAfter(started), Events({IRP_MN_SURPRISE_REMOVAL}));
    EXPECT_EQ(control->State(), pnp::NodeState::kSurpriseRemoved);
    // The parent waits for its child.
    EXPECT_NE(device_->State(), pnp::NodeState::kDeleted);

    // The device is gone: new requests fail at once.
    UrbRequest late(pdo);
    late.BuildTransfer(configuration.Pipe(0x81), buffer, USBD_TRANSFER_DIRECTION_IN);
    EXPECT_EQ(late.Send(), STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_TRUE(late.Done());

    io::CleanupFile(file);
    ObDereferenceObject(file);
    pnp().WaitIdle();
    EXPECT_EQ(EventsAfter(started), Events({IRP_MN_SURPRISE_REMOVAL, IRP_MN_REMOVE_DEVICE}));
    EXPECT_EQ(control->State(), pnp::NodeState::kDeleted);
    EXPECT_EQ(control->Pdo(), nullptr);
    EXPECT_EQ(device_->State(), pnp::NodeState::kDeleted);
    EXPECT_EQ(driver_->DeviceObject, nullptr);
    FunctionDriver().onPnp = nullptr;
}

TEST_F(PnpManagerTest, EjectCancelsTheRemovalWhenTheDriverRefuses)
{
    pnp::DeviceNode* control = PlugWithDriver();
    const size_t started = FunctionDriver().events.size();
    FunctionDriver().queryRemoveStatus = STATUS_DEVICE_BUSY;
    EXPECT_EQ(pnp().Eject(device_), STATUS_DEVICE_BUSY);
    EXPECT_EQ(EventsAfter(started), Events({IRP_MN_QUERY_REMOVE_DEVICE, IRP_MN_CANCEL_REMOVE_DEVICE}));
    EXPECT_EQ(control->State(), pnp::NodeState::kStarted);

    FunctionDriver().queryRemoveStatus = STATUS_SUCCESS;
    EXPECT_EQ(pnp().Eject(device_), STATUS_SUCCESS);
    EXPECT_EQ(EventsAfter(started + 2), Events({IRP_MN_QUERY_REMOVE_DEVICE, IRP_MN_REMOVE_DEVICE}));
    EXPECT_EQ(control->State(), pnp::NodeState::kRemoved);
    EXPECT_EQ(device_->State(), pnp::NodeState::kRemoved);
    // Still plugged in: the PDOs stay until the adapter leaves the bus.
    EXPECT_EQ(control->Pdo(), bus().FunctionPdo(*adapter_, 0));
    EXPECT_NE(control->Pdo(), nullptr);
    EXPECT_EQ(driver_->DeviceObject, nullptr);
}

TEST_F(PnpManagerTest, RebalanceStopsAndStartsAgainUnlessTheStopIsRefused)
{
    pnp::DeviceNode* control = PlugWithDriver();
    size_t seen = FunctionDriver().events.size();
    EXPECT_EQ(pnp().Rebalance(control), STATUS_SUCCESS);
    EXPECT_EQ(EventsAfter(seen), Events({IRP_MN_QUERY_STOP_DEVICE, IRP_MN_STOP_DEVICE, IRP_MN_START_DEVICE,
                                        IRP_MN_QUERY_CAPABILITIES}));
    EXPECT_EQ(control->State(), pnp::NodeState::kStarted);

    seen = FunctionDriver().events.size();
    FunctionDriver().queryStopStatus = STATUS_UNSUCCESSFUL;
    EXPECT_EQ(pnp().Rebalance(control), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(EventsAfter(seen), Events({IRP_MN_QUERY_STOP_DEVICE, IRP_MN_CANCEL_STOP_DEVICE}));
    EXPECT_EQ(control->State(), pnp::NodeState::kStarted);

    // A raw sequence leaves the node's state alone.
    seen = FunctionDriver().events.size();
    FunctionDriver().queryStopStatus = STATUS_SUCCESS;
    EXPECT_EQ(pnp().SendPnp(control, IRP_MN_QUERY_STOP_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(pnp().SendPnp(control, IRP_MN_CANCEL_STOP_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(EventsAfter(seen), Events({IRP_MN_QUERY_STOP_DEVICE, IRP_MN_CANCEL_STOP_DEVICE}));
    EXPECT_EQ(control->State(), pnp::NodeState::kStarted);
}

TEST_F(PnpManagerTest, FailedStartLeavesTheNodeFailedWithItsStackRemoved)
{
    driver_ = InstallFunctionDriver(kControlInterfaceId);
    FunctionDriver().startStatus = STATUS_INSUFFICIENT_RESOURCES;
    hw::AdapterModel& adapter = AddAdapter("QTR0001");
    pnp::DeviceNode* control = InterfaceNode(PlugAndSettle(adapter), 0);
    const std::vector<std::string> expected = {"AddDevice", PnpEvent(IRP_MN_START_DEVICE),
                                               PnpEvent(IRP_MN_REMOVE_DEVICE)};
    EXPECT_EQ(FunctionDriver().events, expected);
    EXPECT_EQ(control->State(), pnp::NodeState::kStartFailed);
    EXPECT_EQ(control->LastStatus(), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(control->Driver(), nullptr);
    EXPECT_EQ(driver_->DeviceObject, nullptr);
    EXPECT_NE(control->Pdo(), nullptr);
}

TEST_F(PnpManagerTest, ForgettingDeletedNodesDropsOnlyTheUnpluggedAdapter)
{
    pnp::DeviceNode* control = PlugWithDriver();
    hw::AdapterModel& second = AddAdapter("QTR0002");
    pnp::DeviceNode* stays = PlugAndSettle(second);
    bus().Unplug(*adapter_);
    pnp().WaitIdle();
    ASSERT_EQ(control->State(), pnp::NodeState::kDeleted);

    pnp().ForgetDeletedNodes();
    EXPECT_EQ(pnp().Root()->Children(), std::vector<pnp::DeviceNode*>{stays});
    EXPECT_EQ(pnp().FindByInstancePath(u"USB\\VID_2B84&PID_0841\\QTR0001"), nullptr);
    EXPECT_EQ(stays->Children().size(), 5u);

    // Plugged again, the adapter is a new device to the manager.
    pnp::DeviceNode* again = PlugAndSettle(*adapter_);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(pnp().FindByInstancePath(u"USB\\VID_2B84&PID_0841\\QTR0001"), again);
    EXPECT_EQ(InterfaceNode(again, 0)->State(), pnp::NodeState::kStarted);
}

}  // namespace
}  // namespace winsim::test
