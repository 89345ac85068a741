#include "port_services_client.h"

#include <gtest/gtest.h>

#include "pnp/pnp_irp.h"

namespace driver_test {

PortServicesInterface BindPortServices(PDEVICE_OBJECT pdo)
{
    static const GUID kPortServices = QTR_PORT_SERVICES_GUID_INIT;
    PortServicesInterface table = {};
    table.size = kPortServicesSize;
    table.version = kPortServicesVersion;
    const NTSTATUS status = winsim::pnp::SendPnpIrp(pdo, IRP_MN_QUERY_INTERFACE, [&](IO_STACK_LOCATION& location) {
        auto& query = location.Parameters.QueryInterface;
        query.InterfaceType = &kPortServices;
        query.Size = kPortServicesSize;
        query.Version = kPortServicesVersion;
        query.Interface = reinterpret_cast<PINTERFACE>(&table);
        query.InterfaceSpecificData = nullptr;
    });
    EXPECT_EQ(status, STATUS_SUCCESS);
    return table;
}

PortRegisters* PortRegistersOf(PortServicesInterface& table, ULONG port)
{
    PortRegisters* registers = nullptr;
    EXPECT_NE(table.getRegisters(table.context, port, &registers), 0);
    return registers;
}

void OpenPortAt(PortServicesInterface& table, ULONG port, ULONG baud, UCHAR lineControl)
{
    PortRegisters* registers = PortRegistersOf(table, port);
    ASSERT_NE(registers, nullptr);
    registers->open = 1;
    registers->modemControl = kMcrDtr | kMcrRts;
    registers->lineControl = lineControl;
    ASSERT_NE(table.setBaudRate(table.context, port, baud, 1), 0);
}

}  // namespace driver_test
