// The control device from user mode: the tables, configuration, loopback,
// firmware version, the diagnostics requests and every refusal.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/control_codes.h"
#include "common/message_wire.h"
#include "control_fixture.h"
#include "core/adapter_table.h"
#include "registry/registry_store.h"
#include "services/event_log.h"
#include "services/monitor.h"

namespace driver_test {
namespace {

// The tables are packed wire records: checks compare copies of their fields,
// since a reference to one may be misaligned.

class ControlRequestTest : public ControlDeviceTest {
protected:
    DeviceInfoTable Info(int slot = 0, IoctlResult* result = nullptr)
    {
        DeviceInfoTable table;
        std::memset(&table, 0xCC, sizeof(table));
        IoctlResult r = ControlIoctl(slot, IOCTL_TMAN_APP_GET_DEVICE_INFO_TABLE, nullptr, 0, &table, sizeof(table));
        EXPECT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.bytes, sizeof(DeviceInfoTable));
        if (result != nullptr) *result = r;
        return table;
    }
    DeviceConfigTable Config(int slot = 0)
    {
        DeviceConfigTable table;
        std::memset(&table, 0xCC, sizeof(table));
        IoctlResult r = ControlIoctl(slot, IOCTL_TMAN_APP_GET_DEVICE_CONFIG_TABLE, nullptr, 0, &table, sizeof(table));
        EXPECT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.bytes, sizeof(DeviceConfigTable));
        return table;
    }
    IoctlResult Set(const DeviceConfigTable& table, int slot = 0)
    {
        IoctlResult r = ControlIoctl(slot, IOCTL_TMAN_APP_SET_DEVICE_CONFIG_TABLE, &table, sizeof(table), nullptr, 0);
        machine().RunUntilQuiet();
        return r;
    }
    static PortConfig PortOf(const DeviceConfigTable& table, int record, int port)
    {
        PortConfig config;
        std::memcpy(&config, &table.adapters[record].ports[port], sizeof(config));
        return config;
    }
    static void SetPort(DeviceConfigTable& table, int record, int port, int32_t com, int32_t tx, int32_t rx,
                        int32_t wake)
    {
        PortConfig config = {port, com, tx, rx, wake};
        std::memcpy(&table.adapters[record].ports[port], &config, sizeof(config));
    }
    void SetRegistry(const std::u16string& key, const char16_t* name, const char16_t* text)
    {
        ASSERT_TRUE(winsim::registry::Store::Instance().SetString(key, name, text));
    }
};

bool AllZero(const void* data, size_t size)
{
    const auto* bytes = static_cast<const UCHAR*>(data);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}

TEST_F(ControlRequestTest, AnAdapterIsListedOnlyOnceItsFourthPortIsRegistered)
{
    BoundAdapter& adapter = PlugAndRegister("QTR5000", {3, 4, 5, 6}, 3);
    DeviceInfoTable info = Info();
    EXPECT_EQ(int32_t{info.count}, 0);
    EXPECT_TRUE(AllZero(&info, sizeof(info)));
    DeviceConfigTable config = Config();
    EXPECT_EQ(int32_t{config.count}, 0);
    // modelIndex answers 6 even without a record.
    EXPECT_EQ(reinterpret_cast<const UCHAR*>(&config)[kModelIndexTableOffset], 6);
    reinterpret_cast<UCHAR*>(&config)[kModelIndexTableOffset] = 0;
    EXPECT_TRUE(AllZero(&config, sizeof(config)));

    PortRegistration registration = {};
    registration.deviceObject = adapter.portDevices[3];
    registration.comNumber = 6;
    ASSERT_EQ(adapter.table.registerPort(adapter.table.context, 3, &registration), 1);
    info = Info();
    ASSERT_EQ(int32_t{info.count}, 1);
    EXPECT_EQ(int32_t{info.adapters[0].slot}, 0);
    EXPECT_EQ(int32_t{info.adapters[0].present}, 1);
    for (int port = 0; port < 4; ++port) {
        EXPECT_EQ(int32_t{info.adapters[0].ports[port].portIndex}, port);
        EXPECT_EQ(int32_t{info.adapters[0].ports[port].comNumber}, 3 + port);
        EXPECT_EQ(int32_t{info.adapters[0].ports[port].busy}, 0);
    }
    EXPECT_TRUE(AllZero(&info.adapters[0].reserved, sizeof(info.adapters[0].reserved)));
    EXPECT_TRUE(AllZero(&info.adapters[1], sizeof(AdapterInfo) * 9));
}

TEST_F(ControlRequestTest, AnAdapterHeldForAnotherAdaptersRequestIsRemovedOnlyOnceReleased)
{
    BoundAdapter& listed = PlugAndRegister("QTR5000", {3, 4, 5, 6});
    PlugAndRegister("QTR5001", {7, 8, 9, 10}, 3);
    EXPECT_EQ(AdapterTableAcquireListed(1), nullptr);  // not listed
    EXPECT_EQ(AdapterTableAcquireListed(kAdapterSlotCount), nullptr);
    AdapterExtension* held = AdapterTableAcquireListed(0);
    ASSERT_EQ(held, Extension(listed.plugged));
    machine().Usb().Unplug(*listed.plugged.model);
    machine().RunUntilQuiet();
    // Out of the table, but its removal waits and the extension is intact.
    EXPECT_EQ(AdapterTableAcquireListed(0), nullptr);
    EXPECT_NE(listed.plugged.control->Pdo(), nullptr);
    EXPECT_NE(held->ports[0].receiveRing, nullptr);
    AdapterTableRelease(held);
    pnp().WaitIdle();
    EXPECT_EQ(listed.plugged.control->State(), winsim::pnp::NodeState::kDeleted);
}

TEST_F(ControlRequestTest, TablesListSlotsInOrderWhicheverAdapterIsAsked)
{
    BoundAdapter& first = PlugAndRegister("QTR5001", {3, 4, 5, 6});
    PlugAndRegister("QTR5002", {7, 8, 9, 0}, 3);  // slot 1, never complete
    BoundAdapter& third = PlugAndRegister("QTR5003", {11, 12, 13, 14});
    SetPortOpen(third, 1, true);
    SetPortOpen(first, 2, true);
    SetPortOpen(first, 2, false);
    for (int slot = 0; slot < 3; ++slot) {
        DeviceInfoTable info = Info(slot);
        ASSERT_EQ(int32_t{info.count}, 2);
        EXPECT_EQ(int32_t{info.adapters[0].slot}, 0);
        EXPECT_EQ(int32_t{info.adapters[1].slot}, 2);
        EXPECT_EQ(int32_t{info.adapters[1].ports[0].comNumber}, 11);
        EXPECT_EQ(int32_t{info.adapters[1].ports[1].busy}, 1);
        EXPECT_EQ(int32_t{info.adapters[0].ports[2].busy}, 0);
    }
    DeviceConfigTable config = Config(1);
    EXPECT_EQ(int32_t{config.count}, 2);
    EXPECT_EQ(int32_t{PortOf(config, 1, 3).portIndex}, 3);
}

TEST_F(ControlRequestTest, ConfigTableReadsEachPortsKeyWithDefaults)
{
    BoundAdapter& adapter = PlugAndRegister("QTR5010", {3, 4, 5, 6});
    SetRegistry(PortParameters(adapter, 0), u"PortName", u"COM12");
    SetRegistry(PortParameters(adapter, 0), u"TransmitTiming", u"-1");
    SetRegistry(PortParameters(adapter, 1), u"PortName", u"XYZ9");
    SetRegistry(PortParameters(adapter, 1), u"RemoteWakeup", u"a");
    SetRegistry(PortParameters(adapter, 2), u"ReceiveFIFO", u"62");
    SetRegistry(AdapterParameters(adapter), u"BulkTransfer", u"1");
    winsim::registry::Store::Instance().SetDword(AdapterParameters(adapter), u"HighPower", 1);

    DeviceConfigTable config = Config();
    ASSERT_EQ(int32_t{config.count}, 1);
    EXPECT_EQ(int32_t{config.adapters[0].updateFlag}, 0);
    EXPECT_EQ(int32_t{config.adapters[0].modelIndex}, 6);
    EXPECT_EQ(int32_t{config.adapters[0].highPower}, 0);  // a DWORD is not read
    EXPECT_EQ(int32_t{config.adapters[0].bulkEndpoints}, 1);
    PortConfig port0 = PortOf(config, 0, 0);
    EXPECT_EQ(int32_t{port0.comNumber}, 12);
    EXPECT_EQ(int32_t{port0.txTiming}, -1);
    EXPECT_EQ(int32_t{port0.rxFifo}, 16);
    EXPECT_EQ(int32_t{PortOf(config, 0, 1).comNumber}, 9);
    EXPECT_EQ(int32_t{PortOf(config, 0, 1).remoteWakeup}, 10);
    EXPECT_EQ(int32_t{PortOf(config, 0, 2).rxFifo}, 62);
    PortConfig port3 = PortOf(config, 0, 3);
    EXPECT_EQ(int32_t{port3.portIndex}, 3);
    EXPECT_EQ(int32_t{port3.comNumber}, 0);  // registered as 6, but no "PortName" yet
    EXPECT_EQ(int32_t{port3.txTiming}, 1);
    EXPECT_EQ(int32_t{port3.rxFifo}, 16);
    EXPECT_EQ(int32_t{port3.remoteWakeup}, 0);
}

TEST_F(ControlRequestTest, SetWritesEveryPortTheWakeMaskAndRestartsAnIdleAdapter)
{
    BoundAdapter& adapter = PlugAndRegister("QTR5020", {3, 4, 5, 6});
    DeviceConfigTable config = Config();
    config.adapters[0].updateFlag = kConfigUpdateFlag;
    config.adapters[0].highPower = 1;
    config.adapters[0].bulkEndpoints = 0;
    SetPort(config, 0, 0, 20, 1, 16, 1);
    SetPort(config, 0, 1, 21, 4, -1, 0);
    SetPort(config, 0, 2, 22, 1, 1, 1);
    SetPort(config, 0, 3, 7, 1, 56, 0);
    IoctlResult result = Set(config);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.bytes, sizeof(DeviceConfigTable));

    EXPECT_EQ(Text(PortParameters(adapter, 0), u"PortName"), u"COM20");
    EXPECT_EQ(Text(PortParameters(adapter, 1), u"TransmitTiming"), u"4");
    EXPECT_EQ(Text(PortParameters(adapter, 1), u"ReceiveFIFO"), u"-1");
    EXPECT_EQ(Text(PortParameters(adapter, 3), u"PortName"), u"COM7");
    EXPECT_EQ(Text(PortInstanceKey(adapter, 3), u"FriendlyName"), u"Tessary QTR84PX-1 Serial Adapter Port (COM7)");
    EXPECT_EQ(Text(PortInstanceKey(adapter, 0), u"FriendlyName"), u"Tessary QTR84PX-1 Serial Adapter Port (COM20)");
    // Wake bits 0 and 2: the mask replaces port 0's own value.
    EXPECT_EQ(Text(AdapterParameters(adapter), u"RemoteWakeup"), u"5");
    EXPECT_EQ(Text(PortParameters(adapter, 0), u"RemoteWakeup"), u"5");
    EXPECT_EQ(Text(PortParameters(adapter, 1), u"RemoteWakeup"), u"0");
    EXPECT_EQ(Text(PortParameters(adapter, 2), u"RemoteWakeup"), u"1");
    EXPECT_EQ(Text(PortParameters(adapter, 3), u"RemoteWakeup"), u"0");
    EXPECT_EQ(Text(AdapterParameters(adapter), u"HighPower"), u"1");
    EXPECT_EQ(Text(AdapterParameters(adapter), u"BulkTransfer"), u"0");
    EXPECT_EQ(adapter.recorder->CountWithCode(kMsgRestart), 1u);

    DeviceConfigTable after = Config();
    EXPECT_EQ(int32_t{PortOf(after, 0, 0).remoteWakeup}, 5);
    EXPECT_EQ(int32_t{PortOf(after, 0, 0).comNumber}, 20);
    EXPECT_EQ(int32_t{PortOf(after, 0, 2).rxFifo}, 1);
    EXPECT_EQ(int32_t{after.adapters[0].highPower}, 1);
}

TEST_F(ControlRequestTest, SetWithAPortOpenWritesButDoesNotRestart)
{
    BoundAdapter& adapter = PlugAndRegister("QTR5030", {3, 4, 5, 6});
    SetPortOpen(adapter, 3, true);
    DeviceConfigTable config = Config();
    config.adapters[0].updateFlag = kConfigUpdateFlag;
    SetPort(config, 0, 1, 30, 1, 16, 0);
    ASSERT_TRUE(Set(config).ok);
    EXPECT_EQ(Text(PortParameters(adapter, 1), u"PortName"), u"COM30");
    EXPECT_EQ(adapter.recorder->CountWithCode(kMsgRestart), 0u);
}

TEST_F(ControlRequestTest, UnmarkedRecordsAndPositionsWithoutAnAdapterChangeNothing)
{
    BoundAdapter& adapter = PlugAndRegister("QTR5040", {3, 4, 5, 6});
    DeviceConfigTable config = Config();
    SetPort(config, 0, 0, 40, 1, 16, 0);
    IoctlResult result = Set(config);  // updateFlag 0
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.bytes, sizeof(DeviceConfigTable));
    EXPECT_EQ(Text(PortParameters(adapter, 0), u"PortName"), u"<absent>");
    EXPECT_EQ(adapter.recorder->CountWithCode(kMsgRestart), 0u);

    // count 2 with one adapter: record 1 has nobody to go to.
    config.count = 2;
    config.adapters[1] = config.adapters[0];
    config.adapters[1].updateFlag = kConfigUpdateFlag;
    ASSERT_TRUE(Set(config).ok);
    EXPECT_EQ(Text(PortParameters(adapter, 0), u"PortName"), u"<absent>");
    EXPECT_EQ(adapter.recorder->CountWithCode(kMsgRestart), 0u);

    // count 0 succeeds at once.
    config.count = 0;
    config.adapters[0].updateFlag = kConfigUpdateFlag;
    result = Set(config);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.bytes, sizeof(DeviceConfigTable));
    EXPECT_EQ(adapter.recorder->CountWithCode(kMsgRestart), 0u);
}

TEST_F(ControlRequestTest, SetRefusesAComNumberNoPortCanHaveAndWritesNothing)
{
    BoundAdapter& adapter = PlugAndRegister("QTR5045", {3, 4, 5, 6});
    SetRegistry(PortParameters(adapter, 2), u"PortName", u"COM5");
    for (int32_t com : {0, -1, 4097}) {
        DeviceConfigTable config = Config();
        config.adapters[0].updateFlag = kConfigUpdateFlag;
        SetPort(config, 0, 0, 11, 4, 16, 1);
        // Port 2 has a name: 0 would take it away.
        SetPort(config, 0, 2, com, 1, 16, 0);
        IoctlResult result = Set(config);
        EXPECT_FALSE(result.ok) << com;
        EXPECT_EQ(result.error, kErrorInvalidParameter) << com;
        EXPECT_EQ(Text(PortParameters(adapter, 0), u"PortName"), u"<absent>") << com;
        EXPECT_EQ(Text(PortParameters(adapter, 0), u"TransmitTiming"), u"<absent>") << com;
        EXPECT_EQ(Text(PortParameters(adapter, 2), u"PortName"), u"COM5") << com;
        EXPECT_EQ(Text(AdapterParameters(adapter), u"RemoteWakeup"), u"<absent>") << com;
        EXPECT_EQ(adapter.recorder->CountWithCode(kMsgRestart), 0u) << com;
    }
    // 0 for a port without a name, as the table reported it, keeps it so;
    // the highest number the database holds is usable.
    DeviceConfigTable config = Config();
    config.adapters[0].updateFlag = kConfigUpdateFlag;
    EXPECT_EQ(int32_t{PortOf(config, 0, 1).comNumber}, 0);
    SetPort(config, 0, 3, 4096, 1, 16, 0);
    ASSERT_TRUE(Set(config).ok);
    EXPECT_EQ(Text(PortParameters(adapter, 1), u"PortName"), u"<absent>");
    EXPECT_EQ(Text(PortParameters(adapter, 1), u"TransmitTiming"), u"1");
    EXPECT_EQ(Text(PortParameters(adapter, 2), u"PortName"), u"COM5");
    EXPECT_EQ(Text(PortParameters(adapter, 3), u"PortName"), u"COM4096");
    EXPECT_EQ(adapter.recorder->CountWithCode(kMsgRestart), 1u);
}

TEST_F(ControlRequestTest, TwoChangedAdaptersEachGetTheirOwnMaskAndRestartDecision)
{
    BoundAdapter& first = PlugAndRegister("QTR5050", {3, 4, 5, 6});
    BoundAdapter& second = PlugAndRegister("QTR5051", {7, 8, 9, 10});
    SetPortOpen(first, 0, true);
    DeviceConfigTable config = Config();
    ASSERT_EQ(int32_t{config.count}, 2);
    config.adapters[0].updateFlag = kConfigUpdateFlag;
    config.adapters[1].updateFlag = kConfigUpdateFlag;
    SetPort(config, 0, 3, 6, 1, 16, 1);   // first: mask 8
    SetPort(config, 1, 1, 8, 1, 16, 1);   // second: mask 2
    ASSERT_TRUE(Set(config, 1).ok);
    EXPECT_EQ(Text(AdapterParameters(first), u"RemoteWakeup"), u"8");
    EXPECT_EQ(Text(AdapterParameters(second), u"RemoteWakeup"), u"2");
    EXPECT_EQ(first.recorder->CountWithCode(kMsgRestart), 0u);
    EXPECT_EQ(second.recorder->CountWithCode(kMsgRestart), 1u);
}

TEST_F(ControlRequestTest, ModelIndexOfTheFirstRecordNamesAllPortsAndOutOfRangeMeansThisAdapter)
{
    BoundAdapter& first = PlugAndRegister("QTR5060", {3, 4, 5, 6});
    BoundAdapter& second = PlugAndRegister("QTR5061", {7, 8, 9, 10});
    DeviceConfigTable config = Config();
    config.adapters[0].updateFlag = kConfigUpdateFlag;
    config.adapters[1].updateFlag = kConfigUpdateFlag;
    config.adapters[0].modelIndex = 5;
    config.adapters[1].modelIndex = 0;  // not read
    SetPort(config, 0, 0, 3, 1, 16, 0);
    SetPort(config, 1, 0, 7, 1, 16, 0);
    ASSERT_TRUE(Set(config).ok);
    EXPECT_EQ(Text(PortInstanceKey(first, 0), u"FriendlyName"), u"Tessary USB Serial Port (COM3)");
    EXPECT_EQ(Text(PortInstanceKey(second, 0), u"FriendlyName"), u"Tessary USB Serial Port (COM7)");
    config.adapters[0].modelIndex = 0x80;  // -128 as the signed byte
    ASSERT_TRUE(Set(config).ok);
    EXPECT_EQ(Text(PortInstanceKey(first, 0), u"FriendlyName"), u"Tessary QTR84PX-1 Serial Adapter Port (COM3)");
    config.adapters[0].modelIndex = 7;
    ASSERT_TRUE(Set(config).ok);
    EXPECT_EQ(Text(PortInstanceKey(second, 0), u"FriendlyName"), u"Tessary QTR84PX-1 Serial Adapter Port (COM7)");
}

TEST_F(ControlRequestTest, LoopbackSwitchesTheWholeAdapterNamedBySlot)
{
    BoundAdapter& first = PlugAndRegister("QTR5070", {3, 4, 5, 6});
    BoundAdapter& second = PlugAndRegister("QTR5071", {7, 8, 9, 10});
    LoopbackRequest request = {1, 2, 1};
    IoctlResult result = ControlIoctl(0, IOCTL_TMAN_APP_SET_INTERNAL_LOOPBACK, &request, sizeof(request), nullptr, 0);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.bytes, sizeof(LoopbackRequest));
    EXPECT_EQ(Extension(second.plugged)->transmitAltCode, 1);
    EXPECT_EQ(Extension(first.plugged)->transmitAltCode, 0);
    request.enable = 0;
    ASSERT_TRUE(ControlIoctl(0, IOCTL_TMAN_APP_SET_INTERNAL_LOOPBACK, &request, sizeof(request), nullptr, 0).ok);
    EXPECT_EQ(Extension(second.plugged)->transmitAltCode, 0);

    for (int32_t slot : {-1, 2, 7, 8, 1000}) {
        request = {slot, 0, 1};
        result = ControlIoctl(0, IOCTL_TMAN_APP_SET_INTERNAL_LOOPBACK, &request, sizeof(request), nullptr, 0);
        EXPECT_FALSE(result.ok) << slot;
        EXPECT_EQ(result.error, kErrorGenFailure) << slot;
    }
    request = {1, 0, 1};
    result = ControlIoctl(0, IOCTL_TMAN_APP_SET_INTERNAL_LOOPBACK, &request, sizeof(request) - 1, nullptr, 0);
    EXPECT_EQ(result.error, kErrorInvalidParameter);
    EXPECT_EQ(Extension(second.plugged)->transmitAltCode, 0);
}

TEST_F(ControlRequestTest, FirmwareVersionIsTheTextOfTheHandlesAdapter)
{
    BoundAdapter& first = PlugAndRegister("QTR5080", {3, 4, 5, 6});
    BoundAdapter& second = PlugAndRegister("QTR5081", {7, 8, 9, 10});
    std::memset(Extension(first.plugged)->firmwareVersion, 0, kFirmwareVersionBytes);
    std::strcpy(reinterpret_cast<char*>(Extension(second.plugged)->firmwareVersion), "QTR App 2.1");
    char text[64];
    std::memset(text, 'x', sizeof(text));
    IoctlResult result = ControlIoctl(0, IOCTL_TMAN_APP_GET_FIRMWARE_VERSION, nullptr, 0, text, sizeof(text));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.bytes, 1u);
    EXPECT_EQ(text[0], '\0');
    result = ControlIoctl(1, IOCTL_TMAN_APP_GET_FIRMWARE_VERSION, nullptr, 0, text, sizeof(text));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.bytes, 12u);
    EXPECT_STREQ(text, "QTR App 2.1");
    // A field filled to the last byte still comes back terminated.
    std::memset(Extension(second.plugged)->firmwareVersion, 'v', kFirmwareVersionBytes);
    result = ControlIoctl(1, IOCTL_TMAN_APP_GET_FIRMWARE_VERSION, nullptr, 0, text, sizeof(text));
    EXPECT_EQ(result.bytes, 64u);
    EXPECT_EQ(text[63], '\0');
    EXPECT_EQ(ControlIoctl(1, IOCTL_TMAN_APP_GET_FIRMWARE_VERSION, nullptr, 0, text, 63).error,
              kErrorInvalidParameter);
}

TEST_F(ControlRequestTest, EventAndMonitorRequestsServeTheDriverWideBuffers)
{
    BoundAdapter& adapter = PlugAndRegister("QTR5090", {3, 4, 5, 6});
    ControlHandle handle(0);
    ASSERT_TRUE(handle.IsOpen());
    std::vector<UCHAR> buffer(10000);
    EXPECT_EQ(handle.Ioctl(IOCTL_TMAN_APP_GET_NEXT_EVENT, nullptr, 0, buffer.data(), 55).error,
              kErrorInvalidParameter);
    IoctlResult result = handle.Ioctl(IOCTL_TMAN_APP_GET_NEXT_EVENT, nullptr, 0, buffer.data(), 5600);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.bytes, 0u);
    EventEntry event = {};
    event.code = 3;
    EventLogPost(event);
    EventLogPost(event);
    result = handle.Ioctl(IOCTL_TMAN_APP_GET_NEXT_EVENT, nullptr, 0, buffer.data(), 111);
    EXPECT_EQ(result.bytes, 56u);
    EXPECT_TRUE(handle.Ioctl(IOCTL_TMAN_APP_CLEAR_EVENTS, nullptr, 0, nullptr, 0).ok);
    result = handle.Ioctl(IOCTL_TMAN_APP_GET_NEXT_EVENT, nullptr, 0, buffer.data(), 5600);
    EXPECT_EQ(result.bytes, 56u);  // clearing leaves the log alone

    const UCHAR payload[3] = {1, 2, 3};
    EXPECT_EQ(handle.Ioctl(IOCTL_TMAN_APP_GET_NEXT_MONITOR, nullptr, 0, buffer.data(), 551).error,
              kErrorInvalidParameter);
    ASSERT_TRUE(handle.Ioctl(IOCTL_TMAN_APP_START_MONITOR, nullptr, 0, nullptr, 0).ok);
    MonitorAdd(Extension(adapter.plugged), 1, kMonitorReceived, payload, sizeof(payload));
    ASSERT_TRUE(handle.Ioctl(IOCTL_TMAN_APP_STOP_MONITOR, nullptr, 0, nullptr, 0).ok);
    MonitorAdd(Extension(adapter.plugged), 1, kMonitorReceived, payload, sizeof(payload));
    result = handle.Ioctl(IOCTL_TMAN_APP_GET_NEXT_MONITOR, nullptr, 0, buffer.data(), 10000);
    ASSERT_EQ(result.bytes, sizeof(MonitorRecord));
    MonitorRecord record;
    std::memcpy(&record, buffer.data(), sizeof(record));
    EXPECT_EQ(record.comNumber, 4u);
    EXPECT_EQ(record.length, 4u);
}

TEST_F(ControlRequestTest, SizeChecksReservedAndUnknownCodes)
{
    PlugAndRegister("QTR5100", {3, 4, 5, 6});
    struct Case {
        uint32_t code;
        uint32_t input;
        uint32_t output;
        uint32_t error;
    };
    const Case cases[] = {
        {IOCTL_TMAN_APP_GET_DEVICE_INFO_TABLE, 0, 1573, kErrorInvalidParameter},
        {IOCTL_TMAN_APP_GET_DEVICE_INFO_TABLE, 1574, 0, kErrorInvalidParameter},
        {IOCTL_TMAN_APP_GET_DEVICE_CONFIG_TABLE, 0, 1933, kErrorInvalidParameter},
        {IOCTL_TMAN_APP_SET_DEVICE_CONFIG_TABLE, 1933, 4000, kErrorInvalidParameter},
        {IOCTL_TMAN_APP_SET_DEVICE_CONFIG_TABLE, 0, 0, kErrorInvalidParameter},
        {IOCTL_TMAN_APP_SET_INTERNAL_LOOPBACK, 0, 12, kErrorInvalidParameter},
        {IOCTL_TMAN_APP_GET_FIRMWARE_VERSION, 64, 0, kErrorInvalidParameter},
        {IOCTL_TMAN_APP_RESERVED_B1A, 4000, 4000, kErrorInvalidParameter},
        {IOCTL_TMAN_APP_RESERVED_B1B, 0, 0, kErrorInvalidParameter},
        {MakeAdapterControlCode(0xB10), 0, 0, kErrorInvalidFunction},
        {MakeAdapterControlCode(0xB1D), 0, 0, kErrorInvalidFunction},
        {MakeControlCode(0x22, 0xB16, 2, 0), 0, 1574, kErrorInvalidFunction},  // another method
        {0, 0, 0, kErrorInvalidFunction},
    };
    std::vector<UCHAR> input(4000, 0);
    std::vector<UCHAR> output(4000, 0);
    for (const Case& c : cases) {
        IoctlResult result = ControlIoctl(0, c.code, input.data(), c.input, output.data(), c.output);
        EXPECT_FALSE(result.ok) << std::hex << c.code;
        EXPECT_EQ(result.error, c.error) << std::hex << c.code;
        EXPECT_EQ(result.bytes, 0u) << std::hex << c.code;
    }
    // Bigger buffers than needed are fine.
    IoctlResult result =
        ControlIoctl(0, IOCTL_TMAN_APP_GET_DEVICE_INFO_TABLE, nullptr, 0, output.data(), 4000);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.bytes, sizeof(DeviceInfoTable));
}

TEST_F(ControlRequestTest, ReportedLengthNeverExceedsTheCallersOutputBuffer)
{
    PlugAndRegister("QTR5110", {3, 4, 5, 6});
    DeviceConfigTable config = Config();
    std::vector<UCHAR> output(16, 0xEE);
    IoctlResult result =
        ControlIoctl(0, IOCTL_TMAN_APP_SET_DEVICE_CONFIG_TABLE, &config, sizeof(config), output.data(), 16);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.bytes, 16u);
    LoopbackRequest request = {0, 0, 0};
    result = ControlIoctl(0, IOCTL_TMAN_APP_SET_INTERNAL_LOOPBACK, &request, sizeof(request), output.data(), 4);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.bytes, 4u);
}

TEST_F(ControlRequestTest, AHandleOfASurpriseRemovedAdapterIsRefused)
{
    BoundAdapter& adapter = PlugAndRegister("QTR5120", {3, 4, 5, 6});
    ControlHandle handle(0);
    ASSERT_TRUE(handle.IsOpen());
    adapter.table.dereference(adapter.table.context);
    adapter.bound = false;
    ASSERT_EQ(pnp().SendPnp(adapter.plugged.control, IRP_MN_SURPRISE_REMOVAL), STATUS_SUCCESS);
    DeviceInfoTable info;
    for (uint32_t code : {IOCTL_TMAN_APP_GET_DEVICE_INFO_TABLE, IOCTL_TMAN_APP_CLEAR_EVENTS,
                          IOCTL_TMAN_APP_RESERVED_B1A, 0x1234u}) {
        IoctlResult result = handle.Ioctl(code, nullptr, 0, &info, sizeof(info));
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, kErrorAccessDenied);
        EXPECT_EQ(result.bytes, 0u);
    }
}

// Arbitrary codes, lengths and contents from a fixed seed: whatever comes,
// no crash, no verifier report, no pool left behind (the fixture checks).
TEST_F(ControlRequestTest, ArbitraryRequestsAreAnsweredSafely)
{
    PlugAndRegister("QTR5130", {3, 4, 5, 6});
    PlugAndRegister("QTR5131", {7, 8, 9, 10});
    std::mt19937 random(20261209);
    std::vector<UCHAR> input(6000);
    std::vector<UCHAR> output(6000);
    ControlHandle handle(0);
    ASSERT_TRUE(handle.IsOpen());
    for (int i = 0; i < 3000; ++i) {
        uint32_t code;
        switch (random() % 4) {
        case 0: code = static_cast<uint32_t>(random()); break;
        case 1: code = MakeControlCode(random() % 0x40, 0xB10 + random() % 14, random() % 4, random() % 4); break;
        default: code = MakeAdapterControlCode(0xB10 + random() % 14); break;
        }
        const uint32_t inputLength = random() % 3 == 0 ? static_cast<uint32_t>(random() % input.size())
                                                       : static_cast<uint32_t>(random() % 2000);
        const uint32_t outputLength = static_cast<uint32_t>(random() % output.size());
        for (UCHAR& byte : input) byte = static_cast<UCHAR>(random());
        if (random() % 2 == 0 && inputLength > sizeof(int32_t)) {
            // Mostly small counts, so the SET path reaches the adapters.
            const int32_t count = static_cast<int32_t>(random() % 12) - 1;
            std::memcpy(input.data(), &count, sizeof(count));
            // ... and some marked records.
            for (size_t k = 0; k < 2 && (k + 1) * sizeof(AdapterConfig) + sizeof(int32_t) <= inputLength; ++k) {
                const int32_t flag = random() % 2 == 0 ? kConfigUpdateFlag : 0;
                std::memcpy(input.data() + sizeof(int32_t) + k * sizeof(AdapterConfig), &flag, sizeof(flag));
            }
        }
        IoctlResult result = handle.Ioctl(code, input.data(), inputLength, output.data(), outputLength);
        EXPECT_LE(result.bytes, std::max<uint32_t>(outputLength, std::max(inputLength, 1934u)));
        if (i % 100 == 0) machine().RunUntilQuiet();
    }
    machine().RunUntilQuiet();
    // Still answering.
    EXPECT_EQ(Info().count, 2);
}

}  // namespace
}  // namespace driver_test
