// Settings in the registry: read rules and defaults, the texts written,
// and the friendly name found through the port's driver key.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "km/io_manager.h"
#include "machine/machine.h"
#include "registry/registry_store.h"
#include "services/port_registry.h"
#include "verifier/pool.h"

namespace {

const std::u16string kEnum = u"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\";
const std::u16string kPortsClass = u"{4d36e978-e325-11ce-bfc1-08002be10318}\\";

VOID Unload(PDRIVER_OBJECT) {}
NTSTATUS DevicesEntry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    driver->DriverUnload = Unload;
    return STATUS_SUCCESS;
}

std::u16string PortInterface(ULONG port) { return u"USB\\VID_2B84&PID_0841&MI_0" + std::u16string(1, u'1' + port); }

class PortRegistryTest : public ::testing::Test {
protected:
    winsim::Machine machine;
    winsim::PoolMark mark = winsim::Pool::Mark();
    winsim::registry::Store& store = winsim::registry::Store::Instance();
    PDRIVER_OBJECT driver = nullptr;
    PDEVICE_OBJECT adapterPdo = nullptr;
    PDEVICE_OBJECT ports[kPortsPerAdapter] = {};
    PDEVICE_OBJECT orphan = nullptr;  // a device without an instance
    int node = 0;

    void SetUp() override
    {
        driver = winsim::io::LoadDriver("qtrdevices", DevicesEntry);
        ASSERT_NE(driver, nullptr);
        adapterPdo = MakeDevice(u"USB\\VID_2B84&PID_0841&MI_00\\6&1&0");
        for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
            const std::u16string instance = PortInterface(port) + u"\\7&2&" + std::u16string(1, u'0' + port);
            ports[port] = MakeDevice(instance);
            store.SetString(kEnum + instance, u"Driver", kPortsClass + u"000" + std::u16string(1, u'4' + port));
        }
        ASSERT_EQ(IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &orphan), STATUS_SUCCESS);
    }
    void TearDown() override
    {
        IoDeleteDevice(orphan);
        for (PDEVICE_OBJECT device : ports) IoDeleteDevice(device);
        IoDeleteDevice(adapterPdo);
        EXPECT_TRUE(winsim::io::UnloadDriver(driver));
        EXPECT_TRUE(winsim::Pool::LeaksSince(mark).empty());
    }

    PDEVICE_OBJECT MakeDevice(const std::u16string& instance)
    {
        PDEVICE_OBJECT device = nullptr;
        EXPECT_EQ(IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device), STATUS_SUCCESS);
        device->DeviceObjectExtension->DeviceNode = &node;
        winsim::io::SetInstanceId(device, instance);
        store.SetString(kEnum + instance, u"DeviceDesc", u"test");
        return device;
    }
    std::u16string Parameters(PDEVICE_OBJECT device)
    {
        return kEnum + winsim::io::InstanceId(device) + u"\\Device Parameters";
    }
    void SetText(PDEVICE_OBJECT device, const char16_t* name, const char16_t* text)
    {
        ASSERT_TRUE(store.SetString(Parameters(device), name, text));
    }
    std::u16string Text(const std::u16string& key, const char16_t* name)
    {
        auto value = store.GetValue(key, name);
        if (!value) return u"<absent>";
        EXPECT_EQ(value->type, static_cast<ULONG>(REG_SZ));
        std::u16string text(reinterpret_cast<const char16_t*>(value->data.data()), value->data.size() / 2);
        // Stored with its NUL, as the length says.
        EXPECT_FALSE(text.empty());
        if (!text.empty()) {
            EXPECT_EQ(text.back(), u'\0');
            text.pop_back();
        }
        return text;
    }
    struct PortValues {
        LONG com, tx, rx, wake;
    };
    PortValues Read(PDEVICE_OBJECT device, ULONG* result = nullptr)
    {
        PortValues values = {-7, -7, -7, -7};
        ULONG opened = ReadPortConfig(device, &values.com, &values.tx, &values.rx, &values.wake);
        if (result != nullptr) *result = opened;
        return values;
    }
};

TEST_F(PortRegistryTest, AbsentValuesAndUnopenableKeysGiveTheDefaults)
{
    SetText(ports[0], u"Other", u"1");
    ULONG opened = 0;
    PortValues values = Read(ports[0], &opened);
    EXPECT_EQ(opened, 1u);
    EXPECT_EQ(values.com, 0);
    EXPECT_EQ(values.tx, 1);
    EXPECT_EQ(values.rx, 16);
    EXPECT_EQ(values.wake, 0);

    values = Read(orphan, &opened);
    EXPECT_EQ(opened, 0u);
    EXPECT_EQ(values.tx, 1);
    EXPECT_EQ(values.rx, 16);
    EXPECT_EQ(Read(nullptr, &opened).rx, 16);
    EXPECT_EQ(opened, 0u);

    LONG highPower = -1;
    LONG bulk = -1;
    EXPECT_EQ(ReadAdapterConfig(orphan, &highPower, &bulk), 0u);
    EXPECT_EQ(highPower, 0);
    EXPECT_EQ(bulk, 0);
}

TEST_F(PortRegistryTest, NumbersAreParsedFromTheFirstNineCharactersOfTextOnly)
{
    SetText(ports[0], u"PortName", u"COM12");
    SetText(ports[0], u"TransmitTiming", u"12abc");
    SetText(ports[0], u"ReceiveFIFO", u"  -1");
    SetText(ports[0], u"RemoteWakeup", u"a");
    PortValues values = Read(ports[0]);
    EXPECT_EQ(values.com, 12);
    EXPECT_EQ(values.tx, 12);
    EXPECT_EQ(values.rx, -1);
    EXPECT_EQ(values.wake, 10);

    SetText(ports[1], u"PortName", u"XYZ9");  // whatever the first three are
    SetText(ports[1], u"TransmitTiming", u"0000000056");  // the 6 is the tenth
    SetText(ports[1], u"ReceiveFIFO", u"fifo");
    values = Read(ports[1]);
    EXPECT_EQ(values.com, 9);
    EXPECT_EQ(values.tx, 5);
    EXPECT_EQ(values.rx, 0);

    SetText(ports[2], u"PortName", u"COM");
    store.SetDword(Parameters(ports[2]), u"TransmitTiming", 7);
    EXPECT_EQ(Read(ports[2]).com, 0);
    EXPECT_EQ(Read(ports[2]).tx, 1);  // a DWORD is not read

    // A value too long for the read buffer counts as absent.
    SetText(ports[3], u"ReceiveFIFO", std::u16string(200, u'4').c_str());
    EXPECT_EQ(Read(ports[3]).rx, 16);

    store.SetDword(Parameters(adapterPdo), u"HighPower", 1);
    SetText(adapterPdo, u"BulkTransfer", u"3");
    LONG highPower = -1;
    LONG bulk = -1;
    EXPECT_EQ(ReadAdapterConfig(adapterPdo, &highPower, &bulk), 1u);
    EXPECT_EQ(highPower, 0);
    EXPECT_EQ(bulk, 3);
}

TEST_F(PortRegistryTest, OnlyTheRequestedValuesAreRead)
{
    SetText(ports[0], u"ReceiveFIFO", u"60");
    LONG rx = 0;
    EXPECT_EQ(ReadPortConfig(ports[0], nullptr, nullptr, &rx, nullptr), 1u);
    EXPECT_EQ(rx, 60);
}

TEST_F(PortRegistryTest, ReceiveFifoSettingMapsAutomaticAndNone)
{
    EXPECT_EQ(ReadReceiveFifoSetting(ports[0]), 16);  // absent
    SetText(ports[0], u"ReceiveFIFO", u"-1");
    EXPECT_EQ(ReadReceiveFifoSetting(ports[0]), 16);
    SetText(ports[0], u"ReceiveFIFO", u"1");
    EXPECT_EQ(ReadReceiveFifoSetting(ports[0]), 0);
    SetText(ports[0], u"ReceiveFIFO", u"300");
    EXPECT_EQ(ReadReceiveFifoSetting(ports[0]), 44);
    SetText(ports[0], u"ReceiveFIFO", u"56");
    EXPECT_EQ(ReadReceiveFifoSetting(ports[0]), 56);
}

TEST_F(PortRegistryTest, PortWriteStoresTextAndNamesThePortInstance)
{
    const LONG com = 7;
    const LONG tx = -1;
    const LONG rx = 62;
    const LONG wake = 0x1f;
    WritePortConfig(kModelIndexDefault, ports[3], &com, &tx, &rx, &wake);
    EXPECT_EQ(Text(Parameters(ports[3]), u"PortName"), u"COM7");
    EXPECT_EQ(Text(Parameters(ports[3]), u"TransmitTiming"), u"-1");
    EXPECT_EQ(Text(Parameters(ports[3]), u"ReceiveFIFO"), u"62");
    EXPECT_EQ(Text(Parameters(ports[3]), u"RemoteWakeup"), u"1f");
    EXPECT_EQ(Text(kEnum + winsim::io::InstanceId(ports[3]), u"FriendlyName"),
              u"Tessary QTR84PX-1 Serial Adapter Port (COM7)");
    // Read back as written.
    PortValues values = Read(ports[3]);
    EXPECT_EQ(values.com, 7);
    EXPECT_EQ(values.tx, -1);
    EXPECT_EQ(values.rx, 62);
    EXPECT_EQ(values.wake, 0x1f);
    // Any 32-bit number fits.
    const LONG lowest = -2147483647 - 1;
    WritePortConfig(kModelIndexDefault, ports[3], nullptr, &lowest, nullptr, nullptr);
    EXPECT_EQ(Text(Parameters(ports[3]), u"TransmitTiming"), u"-2147483648");
}

TEST_F(PortRegistryTest, WithoutComNumberNeitherPortNameNorFriendlyNameChange)
{
    const LONG tx = 4;
    WritePortConfig(kModelIndexDefault, ports[1], nullptr, &tx, nullptr, nullptr);
    EXPECT_EQ(Text(Parameters(ports[1]), u"TransmitTiming"), u"4");
    EXPECT_EQ(Text(Parameters(ports[1]), u"PortName"), u"<absent>");
    EXPECT_EQ(Text(kEnum + winsim::io::InstanceId(ports[1]), u"FriendlyName"), u"<absent>");
    // A key that cannot be opened writes nothing anywhere.
    const LONG com = 9;
    WritePortConfig(kModelIndexDefault, orphan, &com, &tx, nullptr, nullptr);
}

TEST_F(PortRegistryTest, FriendlyNameModelRowsAndOutOfRangeIndex)
{
    const LONG com = 3;
    WritePortConfig(0, ports[0], &com, nullptr, nullptr, nullptr);
    const std::u16string instanceKey = kEnum + winsim::io::InstanceId(ports[0]);
    EXPECT_EQ(Text(instanceKey, u"FriendlyName"), u"Tessary ZMR Serial Port (COM3)");
    WritePortConfig(200, ports[0], &com, nullptr, nullptr, nullptr);
    EXPECT_EQ(Text(instanceKey, u"FriendlyName"), u"Tessary QTR84PX-1 Serial Adapter Port (COM3)");
}

TEST_F(PortRegistryTest, FriendlyNameGoesToEveryMatchOfTheFirstEnumKeyThatHasOne)
{
    // Port 2's own instance is under MI_03. Its driver key also appears
    // twice under MI_02 (once in another case) and once under MI_04.
    const std::u16string driverKey = kPortsClass + u"0006";
    const std::u16string own = kEnum + winsim::io::InstanceId(ports[2]);
    const std::u16string match = kEnum + PortInterface(1) + u"\\7&9&1";
    const std::u16string upper = kEnum + PortInterface(1) + u"\\7&9&2";
    const std::u16string other = kEnum + PortInterface(1) + u"\\7&9&3";
    const std::u16string later = kEnum + PortInterface(3) + u"\\7&9&4";
    store.SetString(match, u"Driver", driverKey);
    store.SetString(upper, u"Driver", u"{4D36E978-E325-11CE-BFC1-08002BE10318}\\0006");
    store.SetString(other, u"Driver", kPortsClass + u"0099");
    store.SetString(later, u"Driver", driverKey);
    UpdatePortFriendlyName(ports[2], "First");
    EXPECT_EQ(Text(match, u"FriendlyName"), u"First");
    EXPECT_EQ(Text(upper, u"FriendlyName"), u"First");
    EXPECT_EQ(Text(other, u"FriendlyName"), u"<absent>");
    // The search stops after the Enum key that matched.
    EXPECT_EQ(Text(own, u"FriendlyName"), u"<absent>");
    EXPECT_EQ(Text(later, u"FriendlyName"), u"<absent>");

    // MI_01 comes first: the search order decides, not the port number.
    const std::u16string first = kEnum + PortInterface(0) + u"\\7&9&5";
    store.SetString(first, u"Driver", driverKey);
    UpdatePortFriendlyName(ports[2], "Second");
    EXPECT_EQ(Text(first, u"FriendlyName"), u"Second");
    EXPECT_EQ(Text(match, u"FriendlyName"), u"First");

    // A port whose driver key is nowhere keeps its name, silently.
    UpdatePortFriendlyName(orphan, "Third");
    EXPECT_EQ(Text(first, u"FriendlyName"), u"Second");
}

TEST_F(PortRegistryTest, AdapterWriteStoresItsValuesAndTheWakeMaskInHex)
{
    WriteAdapterConfig(adapterPdo, 1, 0, 5);
    EXPECT_EQ(Text(Parameters(adapterPdo), u"HighPower"), u"1");
    EXPECT_EQ(Text(Parameters(adapterPdo), u"BulkTransfer"), u"0");
    EXPECT_EQ(Text(Parameters(adapterPdo), u"RemoteWakeup"), u"5");
    WriteAdapterConfig(adapterPdo, 0, 0, 10);
    EXPECT_EQ(Text(Parameters(adapterPdo), u"RemoteWakeup"), u"a");
    WritePortWakeMask(ports[0], 12);
    EXPECT_EQ(Text(Parameters(ports[0]), u"RemoteWakeup"), u"c");
}

}  // namespace
