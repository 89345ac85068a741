// A COM remap end to end: the SET request rewrites "PortName" and the
// friendly name, restarts the adapter whose ports are all closed, and once
// the adapter is back the port driver registers the port with the number
// it finds in "PortName", which the info table then shows.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "common/control_codes.h"
#include "control_fixture.h"
#include "firmware/firmware_image.h"
#include "hw/firmware/flash_image.h"
#include "hw/firmware/microcontroller.h"
#include "registry/registry_store.h"

namespace driver_test {
namespace {

// The tables are packed wire records: checks compare copies of their fields,
// since a reference to one may be misaligned.

class ConfigRestartTest : public ControlDeviceTest {
protected:
    void TearDown() override
    {
        microcontroller_.reset();
        ControlDeviceTest::TearDown();
    }

    // The adapter as it really is: a microcontroller with the driver's own
    // application in flash, which restarts the adapter when told to.
    PluggedAdapter PlugWithMicrocontroller(const std::string& serial)
    {
        PluggedAdapter plugged;
        plugged.model = &machine().AddAdapter(serial);
        const std::vector<UCHAR> image(FirmwareImage, FirmwareImage + kFirmwareImageBytes);
        microcontroller_ = std::make_unique<winsim::hw::Microcontroller>(*plugged.model, machine().Usb(),
                                                                         winsim::hw::FlashHoldingImage(image));
        machine().AddBusyCondition(microcontroller_->BusyCondition());
        microcontroller_->Plug();
        machine().RunUntilQuiet();
        return Present(plugged);
    }
    // The adapter's present nodes (new ones after each restart).
    PluggedAdapter Present(PluggedAdapter plugged)
    {
        PDEVICE_OBJECT pdo = machine().Usb().FunctionPdo(*plugged.model, 0);
        plugged.control = pdo == nullptr ? nullptr : pnp().FindNode(pdo);
        plugged.device = plugged.control == nullptr ? nullptr : plugged.control->Parent();
        return plugged;
    }
    // What the port driver registers: each port's "PortName" number.
    std::vector<ULONG> ComNumbersFromPortNames(const BoundAdapter& adapter)
    {
        std::vector<ULONG> numbers;
        for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
            const std::u16string name = Text(PortParameters(adapter, port), u"PortName");
            numbers.push_back(name.size() > 3 ? static_cast<ULONG>(std::stoul(std::string(name.begin() + 3, name.end())))
                                              : 0);
        }
        return numbers;
    }

    std::unique_ptr<winsim::hw::Microcontroller> microcontroller_;
};

TEST_F(ConfigRestartTest, ANewComNumberIsWrittenTheAdapterRestartsAndComesBackWithIt)
{
    PluggedAdapter plugged = PlugWithMicrocontroller("QTR8000");
    ASSERT_NE(plugged.control, nullptr);
    ASSERT_EQ(plugged.control->State(), winsim::pnp::NodeState::kStarted);
    BoundAdapter& before = BindAndRegister(plugged, {3, 4, 5, 6});
    for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
        ASSERT_TRUE(winsim::registry::Store::Instance().SetString(PortParameters(before, port), u"PortName",
                                                                  u"COM" + std::u16string(1, u'3' + port)));
    }
    // The port driver lets go of the table; the adapter is about to go.
    before.table.dereference(before.table.context);
    before.bound = false;

    DeviceConfigTable config;
    ASSERT_TRUE(ControlIoctl(0, IOCTL_TMAN_APP_GET_DEVICE_CONFIG_TABLE, nullptr, 0, &config, sizeof(config)).ok);
    ASSERT_EQ(int32_t{config.count}, 1);
    PortConfig port1;
    std::memcpy(&port1, &config.adapters[0].ports[1], sizeof(port1));
    EXPECT_EQ(int32_t{port1.comNumber}, 4);
    port1.comNumber = 20;
    std::memcpy(&config.adapters[0].ports[1], &port1, sizeof(port1));
    config.adapters[0].updateFlag = kConfigUpdateFlag;
    IoctlResult result =
        ControlIoctl(0, IOCTL_TMAN_APP_SET_DEVICE_CONFIG_TABLE, &config, sizeof(config), nullptr, 0);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(Text(PortParameters(before, 1), u"PortName"), u"COM20");
    EXPECT_EQ(Text(PortInstanceKey(before, 1), u"FriendlyName"), u"Tessary QTR84PX-1 Serial Adapter Port (COM20)");
    machine().RunUntilQuiet();
    EXPECT_EQ(microcontroller_->Restarts(), 1u);

    // Back on the bus with new nodes and a new driver instance.
    PluggedAdapter back = Present(plugged);
    ASSERT_NE(back.control, nullptr);
    ASSERT_EQ(back.control->State(), winsim::pnp::NodeState::kStarted);
    EXPECT_NE(back.control, plugged.control);
    BoundAdapter& after = BindAndRegister(back, {0, 0, 0, 0}, 0);
    const std::vector<ULONG> numbers = ComNumbersFromPortNames(after);
    EXPECT_EQ(numbers, (std::vector<ULONG>{3, 20, 5, 6}));
    for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
        PortRegistration registration = {};
        registration.deviceObject = after.portDevices[port];
        registration.comNumber = numbers[port];
        ASSERT_EQ(after.table.registerPort(after.table.context, port, &registration), 1);
    }
    DeviceInfoTable info;
    ASSERT_TRUE(ControlIoctl(0, IOCTL_TMAN_APP_GET_DEVICE_INFO_TABLE, nullptr, 0, &info, sizeof(info)).ok);
    ASSERT_EQ(int32_t{info.count}, 1);
    EXPECT_EQ(int32_t{info.adapters[0].ports[1].comNumber}, 20);
    EXPECT_EQ(int32_t{info.adapters[0].ports[0].comNumber}, 3);
    // Nothing restarts it again without a change.
    machine().RunUntilQuiet();
    EXPECT_EQ(microcontroller_->Restarts(), 1u);
}

}  // namespace
}  // namespace driver_test
