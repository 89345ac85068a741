#include "core/port_services.h"


// The serial port driver 84prport64 binds to each adapter through this
// request (size 104, version 6) and must, in the order it relies on us:
// call setNotify and registerPort for each port with its own device object
// and the COM number of the port's "PortName"; move data only through
// writeData (at most 62 bytes, a refused call repeated with the same bytes)
// and readData after event 2; mark a port open or closed through the open
// register followed by applyConfig; keep one device-parameters key per port;
// and call dereference when it no longer uses the table. While it holds a
// reference the adapter cannot be query-removed.

NTSTATUS PortServicesQueryInterface(AdapterExtension* extension, PIRP irp)
{
    UNREFERENCED_PARAMETER(extension);
    // The request ends here, whatever it asks for: a foreign identifier keeps
    // the status it carries. (The table for our identifier is handed out
    // once the port functions exist.)
    NTSTATUS status = irp->IoStatus.Status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}
