// The port services table as the serial port driver sees it: how it is
// handed out, and what each function does to the port and on the wire.
#include <gtest/gtest.h>
#include <km_zw.h>
#include <usbioctl.h>

#include <cstring>
#include <memory>
#include <vector>

#include "common/guids.h"
#include "common/port_service_table.h"
#include "core/adapter_table.h"
#include "core/lifecycle.h"
#include "core/message_reads.h"
#include "km/debug_log.h"
#include "km/io_device_extension.h"
#include "km/io_manager.h"
#include "machine/machine.h"
#include "pnp/pnp_irp.h"
#include "registry/registry_store.h"
#include "verifier/pool.h"
#include "services/port_registry.h"

namespace {

const GUID kPortServices = QTR_PORT_SERVICES_GUID_INIT;
const GUID kOtherInterface = QTR_WMI_DATA_BLOCK_GUID_INIT;

// What reached the device below the adapter's FDO.
struct Wire {
    std::vector<std::vector<UCHAR>> messages;
    std::vector<UCHAR> pnpMinors;
};
Wire* g_wire = nullptr;

NTSTATUS LowerDispatch(PDEVICE_OBJECT device, PIRP irp)
{
    UNREFERENCED_PARAMETER(device);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    NTSTATUS status = STATUS_SUCCESS;
    if (stack->MajorFunction == IRP_MJ_INTERNAL_DEVICE_CONTROL &&
        stack->Parameters.DeviceIoControl.IoControlCode == IOCTL_INTERNAL_USB_SUBMIT_URB) {
        auto* urb = static_cast<PURB>(stack->Parameters.Others.Argument1);
        auto* data = static_cast<UCHAR*>(urb->UrbBulkOrInterruptTransfer.TransferBuffer);
        g_wire->messages.emplace_back(data, data + urb->UrbBulkOrInterruptTransfer.TransferBufferLength);
    } else if (stack->MajorFunction == IRP_MJ_PNP) {
        g_wire->pnpMinors.push_back(stack->MinorFunction);
    }
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

VOID Unload(PDRIVER_OBJECT) {}

NTSTATUS LowerEntry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    for (PDRIVER_DISPATCH& dispatch : driver->MajorFunction) dispatch = LowerDispatch;
    driver->DriverUnload = Unload;
    return STATUS_SUCCESS;
}

NTSTATUS AdapterDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->DriverUnload = Unload;
    return STATUS_SUCCESS;
}

class PortServicesTest : public ::testing::Test {
protected:
    winsim::Machine machine;
    winsim::PoolMark mark = winsim::Pool::Mark();
    Wire wire;
    PDRIVER_OBJECT lowerDriver = nullptr;
    PDRIVER_OBJECT adapterDriver = nullptr;
    PDEVICE_OBJECT lower = nullptr;
    PDEVICE_OBJECT fdo = nullptr;
    AdapterExtension* extension = nullptr;
    std::vector<UCHAR> interfaceStorage =
        std::vector<UCHAR>(sizeof(USBD_INTERFACE_INFORMATION) + sizeof(USBD_PIPE_INFORMATION));
    PortServicesInterface table = {};

    void SetUp() override
    {
        g_wire = &wire;
        AdapterTableInitialize();
        lowerDriver = winsim::io::LoadDriver("qtrlower", LowerEntry);
        adapterDriver = winsim::io::LoadDriver("qtradapter", AdapterDriverEntry);
        ASSERT_NE(lowerDriver, nullptr);
        ASSERT_NE(adapterDriver, nullptr);
        UNICODE_STRING lowerName;
        RtlInitUnicodeString(&lowerName, L"\\Device\\QtrTestPdo");
        ASSERT_EQ(IoCreateDevice(lowerDriver, 0, &lowerName, FILE_DEVICE_UNKNOWN, 0, FALSE, &lower), STATUS_SUCCESS);
        ASSERT_EQ(AdapterAddDevice(adapterDriver, lower), STATUS_SUCCESS);
        fdo = lower->AttachedDevice;
        ASSERT_NE(fdo, nullptr);
        extension = ExtensionOf(fdo);
        // What start-device leaves behind, without an adapter to configure
        // and talk to: two pipes and the ports' initial settings.
        auto* info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(interfaceStorage.data());
        info->NumberOfPipes = 2;
        info->Pipes[0].PipeHandle = reinterpret_cast<USBD_PIPE_HANDLE>(0x10);
        info->Pipes[1].PipeHandle = reinterpret_cast<USBD_PIPE_HANDLE>(0x20);
        extension->interfaceInfo = info;
        for (PortRecord& port : extension->ports) {
            port.registers.lineControl = kLcrWordLength8;
            port.registers.lineStatus = kLsrInitial;
            port.baudRate = 9600;
        }
        extension->deviceState = Working;
    }

    void TearDown() override
    {
        // The pipes are the test's, not the pool's; removal frees the rest.
        if (extension != nullptr) {
            extension->interfaceInfo = nullptr;
            EXPECT_EQ(winsim::pnp::SendPnpIrp(lower, IRP_MN_REMOVE_DEVICE), STATUS_SUCCESS);
        }
        if (lower != nullptr) IoDeleteDevice(lower);
        EXPECT_TRUE(winsim::io::UnloadDriver(adapterDriver));
        EXPECT_TRUE(winsim::io::UnloadDriver(lowerDriver));
        EXPECT_TRUE(winsim::Pool::LeaksSince(mark).empty());
        g_wire = nullptr;
    }

    NTSTATUS Query(void* buffer, USHORT size, USHORT version, const GUID* guid = &kPortServices)
    {
        return winsim::pnp::SendPnpIrp(lower, IRP_MN_QUERY_INTERFACE, [&](IO_STACK_LOCATION& location) {
            location.Parameters.QueryInterface.InterfaceType = guid;
            location.Parameters.QueryInterface.Size = size;
            location.Parameters.QueryInterface.Version = version;
            location.Parameters.QueryInterface.Interface = static_cast<PINTERFACE>(buffer);
            location.Parameters.QueryInterface.InterfaceSpecificData = nullptr;
        });
    }
    void Bind() { ASSERT_EQ(Query(&table, kPortServicesSize, kPortServicesVersion), STATUS_SUCCESS); }
    void Unbind() { table.dereference(table.context); }

    void Receive(std::vector<UCHAR> message)
    {
        HandleInboundMessage(extension, message.data(), static_cast<ULONG>(message.size()));
    }
    PortRecord& Port(ULONG port) { return extension->ports[port]; }
    std::vector<UCHAR> SentWithCode(UCHAR code) const
    {
        for (const auto& message : wire.messages) {
            if (message[0] == code) return message;
        }
        return {};
    }
};

TEST_F(PortServicesTest, QueryInterfaceFillsTheTableAndTakesOneReference)
{
    Bind();
    EXPECT_EQ(table.size, kPortServicesSize);
    EXPECT_EQ(table.version, kPortServicesVersion);
    EXPECT_EQ(table.context, fdo);
    EXPECT_EQ(extension->interfaceRefs, 1);
    void* const functions[] = {reinterpret_cast<void*>(table.reference), reinterpret_cast<void*>(table.dereference),
                               reinterpret_cast<void*>(table.writeData),  reinterpret_cast<void*>(table.readData),
                               reinterpret_cast<void*>(table.applyConfig), reinterpret_cast<void*>(table.getRegisters),
                               reinterpret_cast<void*>(table.setNotify),  reinterpret_cast<void*>(table.mapPort),
                               reinterpret_cast<void*>(table.registerPort), reinterpret_cast<void*>(table.setBaudRate),
                               reinterpret_cast<void*>(table.setFlowControl)};
    for (void* function : functions) EXPECT_NE(function, nullptr);
    table.reference(table.context);
    EXPECT_EQ(extension->interfaceRefs, 2);
    Unbind();
    Unbind();
    EXPECT_EQ(extension->interfaceRefs, 0);
    EXPECT_TRUE(wire.pnpMinors.empty());
}

TEST_F(PortServicesTest, AnotherInterfaceIsCompletedWithItsStatusAndNotForwarded)
{
    EXPECT_EQ(Query(&table, kPortServicesSize, kPortServicesVersion, &kOtherInterface), STATUS_NOT_SUPPORTED);
    EXPECT_TRUE(wire.pnpMinors.empty());
    EXPECT_EQ(table.writeData, nullptr);
    EXPECT_EQ(extension->interfaceRefs, 0);
}

TEST_F(PortServicesTest, ShortCallersAreRefusedWithoutAWriteOrAReference)
{
    UCHAR buffer[kPortServicesSize + 8];
    winsim::TakeDebugLog();
    for (USHORT version : {USHORT{5}, kPortServicesVersion}) {
        std::memset(buffer, 0xAB, sizeof(buffer));
        EXPECT_EQ(Query(buffer, 48, version), STATUS_INVALID_PARAMETER);
        for (UCHAR byte : buffer) ASSERT_EQ(byte, 0xAB);
    }
    // A support engineer sees each refusal under the driver's component.
    const std::vector<winsim::DebugLine> lines = winsim::TakeDebugLog();
    ASSERT_EQ(lines.size(), 2u);
    for (const winsim::DebugLine& line : lines) {
        EXPECT_EQ(line.component, ULONG{DPFLTR_IHVDRIVER_ID});
        EXPECT_EQ(line.text, "84prusb: query-interface: port services buffer failed 0xC000000D");
    }
    EXPECT_EQ(extension->interfaceRefs, 0);
    // Room for the whole table is enough, and nothing beyond it is touched.
    std::memset(buffer, 0xAB, sizeof(buffer));
    EXPECT_EQ(Query(buffer, kPortServicesSize, 5), STATUS_SUCCESS);
    for (size_t i = kPortServicesSize; i < sizeof(buffer); ++i) EXPECT_EQ(buffer[i], 0xAB);
    EXPECT_EQ(extension->interfaceRefs, 1);
    extension->interfaceRefs = 0;
}

TEST_F(PortServicesTest, QueryRemoveIsRefusedWhileTheTableIsReferenced)
{
    Bind();
    EXPECT_EQ(winsim::pnp::SendPnpIrp(lower, IRP_MN_QUERY_REMOVE_DEVICE), STATUS_DEVICE_BUSY);
    EXPECT_EQ(CurrentState(extension), Working);
    Unbind();
}

TEST_F(PortServicesTest, WriteHoldsOneMessageWithoutCreditsAndSendsItWhenCreditsArrive)
{
    Bind();
    UCHAR data[kPortWriteMax + 1];
    for (size_t i = 0; i < sizeof(data); ++i) data[i] = static_cast<UCHAR>(i);
    EXPECT_EQ(table.writeData(table.context, 2, data, kPortWriteMax + 1), 0);
    EXPECT_EQ(table.writeData(table.context, 2, data, kPortWriteMax), 1);
    EXPECT_EQ(table.writeData(table.context, 2, data, 1), 0);
    EXPECT_TRUE(wire.messages.empty());
    EXPECT_EQ(Port(2).registers.lineStatus & kLsrTransmitEmpty, 0);

    Receive({0x12, 1});  // one credit back, no data
    ASSERT_EQ(wire.messages.size(), 1u);
    const std::vector<UCHAR>& sent = wire.messages[0];
    ASSERT_EQ(sent.size(), 2u + kPortWriteMax);
    EXPECT_EQ(sent[0], 0x02);
    EXPECT_EQ(std::memcmp(sent.data() + 2, data, kPortWriteMax), 0);
    EXPECT_EQ(Port(2).registers.lineStatus & kLsrTransmitEmpty, kLsrTransmitEmpty);

    // The ring is free again; without credits the byte waits there.
    EXPECT_EQ(table.writeData(table.context, 2, data, 1), 1);
    EXPECT_EQ(wire.messages.size(), 1u);
    EXPECT_EQ(table.writeData(table.context, 4, data, 1), 0);
    EXPECT_EQ(table.writeData(table.context, 2, nullptr, 1), 0);
    Unbind();
}

TEST_F(PortServicesTest, ReadDeliversUpToTheRoomGivenAndTracksDataWaiting)
{
    Bind();
    Receive({0x11, 0, 'a', 'b', 'c', 'd', 'e'});
    UCHAR buffer[16];
    uint32_t length = 0;
    EXPECT_EQ(table.readData(table.context, 1, buffer, &length), 1);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(Port(1).registers.lineStatus & kLsrDataReady, kLsrDataReady);
    length = 3;
    EXPECT_EQ(table.readData(table.context, 1, buffer, &length), 1);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(std::memcmp(buffer, "abc", 3), 0);
    EXPECT_EQ(Port(1).registers.lineStatus & kLsrDataReady, kLsrDataReady);
    length = sizeof(buffer);
    EXPECT_EQ(table.readData(table.context, 1, buffer, &length), 1);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(std::memcmp(buffer, "de", 2), 0);
    EXPECT_EQ(Port(1).registers.lineStatus & kLsrDataReady, 0);

    EXPECT_EQ(table.readData(table.context, 1, nullptr, &length), 0);
    EXPECT_EQ(table.readData(table.context, 1, buffer, nullptr), 0);
    EXPECT_EQ(table.readData(table.context, 7, buffer, &length), 0);
    Unbind();
}

TEST_F(PortServicesTest, RegisterPortTakesAFreedSlotAndFailsOnAFullTable)
{
    Bind();
    PortRegistration registration = {};
    registration.comNumber = 7;
    EXPECT_EQ(table.registerPort(table.context, 0, nullptr), 0);

    // The table was full when the adapter was added.
    AdapterReleaseSlotAndDosName(extension);
    PDEVICE_OBJECT others[kAdapterSlotCount];
    for (PDEVICE_OBJECT& other : others) {
        other = reinterpret_cast<PDEVICE_OBJECT>(&other);
        ASSERT_NE(AdapterTableTakeSlot(other), nullptr);
    }
    EXPECT_EQ(table.registerPort(table.context, 3, &registration), 0);
    EXPECT_EQ(extension->adapterEntry, nullptr);

    AdapterTableFreeSlot(AdapterTableFind(others[5]));
    EXPECT_EQ(table.registerPort(table.context, 3, &registration), 1);
    ASSERT_NE(extension->adapterEntry, nullptr);
    EXPECT_EQ(extension->adapterEntry->index, 5u);
    EXPECT_EQ(extension->adapterEntry->comNumbers[3], 7u);
    // No device key to read: the default FIFO setting.
    EXPECT_EQ(Port(3).receiveFifo, 16);
    for (PDEVICE_OBJECT other : others) {
        if (AdapterEntry* entry = AdapterTableFind(other)) AdapterTableFreeSlot(entry);
    }
    Unbind();
}

TEST_F(PortServicesTest, ApplyConfigSendsTheSettingsAndRecordsTheOpenState)
{
    Bind();
    PortRegistration registration = {};
    registration.comNumber = 4;
    ASSERT_EQ(table.registerPort(table.context, 1, &registration), 1);
    PortRegisters* registers = nullptr;
    ASSERT_EQ(table.getRegisters(table.context, 1, &registers), 1);
    ASSERT_EQ(registers, &Port(1).registers);
    EXPECT_EQ(table.getRegisters(table.context, 1, nullptr), 0);

    registers->open = 1;
    registers->lineControl = kLcrWordLength8 | kLcrStopBits;
    EXPECT_EQ(table.applyConfig(table.context, 1), 1);
    EXPECT_EQ(extension->adapterEntry->portOpen[1], 1u);
    std::vector<UCHAR> config = SentWithCode(0x09);
    ASSERT_EQ(config.size(), 2u + sizeof(ConfigurationPayload));
    EXPECT_EQ(config[2 + 2], kLcrStopBits);
    EXPECT_EQ(config[2 + 20], 1);

    Receive({0x11, 0, 'x'});
    registers->open = 0;
    EXPECT_EQ(table.applyConfig(table.context, 1), 1);
    EXPECT_EQ(extension->adapterEntry->portOpen[1], 0u);
    EXPECT_EQ(ByteRingCount(Port(1).receiveRing), 0u);
    EXPECT_EQ(table.applyConfig(table.context, 4), 0);

    // An adapter on its way out refuses, and the entry keeps what it had.
    registers->open = 1;
    extension->deviceState = SurpriseRemoved;
    EXPECT_EQ(table.applyConfig(table.context, 1), 0);
    EXPECT_EQ(extension->adapterEntry->portOpen[1], 0u);
    extension->deviceState = Working;
    Unbind();
}

TEST_F(PortServicesTest, BaudRateWithoutApplyWaitsForTheNextApply)
{
    Bind();
    EXPECT_EQ(table.setBaudRate(table.context, 0, 115200, 0), 1);
    EXPECT_EQ(Port(0).baudRate, 115200u);
    EXPECT_TRUE(wire.messages.empty());
    EXPECT_EQ(table.setBaudRate(table.context, 0, 57600, 1), 1);
    std::vector<UCHAR> config = SentWithCode(0x08);
    ASSERT_FALSE(config.empty());
    ULONG baud = 0;
    std::memcpy(&baud, config.data() + 2 + 4, sizeof(baud));
    EXPECT_EQ(baud, 57600u);
    EXPECT_EQ(table.setBaudRate(table.context, 4, 9600, 1), 0);
    Unbind();
}

TEST_F(PortServicesTest, FlowControlSetsTheFlowRegistersAndApplies)
{
    Bind();
    FlowSettings settings = {};
    settings.handshake = kHandshakeCtsOut | 0x01;  // DTR control bit is not ours
    settings.flowReplace = kFlowReplaceAutoTransmit;
    settings.xonChar = 0x11;
    settings.xoffChar = 0x13;
    EXPECT_EQ(table.setFlowControl(table.context, 3, &settings), 1);
    const PortRegisters& registers = Port(3).registers;
    EXPECT_EQ(registers.ctsFlow, 1);
    EXPECT_EQ(registers.dsrFlow, 0);
    EXPECT_EQ(registers.xonXoffFlow, 1);
    EXPECT_EQ(registers.xonChar, 0x11);
    EXPECT_EQ(registers.xoffChar, 0x13);
    std::vector<UCHAR> config = SentWithCode(0x0B);
    ASSERT_FALSE(config.empty());
    EXPECT_EQ(config[2 + 8], 1);
    EXPECT_EQ(config[2 + 10], 1);
    EXPECT_EQ(table.setFlowControl(table.context, 3, nullptr), 0);

    settings.handshake = kHandshakeDsrOut;
    settings.flowReplace = 0;
    EXPECT_EQ(table.setFlowControl(table.context, 3, &settings), 1);
    EXPECT_EQ(registers.ctsFlow, 0);
    EXPECT_EQ(registers.dsrFlow, 1);
    EXPECT_EQ(registers.xonXoffFlow, 0);
    Unbind();
}

void Count(uint32_t event, void* context) { static_cast<std::vector<uint32_t>*>(context)->push_back(event); }

TEST_F(PortServicesTest, NotifyAndMapPortAreKeptPerPort)
{
    Bind();
    std::vector<uint32_t> events;
    EXPECT_EQ(table.setNotify(table.context, 2, Count, &events), 1);
    Receive({0x12, 1, 'z'});
    EXPECT_EQ(events, (std::vector<uint32_t>{kPortEventTransmit, kPortEventReceive}));
    Receive({0x11, 0, 'y'});
    EXPECT_EQ(events.size(), 2u);
    EXPECT_EQ(table.setNotify(table.context, 2, nullptr, nullptr), 1);
    Receive({0x12, 0, 'w'});
    EXPECT_EQ(events.size(), 2u);
    EXPECT_EQ(table.setNotify(table.context, 4, Count, &events), 0);

    uint32_t mapped = 99;
    EXPECT_EQ(table.mapPort(table.context, 3, &mapped), 1);
    EXPECT_EQ(mapped, 3u);
    EXPECT_EQ(table.mapPort(table.context, 3, nullptr), 0);
    EXPECT_EQ(table.mapPort(table.context, 4, &mapped), 0);
    Unbind();
}

// The port's device key, through a PDO with an instance of its own.
TEST_F(PortServicesTest, ReceiveFifoComesFromThePortsDeviceKey)
{
    static int node;
    lower->DeviceObjectExtension->DeviceNode = &node;
    const std::u16string instance = u"USB\\VID_2B84&PID_0841&MI_01\\QTR1&0&0001";
    winsim::io::SetInstanceId(lower, instance);
    const std::u16string parameters =
        u"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\" + instance + u"\\Device Parameters";
    auto& store = winsim::registry::Store::Instance();
    ASSERT_TRUE(store.SetString(parameters, u"Other", u"x"));
    EXPECT_EQ(ReadReceiveFifoSetting(lower), 16);  // absent
    store.SetString(parameters, u"ReceiveFIFO", u"-1");
    EXPECT_EQ(ReadReceiveFifoSetting(lower), 16);  // automatic
    store.SetString(parameters, u"ReceiveFIFO", u"0000000056");  // only 9 characters count
    EXPECT_EQ(ReadReceiveFifoSetting(lower), 5);
    store.SetDword(parameters, u"ReceiveFIFO", 8);
    EXPECT_EQ(ReadReceiveFifoSetting(lower), 16);  // not text

    Bind();
    store.SetString(parameters, u"ReceiveFIFO", u"300");
    PortRegistration registration = {};
    registration.deviceObject = lower;
    registration.comNumber = 5;
    ASSERT_EQ(table.registerPort(table.context, 0, &registration), 1);
    EXPECT_EQ(Port(0).receiveFifo, 44);
    EXPECT_EQ(extension->portDevices[0], lower);
    Unbind();
    lower->DeviceObjectExtension->DeviceNode = nullptr;
}

}  // namespace
