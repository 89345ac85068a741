#include "core/port_rings.h"

VOID PortRingsFree(AdapterExtension* extension)
{
    for (PortRecord& port : extension->ports) {
        ByteRingFree(port.receiveRing);
        ByteRingFree(port.transmitRing);
        port.receiveRing = nullptr;
        port.transmitRing = nullptr;
    }
}

NTSTATUS PortRingsCreate(AdapterExtension* extension)
{
    RtlZeroMemory(extension->ports, sizeof(extension->ports));
    for (PortRecord& port : extension->ports) {
        NTSTATUS status = ByteRingCreate(&port.receiveRing);
        if (NT_SUCCESS(status)) status = ByteRingCreate(&port.transmitRing);
        if (!NT_SUCCESS(status)) {
            PortRingsFree(extension);
            return status;
        }
    }
    return STATUS_SUCCESS;
}
