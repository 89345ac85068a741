// The microcontroller on the bus without a driver: what it boots, and how a
// restart takes the adapter off the bus and brings it back as a new device.
#include <gtest/gtest.h>

#include <vector>

#include "common/message_wire.h"
#include "hw/firmware/flash_image.h"
#include "hw/firmware/microcontroller.h"
#include "usb_test_harness.h"

namespace winsim::test {
namespace {

using hw::Microcontroller;

std::vector<UCHAR> Image(const std::string& text)
{
    std::vector<UCHAR> image(2048, 0x5A);
    const std::string record = std::string(hw::kBuildRecordTag) + text;
    std::copy(record.begin(), record.end() + 1, image.begin() + 16);
    return image;
}

class MicrocontrollerTest : public UsbMachineTest {
protected:
    void TearDown() override
    {
        microcontroller_.reset();
        UsbMachineTest::TearDown();
    }
    Microcontroller& Build(hw::FlashMemory flash)
    {
        adapter_ = &AddAdapter("QTR0042");
        microcontroller_ = std::make_unique<Microcontroller>(*adapter_, bus(), std::move(flash));
        machine().AddBusyCondition(microcontroller_->BusyCondition());
        return *microcontroller_;
    }
    // What the host sends, as the bus hands it over.
    void Send(std::vector<UCHAR> message) { microcontroller_->OnOut(0x01, message); }

    hw::AdapterModel* adapter_ = nullptr;
    std::unique_ptr<Microcontroller> microcontroller_;
};

TEST_F(MicrocontrollerTest, BootsTheApplicationOnlyWhenTheHeaderValidates)
{
    Microcontroller& valid = Build(hw::FlashHoldingImage(Image("Ver 1.0.900")));
    valid.Plug();
    EXPECT_TRUE(valid.RunsApplication());
    EXPECT_EQ(valid.ApplicationText(), "Ver 1.0.900");

    // The application's page erased, the header left: the boot loader runs.
    valid.Unplug();
    valid.Flash().Erase(kFirmwareAppAddress, 4);
    valid.Plug();
    EXPECT_FALSE(valid.RunsApplication());
    EXPECT_EQ(valid.ApplicationText(), "");
}

TEST_F(MicrocontrollerTest, ARestartLeavesTheBusAndComesBackAsANewNodeWithTheSameSerialNumber)
{
    Microcontroller& mcu = Build(hw::FlashHoldingImage(Image("Ver 1.0.900")));
    pnp::DeviceNode* first = mcu.Plug();
    pnp().WaitIdle();
    ULONG observed = 0;
    mcu.SetRestartObserver([&] { ++observed; });

    // 0x5B with 1 first: back in the boot loader.
    Send({kMsgEnterBootLoader, 0, 1});
    Send({kMsgRestart, 0});
    const Ticks sent = machine().Now();
    machine().RunUntilQuiet();
    EXPECT_EQ(mcu.Restarts(), 1u);
    EXPECT_EQ(observed, 1u);
    EXPECT_FALSE(mcu.RunsApplication());
    EXPECT_GE(machine().Now() - sent, Microcontroller::kResetDelay + Microcontroller::kReconnectDelay);
    EXPECT_EQ(first->State(), pnp::NodeState::kDeleted);
    PDEVICE_OBJECT pdo = bus().FunctionPdo(*adapter_, 0);
    ASSERT_NE(pdo, nullptr);
    pnp::DeviceNode* second = pnp().FindNode(pdo)->Parent();
    EXPECT_NE(second, first);
    EXPECT_EQ(second->InstanceId(), u"QTR0042");

    // The boot loader's restart starts the valid application.
    Send({kMsgRestart, 0});
    machine().RunUntilQuiet();
    EXPECT_EQ(mcu.Restarts(), 2u);
    EXPECT_TRUE(mcu.RunsApplication());

    // A plain restart of the application comes back as the application.
    Send({kMsgRestart, 0});
    machine().RunUntilQuiet();
    EXPECT_EQ(mcu.Restarts(), 3u);
    EXPECT_TRUE(mcu.RunsApplication());
}

TEST_F(MicrocontrollerTest, PowerLossDropsTheRequestForTheBootLoaderAndARestartOnItsWay)
{
    Microcontroller& mcu = Build(hw::FlashHoldingImage(Image("Ver 1.0.900")));
    mcu.Plug();
    pnp().WaitIdle();
    Send({kMsgEnterBootLoader, 0, 1});
    Send({kMsgRestart, 0});
    // Pulled out before the reset: it never comes back by itself.
    mcu.Unplug();
    machine().RunUntilQuiet();
    EXPECT_EQ(mcu.Restarts(), 0u);
    EXPECT_EQ(bus().FunctionPdo(*adapter_, 0), nullptr);
    mcu.Plug();
    EXPECT_TRUE(mcu.RunsApplication());
}

}  // namespace
}  // namespace winsim::test
