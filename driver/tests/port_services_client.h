// The port driver's side of an adapter in tests: the function table through
// the query-interface request, a port's registers, and opening a port the way
// the port driver does.
#pragma once

#include "common/port_registers.h"
#include "common/port_service_table.h"
#include "kernel.h"

namespace driver_test {

// The table the driver hands out for the adapter whose PDO this is; the
// caller owns the reference it carries.
PortServicesInterface BindPortServices(PDEVICE_OBJECT pdo);

PortRegisters* PortRegistersOf(PortServicesInterface& table, ULONG port);

// Open, DTR and RTS on, the line format, then the rate applied.
void OpenPortAt(PortServicesInterface& table, ULONG port, ULONG baud, UCHAR lineControl = kLcrWordLength8);

}  // namespace driver_test
