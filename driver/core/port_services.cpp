#include "core/port_services.h"

#include "common/guids.h"
#include "common/port_service_table.h"
#include "core/port_functions.h"
#include "core/trace.h"

// The serial port driver 84prport64 binds to each adapter through this
// request (size 104, version 6) and must, in the order it relies on us:
// call setNotify and registerPort for each port with its own device object
// and the COM number of the port's "PortName"; move data only through
// writeData (at most 62 bytes, a refused call repeated with the same bytes)
// and readData after event 2; mark a port open or closed through the open
// register followed by applyConfig; keep one device-parameters key per port;
// and call dereference when it no longer uses the table. While it holds a
// reference the adapter cannot be query-removed.

namespace {

VOID FillTable(AdapterExtension* extension, PortServicesInterface* table, USHORT size, USHORT version)
{
    table->size = size;
    table->version = version;
    table->unused4 = 0;
    table->context = extension->self;
    table->reference = PortServiceReferenceFn;
    table->dereference = PortServiceDereferenceFn;
    table->writeData = PortServiceWriteDataFn;
    table->readData = PortServiceReadDataFn;
    table->applyConfig = PortServiceApplyConfigFn;
    table->getRegisters = PortServiceGetRegistersFn;
    table->setNotify = PortServiceSetNotifyFn;
    table->mapPort = PortServiceMapPortFn;
    table->registerPort = PortServiceRegisterPortFn;
    table->setBaudRate = PortServiceSetBaudRateFn;
    table->setFlowControl = PortServiceSetFlowControlFn;
}

NTSTATUS Complete(PIRP irp, NTSTATUS status)
{
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

}  // namespace

NTSTATUS PortServicesQueryInterface(AdapterExtension* extension, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const GUID* requested = stack->Parameters.QueryInterface.InterfaceType;
    // Another interface ends here too, with the status it carries.
    if (requested == nullptr || !WireGuidMatches(requested, kPortServicesGuid)) {
        NTSTATUS status = irp->IoStatus.Status;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return status;
    }
    const USHORT size = stack->Parameters.QueryInterface.Size;
    const USHORT version = stack->Parameters.QueryInterface.Version;
    PINTERFACE buffer = stack->Parameters.QueryInterface.Interface;
    // A shorter buffer cannot take the table; a partial one would hand out
    // a reference its caller might have no dereference for. Any caller with
    // room for the whole table gets this layout.
    if (size < kPortServicesSize || buffer == nullptr) {
        TraceFailure("query-interface: port services buffer", STATUS_INVALID_PARAMETER);
        return Complete(irp, STATUS_INVALID_PARAMETER);
    }

    auto* table = reinterpret_cast<PortServicesInterface*>(buffer);
    FillTable(extension, table, size, version);
    table->reference(table->context);
    return Complete(irp, STATUS_SUCCESS);
}
