// The port services table under low resources: binding to it, registering
// ports, applying their settings and handing over bytes to send.
#include <cstring>
#include <functional>
#include <string>

#include "common/control_codes.h"
#include "common/device_tables.h"
#include "common/guids.h"
#include "common/port_registers.h"
#include "fault_sweep_fixture.h"
#include "pnp/pnp_irp.h"

namespace driver_test {
namespace {

std::vector<UCHAR> Bytes(size_t count, UCHAR first)
{
    std::vector<UCHAR> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<UCHAR>(first + i * 3);
    return bytes;
}

NTSTATUS Done(uint8_t done) { return done != 0 ? STATUS_SUCCESS : STATUS_INSUFFICIENT_RESOURCES; }

class PortFaultSweepTest : public FaultSweepTest {
protected:
    // The port is usable: what it sends comes back through the plug.
    void ExpectPortWorks(SweepRun& run, ULONG port)
    {
        const std::vector<UCHAR> bytes = Bytes(100, 0x40);
        EXPECT_EQ(Exchange(run, port, bytes, bytes.size()), bytes);
    }
};

TEST_F(PortFaultSweepTest, BindingAndRegisteringEndWellAndTheAdapterIsListedAfterwards)
{
    static const GUID kPortServices = QTR_PORT_SERVICES_GUID_INIT;
    SweepPath bind;
    bind.name = "query_interface";
    bind.arrange = [&](SweepRun& run) { PlugFresh(run, 0); };
    bind.act = [&](SweepRun& run) {
        PortServicesInterface table = {};
        const NTSTATUS status =
            winsim::pnp::SendPnpIrp(run.plugged.control->Pdo(), IRP_MN_QUERY_INTERFACE, [&](IO_STACK_LOCATION& at) {
                at.Parameters.QueryInterface.InterfaceType = &kPortServices;
                at.Parameters.QueryInterface.Size = kPortServicesSize;
                at.Parameters.QueryInterface.Version = kPortServicesVersion;
                at.Parameters.QueryInterface.Interface = reinterpret_cast<PINTERFACE>(&table);
                at.Parameters.QueryInterface.InterfaceSpecificData = nullptr;
            });
        if (NT_SUCCESS(status)) table.dereference(table.context);
        return status;
    };
    Sweep(bind);

    SweepPath registration;
    registration.name = "register_port";
    registration.arrange = [&](SweepRun& run) { PlugFresh(run, 0); };
    registration.act = [&](SweepRun& run) {
        PortServicesInterface& table = run.bound->table;
        bool all = true;
        for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
            PortRegistration entry = {};
            entry.deviceObject = run.bound->portDevices[port];
            entry.comNumber = 21 + port;
            all = table.registerPort(table.context, port, &entry) != 0 && all;
        }
        return Done(all);
    };
    registration.verify = [&](SweepRun& run, NTSTATUS) {
        PreparedRequest info;
        Prepare(run.plugged, IOCTL_TMAN_APP_GET_DEVICE_INFO_TABLE, {}, sizeof(DeviceInfoTable), &info);
        ASSERT_EQ(Send(run.plugged, &info), STATUS_SUCCESS);
        DeviceInfoTable table;
        std::memcpy(&table, info.output.data(), sizeof(table));
        EXPECT_EQ(table.count, 1);
    };
    Sweep(registration);
}

// A port setting applied through the table, and with it the messages that
// carry it to the adapter.
struct SettingCase {
    const char* name;
    std::function<uint8_t(PortServicesInterface&, PortRegisters&)> apply;
};

TEST_F(PortFaultSweepTest, SettingsThatCannotBeSentAreRefusedAndThePortWorksAfterwards)
{
    const SettingCase cases[] = {
        {"apply_config_open",
         [](PortServicesInterface& table, PortRegisters& registers) {
             registers.open = 1;
             registers.modemControl = kMcrDtr | kMcrRts;
             registers.lineControl = kLcrWordLength8;
             return table.applyConfig(table.context, 0);
         }},
        {"set_baud_rate",
         [](PortServicesInterface& table, PortRegisters&) { return table.setBaudRate(table.context, 0, 57600, 1); }},
        {"set_flow_control",
         [](PortServicesInterface& table, PortRegisters&) {
             FlowSettings flow = {};
             flow.handshake = kHandshakeCtsOut;
             flow.xonChar = 0x11;
             flow.xoffChar = 0x13;
             return table.setFlowControl(table.context, 0, &flow);
         }},
    };
    for (const SettingCase& c : cases) {
        SweepPath path;
        path.name = c.name;
        path.arrange = [&](SweepRun& run) {
            PlugFresh(run);
            if (std::string(c.name) != "apply_config_open") OpenPort(run, 0);
        };
        path.act = [&](SweepRun& run) {
            PortRegisters* registers = nullptr;
            run.bound->table.getRegisters(run.bound->table.context, 0, &registers);
            const uint8_t done = c.apply(run.bound->table, *registers);
            machine().RunUntilQuiet();
            return Done(done);
        };
        path.verify = [&](SweepRun& run, NTSTATUS status) {
            // The port driver repeats a refused call.
            if (!NT_SUCCESS(status)) {
                PortRegisters* registers = nullptr;
                run.bound->table.getRegisters(run.bound->table.context, 0, &registers);
                EXPECT_EQ(c.apply(run.bound->table, *registers), 1);
            }
            if (std::string(c.name) == "apply_config_open") OpenPort(run, 0);
            ExpectPortWorks(run, 0);
        };
        const SweepCount count = Sweep(path);
        EXPECT_GT(count.driver, 0u);
    }
}

TEST_F(PortFaultSweepTest, BytesAcceptedForSendingAreSentEvenWhenTheirMessageCouldNotBeMadeAtFirst)
{
    const std::vector<UCHAR> first = Bytes(kPortWriteMax, 0x10);
    const std::vector<UCHAR> second = Bytes(80, 0x90);
    SweepPath path;
    path.name = "write_data";
    path.arrange = [&](SweepRun& run) {
        PlugFresh(run);
        OpenPort(run, 0);
    };
    path.act = [&](SweepRun& run) {
        PortServicesInterface& table = run.bound->table;
        const uint8_t accepted = table.writeData(table.context, 0, first.data(), static_cast<ULONG>(first.size()));
        machine().RunUntilQuiet();
        run.buffer.assign(accepted != 0 ? first.begin() : first.end(), first.end());
        return Done(accepted);
    };
    path.verify = [&](SweepRun& run, NTSTATUS) {
        // Whatever was accepted arrives, in order, before what follows.
        std::vector<UCHAR> expected = run.buffer;
        expected.insert(expected.end(), second.begin(), second.end());
        EXPECT_EQ(Exchange(run, 0, second, expected.size()), expected);
    };
    const SweepCount count = Sweep(path);
    EXPECT_GT(count.driver, 0u);
}

}  // namespace
}  // namespace driver_test
