// The driver configures the adapter through URBs: descriptors read, the
// configuration selected, a wait-wake armed only for remote wakeup, and the
// configuration dropped and made again around a rebalance.
#include <algorithm>
#include <vector>

#include "adapter_fixture.h"

namespace driver_test {
namespace {

using winsim::pnp::NodeState;

// The configuration requests; message traffic follows every start.
std::vector<USHORT> Functions(const std::vector<winsim::hw::UrbRecord>& log, size_t from = 0)
{
    std::vector<USHORT> functions;
    for (size_t i = from; i < log.size(); ++i) {
        if (log[i].function != URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER) functions.push_back(log[i].function);
    }
    return functions;
}

winsim::hw::DescriptorLayout WithRemoteWakeup(bool remoteWakeup)
{
    winsim::hw::DescriptorLayout layout = winsim::hw::DescriptorLayout::Adapter();
    layout.remoteWakeup = remoteWakeup;
    return layout;
}

class UsbConfigurationTest : public AdapterTest {};

TEST_F(UsbConfigurationTest, StartReadsTheDescriptorsAndSelectsTheConfiguration)
{
    PluggedAdapter adapter = Plug("QTR0001", WithRemoteWakeup(false));
    EXPECT_EQ(adapter.control->State(), NodeState::kStarted);
    EXPECT_EQ(adapter.control->LastStatus(), STATUS_SUCCESS);
    EXPECT_EQ(adapter.control->Driver(), driver_);
    const std::vector<USHORT> expected = {URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE,
                                          URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, URB_FUNCTION_SELECT_CONFIGURATION};
    EXPECT_EQ(Functions(adapter.model->UrbLog()), expected);
    EXPECT_EQ(adapter.model->WaitWakeRequests(), 0u);
}

TEST_F(UsbConfigurationTest, RemoteWakeupMakesTheDriverArmAWaitWakeThatUnplugEnds)
{
    PluggedAdapter adapter = Plug("QTR0001", WithRemoteWakeup(true));
    EXPECT_EQ(adapter.control->State(), NodeState::kStarted);
    EXPECT_EQ(adapter.model->WaitWakeRequests(), 1u);
    Unplug(adapter);
    EXPECT_EQ(adapter.control->State(), NodeState::kDeleted);
    EXPECT_EQ(driver_->DeviceObject, nullptr);
}

TEST_F(UsbConfigurationTest, RebalanceDeconfiguresAndConfiguresAgain)
{
    PluggedAdapter adapter = Plug("QTR0001");
    const size_t started = adapter.model->UrbLog().size();
    // The restart re-enables an interface still enabled: STATUS_OBJECT_NAME_EXISTS.
    EXPECT_TRUE(NT_SUCCESS(pnp().Rebalance(adapter.control)));
    const std::vector<USHORT> after = Functions(adapter.model->UrbLog(), started);
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front(), URB_FUNCTION_ABORT_PIPE);
    EXPECT_EQ(after.back(), URB_FUNCTION_SELECT_CONFIGURATION);
    EXPECT_EQ(std::count(after.begin(), after.end(), URB_FUNCTION_SELECT_CONFIGURATION), 2);
    EXPECT_EQ(std::count(after.begin(), after.end(), URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE), 3);
    EXPECT_EQ(adapter.control->State(), NodeState::kStarted);
}

TEST_F(UsbConfigurationTest, EjectRemovesTheDriverAndLeavesThePdo)
{
    PluggedAdapter adapter = Plug("QTR0001");
    EXPECT_EQ(pnp().Eject(adapter.device), STATUS_SUCCESS);
    EXPECT_EQ(adapter.control->State(), NodeState::kRemoved);
    EXPECT_EQ(driver_->DeviceObject, nullptr);
    EXPECT_NE(machine().Usb().FunctionPdo(*adapter.model, 0), nullptr);
}

TEST_F(UsbConfigurationTest, RefusedSelectConfigurationFailsTheStart)
{
    PluggedAdapter adapter = Plug("QTR0001", winsim::hw::DescriptorLayout::Adapter(), [](winsim::hw::AdapterModel& model) {
        model.RefuseRequests(URB_FUNCTION_SELECT_CONFIGURATION, STATUS_UNSUCCESSFUL);
    });
    EXPECT_EQ(adapter.control->State(), NodeState::kStartFailed);
    EXPECT_EQ(adapter.control->LastStatus(), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(driver_->DeviceObject, nullptr);
}

}  // namespace
}  // namespace driver_test
