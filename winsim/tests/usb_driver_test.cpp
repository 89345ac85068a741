// The product driver on the emulated bus: found by its hardware id, started
// and configured through URBs, stopped and removed by the PnP manager.
#include <gtest/gtest.h>

#include "hw/firmware/application_firmware.h"
#include "km/io_manager.h"
#include "tests/usb_test_harness.h"

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath);

namespace winsim::test {
namespace {

// The configuration requests; message traffic follows every start.
std::vector<USHORT> Functions(const std::vector<hw::UrbRecord>& log, size_t from = 0)
{
    std::vector<USHORT> functions;
    for (size_t i = from; i < log.size(); ++i) {
        if (log[i].function != URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER) functions.push_back(log[i].function);
    }
    return functions;
}

class UsbDriverTest : public UsbMachineTest {
protected:
    pnp::DeviceNode* PlugWithDriver(bool remoteWakeup)
    {
        driver_ = machine().InstallAndLoadDriver("84prusb", DriverEntry);
        pnp().RegisterDriver(u"USB\\VID_2B84&PID_0841&MI_00", "84prusb");
        hw::DescriptorLayout layout = hw::DescriptorLayout::Adapter();
        layout.remoteWakeup = remoteWakeup;
        adapter_ = &AddAdapter("QTR0001", layout);
        hw::RunApplication(*adapter_);
        device_ = PlugAndSettle(*adapter_);
        return InterfaceNode(device_, 0);
    }

    PDRIVER_OBJECT driver_ = nullptr;
    hw::AdapterModel* adapter_ = nullptr;
    pnp::DeviceNode* device_ = nullptr;
};

TEST_F(UsbDriverTest, StartReadsTheDescriptorsAndSelectsTheConfiguration)
{
    pnp::DeviceNode* control = PlugWithDriver(false);
    ASSERT_NE(driver_, nullptr);
    EXPECT_EQ(control->State(), pnp::NodeState::kStarted);
    EXPECT_EQ(control->LastStatus(), STATUS_SUCCESS);
    EXPECT_EQ(control->Driver(), driver_);
    const std::vector<USHORT> expected = {URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE,
                                          URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, URB_FUNCTION_SELECT_CONFIGURATION};
    EXPECT_EQ(Functions(adapter_->UrbLog()), expected);
    EXPECT_EQ(adapter_->WaitWakeRequests(), 0u);
}

TEST_F(UsbDriverTest, RemoteWakeupMakesTheDriverArmAWaitWakeThatUnplugEnds)
{
    pnp::DeviceNode* control = PlugWithDriver(true);
    EXPECT_EQ(control->State(), pnp::NodeState::kStarted);
    EXPECT_EQ(adapter_->WaitWakeRequests(), 1u);
    bus().Unplug(*adapter_);
    pnp().WaitIdle();
    EXPECT_EQ(control->State(), pnp::NodeState::kDeleted);
    EXPECT_EQ(driver_->DeviceObject, nullptr);
}

TEST_F(UsbDriverTest, AnOpenControlHandleHoldsTheRemoveUntilItCloses)
{
    pnp::DeviceNode* control = PlugWithDriver(false);
    PFILE_OBJECT file = nullptr;
    ASSERT_EQ(io::OpenFile(u"\\DosDevices\\QTR84PR0", {}, &file), STATUS_SUCCESS);
    EXPECT_EQ(control->OpenFiles(), 1);
    bus().Unplug(*adapter_);
    pnp().WaitIdle();
    EXPECT_EQ(control->State(), pnp::NodeState::kSurpriseRemoved);
    EXPECT_NE(driver_->DeviceObject, nullptr);
    io::CleanupFile(file);
    ObDereferenceObject(file);
    pnp().WaitIdle();
    EXPECT_EQ(control->State(), pnp::NodeState::kDeleted);
    EXPECT_EQ(driver_->DeviceObject, nullptr);
}

TEST_F(UsbDriverTest, RebalanceDeconfiguresAndConfiguresAgain)
{
    pnp::DeviceNode* control = PlugWithDriver(false);
    const size_t started = adapter_->UrbLog().size();
    // The restart re-enables an interface still enabled: STATUS_OBJECT_NAME_EXISTS.
    EXPECT_TRUE(NT_SUCCESS(pnp().Rebalance(control)));
    const std::vector<USHORT> after = Functions(adapter_->UrbLog(), started);
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front(), URB_FUNCTION_ABORT_PIPE);
    EXPECT_EQ(after.back(), URB_FUNCTION_SELECT_CONFIGURATION);
    EXPECT_EQ(std::count(after.begin(), after.end(), URB_FUNCTION_SELECT_CONFIGURATION), 2);
    EXPECT_EQ(std::count(after.begin(), after.end(), URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE), 3);
    EXPECT_EQ(control->State(), pnp::NodeState::kStarted);
}

TEST_F(UsbDriverTest, EjectRemovesTheDriverAndLeavesThePdo)
{
    pnp::DeviceNode* control = PlugWithDriver(false);
    EXPECT_EQ(pnp().Eject(device_), STATUS_SUCCESS);
    EXPECT_EQ(control->State(), pnp::NodeState::kRemoved);
    EXPECT_EQ(driver_->DeviceObject, nullptr);
    EXPECT_NE(bus().FunctionPdo(*adapter_, 0), nullptr);
}

TEST_F(UsbDriverTest, RefusedSelectConfigurationFailsTheStart)
{
    driver_ = machine().InstallAndLoadDriver("84prusb", DriverEntry);
    pnp().RegisterDriver(u"USB\\VID_2B84&PID_0841&MI_00", "84prusb");
    adapter_ = &AddAdapter("QTR0001");
    adapter_->RefuseRequests(URB_FUNCTION_SELECT_CONFIGURATION, STATUS_UNSUCCESSFUL);
    pnp::DeviceNode* control = InterfaceNode(PlugAndSettle(*adapter_), 0);
    EXPECT_EQ(control->State(), pnp::NodeState::kStartFailed);
    EXPECT_EQ(control->LastStatus(), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(driver_->DeviceObject, nullptr);
}

}  // namespace
}  // namespace winsim::test
