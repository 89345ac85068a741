#include "core/port_functions.h"

#include "core/adapter_messages.h"
#include "core/adapter_table.h"
#include "core/io_count.h"
#include "core/port_config.h"
#include "core/transmit_pump.h"
#include "services/port_registry.h"

// The serial port driver calls these on its own threads, concurrently with
// our completions. It is the only writer of a port's transmit ring and the
// only reader of its receive ring, which keeps both rings single-ended.

namespace {

AdapterExtension* Adapter(void* context) { return ExtensionOf(static_cast<PDEVICE_OBJECT>(context)); }

uint8_t Done(bool done) { return done ? 1 : 0; }


}  // namespace

VOID PortServiceReferenceFn(void* context) { InterfaceReference(Adapter(context)); }

VOID PortServiceDereferenceFn(void* context) { InterfaceDereference(Adapter(context)); }

uint8_t PortServiceWriteDataFn(void* context, uint32_t port, const uint8_t* data, uint32_t length)
{
    if (port >= kPortsPerAdapter || length > kPortWriteMax) return 0;
    if (data == nullptr && length != 0) return 0;
    AdapterExtension* extension = Adapter(context);
    PortRecord& record = extension->ports[port];
    if (record.transmitRing == nullptr) return 0;
    // At most one data message waits in the ring: all or nothing, so a
    // refused call can be repeated with the same bytes.
    if (kPortWriteMax - ByteRingCount(record.transmitRing) < length) {
        // What waits may have met a failed send: the repeated call sends it.
        TransmitPumpRun(extension, port);
        return 0;
    }
    ByteRingWrite(record.transmitRing, data, length);
    TransmitPumpRun(extension, port);
    return 1;
}

uint8_t PortServiceReadDataFn(void* context, uint32_t port, uint8_t* buffer, uint32_t* length)
{
    if (port >= kPortsPerAdapter || buffer == nullptr || length == nullptr) return 0;
    AdapterExtension* extension = Adapter(context);
    ByteRing* ring = extension->ports[port].receiveRing;
    if (ring == nullptr) {
        *length = 0;
        return 1;
    }
    *length = ByteRingRead(ring, buffer, *length);
    const bool remaining = ByteRingCount(ring) != 0;
    SetLineStatusBits(extension, port, remaining ? kLsrDataReady : 0, remaining ? 0 : kLsrDataReady);
    return 1;
}

uint8_t PortServiceApplyConfigFn(void* context, uint32_t port)
{
    if (port >= kPortsPerAdapter) return 0;
    AdapterExtension* extension = Adapter(context);
    if (!NT_SUCCESS(ApplyConfiguration(extension, port))) return 0;
    // What the control interface reports as the port's busy state.
    AdapterEntry* entry = extension->adapterEntry;
    if (entry != nullptr) AdapterEntrySetPortOpen(entry, port, extension->ports[port].registers.open);
    return 1;
}

uint8_t PortServiceGetRegistersFn(void* context, uint32_t port, PortRegisters** registers)
{
    if (port >= kPortsPerAdapter || registers == nullptr) return 0;
    *registers = &Adapter(context)->ports[port].registers;
    return 1;
}

uint8_t PortServiceSetNotifyFn(void* context, uint32_t port, PortNotifyCallback callback, void* callbackContext)
{
    if (port >= kPortsPerAdapter) return 0;
    PortRecord& record = Adapter(context)->ports[port];
    // Completions read the callback first, then its context: publish the
    // context first, and unhook before changing it.
    auto* notify = reinterpret_cast<PVOID volatile*>(&record.notify);
    WritePointerRelease(notify, nullptr);
    WritePointerRelease(reinterpret_cast<PVOID volatile*>(&record.notifyContext), callbackContext);
    WritePointerRelease(notify, reinterpret_cast<PVOID>(callback));
    return 1;
}

uint8_t PortServiceMapPortFn(void* context, uint32_t port, uint32_t* mappedPort)
{
    UNREFERENCED_PARAMETER(context);
    if (port >= kPortsPerAdapter || mappedPort == nullptr) return 0;
    *mappedPort = port;
    return 1;
}

uint8_t PortServiceRegisterPortFn(void* context, uint32_t port, const PortRegistration* registration)
{
    if (port >= kPortsPerAdapter || registration == nullptr) return 0;
    // A table slot comes with a DOS name and the FIFO setting from the
    // registry: neither can be had above PASSIVE_LEVEL.
    if (KeGetCurrentIrql() > PASSIVE_LEVEL) return 0;
    AdapterExtension* extension = Adapter(context);
    if (extension->adapterEntry == nullptr) {
        // No slot at add-device: one may have been freed since.
        if (!NT_SUCCESS(AdapterTakeSlotAndDosName(extension)) || extension->adapterEntry == nullptr) return 0;
    }
    auto* portDevice = static_cast<PDEVICE_OBJECT>(registration->deviceObject);
    AdapterEntrySetComNumber(extension->adapterEntry, port, registration->comNumber);
    extension->portDevices[port] = portDevice;
    extension->ports[port].receiveFifo = ReadReceiveFifoSetting(portDevice);
    return 1;
}

uint8_t PortServiceSetBaudRateFn(void* context, uint32_t port, uint32_t baudRate, uint8_t apply)
{
    if (port >= kPortsPerAdapter) return 0;
    AdapterExtension* extension = Adapter(context);
    // A configuration pass of the driver's own (after D0) may be reading it.
    WriteULongNoFence(&extension->ports[port].baudRate, baudRate);
    if (apply != 0 && !NT_SUCCESS(ApplyConfiguration(extension, port))) return 0;
    return 1;
}

uint8_t PortServiceSetFlowControlFn(void* context, uint32_t port, const FlowSettings* settings)
{
    if (port >= kPortsPerAdapter || settings == nullptr) return 0;
    AdapterExtension* extension = Adapter(context);
    PortRegisters& registers = extension->ports[port].registers;
    registers.ctsFlow = (settings->handshake & kHandshakeCtsOut) != 0 ? 1 : 0;
    registers.dsrFlow = (settings->handshake & kHandshakeDsrOut) != 0 ? 1 : 0;
    registers.xonXoffFlow = (settings->flowReplace & kFlowReplaceAutoTransmit) != 0 ? 1 : 0;
    registers.xonChar = settings->xonChar;
    registers.xoffChar = settings->xoffChar;
    return Done(NT_SUCCESS(ApplyConfiguration(extension, port)));
}
