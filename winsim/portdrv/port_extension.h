// The device extensions of the port driver: the adapter binding (the filter
// device on an adapter's interface 0) and the port device of each port
// interface, and the driver-wide lock that links them.
#pragma once

#include <ntddser.h>
#include <wdm.h>

#include "common/port_service_table.h"

namespace winsim::portdrv {

enum class DeviceKind : ULONG { kAdapterFilter = 0x46494c54, kPort = 0x504f5254 };

constexpr ULONG kLocationCharacters = 64;
constexpr ULONG kPortsPerAdapter = 4;
// What a port keeps of received bytes no read asked for yet: the input
// queue of a Windows serial port, 4096 bytes unless an application sets it.
constexpr ULONG kReceiveQueueBytes = 4096;

struct PortExtension;

struct BindingExtension {
    DeviceKind kind;
    PDEVICE_OBJECT self;
    PDEVICE_OBJECT lower;
    WCHAR location[kLocationCharacters];
    PortServicesInterface table;
    bool bound;      // the table is ours to call (driver lock)
    LONG activeCalls;
    KEVENT noActiveCalls;
    PortExtension* ports[kPortsPerAdapter];  // driver lock
    BindingExtension* next;                  // driver-wide list
};

struct PortExtension {
    DeviceKind kind;
    PDEVICE_OBJECT self;
    PDEVICE_OBJECT lower;
    PDEVICE_OBJECT pdo;
    ULONG portIndex;
    WCHAR location[kLocationCharacters];
    ULONG comNumber;  // 0 until started
    WCHAR deviceName[32];  // \Device\QTRSerialN
    WCHAR dosName[32];     // \DosDevices\COMn once started
    bool started;
    bool removed;
    BindingExtension* binding;  // driver lock
    PortExtension* next;        // driver-wide list

    KSPIN_LOCK lock;  // everything below
    bool open;
    LIST_ENTRY reads;
    LIST_ENTRY writes;
    ULONG readGeneration;  // the current read, for its timers
    ULONG readTimersArmedFor;
    bool readTotalExpired;
    bool readIntervalExpired;
    KTIMER readTotalTimer;
    KDPC readTotalDpc;
    KTIMER readIntervalTimer;
    KDPC readIntervalDpc;
    ULONG writeGeneration;  // the current write, for its timer
    ULONG writeTimerArmedFor;
    bool writeTotalExpired;
    KTIMER writeTotalTimer;
    KDPC writeTotalDpc;
    KDPC serviceDpc;
    LONG serviceRequests;

    SERIAL_TIMEOUTS timeouts;
    ULONG baudRate;
    SERIAL_LINE_CONTROL lineControl;
    SERIAL_CHARS chars;
    SERIAL_HANDFLOW handflow;
    ULONG waitMask;
    UCHAR modemControl;  // DTR and RTS as last asked for
    // Receive flow control: the far end is held back; an XON or XOFF still
    // to be sent.
    bool receiveHeld;
    bool flowCharacterPending;
    UCHAR flowCharacter;

    // What was handed to the adapter and has not left on the line yet, as
    // far as the port can tell: the interrupt time by which it will have
    // gone, the line allowing, and since when the handshake holds the line.
    LONGLONG transmitDoneAt;
    bool transmitHeld;
    LONGLONG transmitHeldSince;
    // Line status error bits already reported by the comm status request.
    UCHAR lineErrorsSeen;

    // The input queue: filled by the service pass only, emptied by reads,
    // purge and close.
    UCHAR received[kReceiveQueueBytes];
    ULONG receivedStart;
    ULONG receivedCount;
};

// A port and its adapter sit at the same bus location.
inline bool SameLocation(const WCHAR* a, const WCHAR* b)
{
    for (ULONG i = 0; i < kLocationCharacters; ++i) {
        if (a[i] != b[i]) return false;
        if (a[i] == 0) return true;
    }
    return true;
}

inline DeviceKind KindOf(PDEVICE_OBJECT device) { return *static_cast<DeviceKind*>(device->DeviceExtension); }

// Guards the lists, the links between ports and bindings, and `bound`.
extern KSPIN_LOCK g_driverLock;
extern BindingExtension* g_bindings;
extern PortExtension* g_ports;

// The table for a call, or null when the port has no adapter now; every
// non-null result is paired with ReleaseTable.
BindingExtension* AcquireTable(PortExtension* port);
VOID ReleaseTable(BindingExtension* binding);

// Adapter filter (adapter_binding.cpp).
NTSTATUS BindingAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo, const WCHAR* location);
NTSTATUS BindingDispatchPnp(BindingExtension* binding, PIRP irp);
// Registers the port with the binding's adapter and hooks its notification.
VOID BindingRegisterPort(BindingExtension* binding, PortExtension* port);

// Ports (port_pnp.cpp, port_io.cpp, port_control.cpp).
NTSTATUS PortAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo, ULONG portIndex, const WCHAR* location);
NTSTATUS PortDispatchPnp(PortExtension* port, PIRP irp);
NTSTATUS PortDispatchCreate(PortExtension* port, PIRP irp);
NTSTATUS PortDispatchClose(PortExtension* port, PIRP irp);
NTSTATUS PortDispatchCleanup(PortExtension* port, PIRP irp);
NTSTATUS PortDispatchRead(PortExtension* port, PIRP irp);
NTSTATUS PortDispatchWrite(PortExtension* port, PIRP irp);
NTSTATUS PortDispatchControl(PortExtension* port, PIRP irp);
VOID PortInitializeIo(PortExtension* port);
// The adapter went: pending requests fail, new ones will too.
VOID PortAdapterLost(PortExtension* port);
// Empties the input queue (purge, close).
VOID PortDiscardReceived(PortExtension* port);
// Completes every queued read and write with the status.
VOID PortFailQueued(PortExtension* port, NTSTATUS status, bool reads, bool writes);
// Event 1 or 2 from the adapter, or a request queued: serve the queues.
VOID PortRequestService(PortExtension* port);
// The settings the port keeps, sent through the table (port_control.cpp).
bool PortApplySettings(PortExtension* port);
// Receive flow control (port_receive_flow.cpp): holds the far end back or
// lets it go as the input queue fills and empties; called by the service.
VOID PortUpdateReceiveFlow(PortExtension* port, PortServicesInterface& table);
// DTR and RTS as the port drives them now: as asked for, less a line that
// holds the far end back; none while closed. Port lock or settings path.
UCHAR PortLinesToSend(const PortExtension* port);

// Transmit drain (port_transmit_drain.cpp). Bytes the adapter accepted
// through writeData, counted as they leave one character time apart.
VOID PortNoteHandedOverLocked(PortExtension* port, ULONG bytes);
// The modem status read now: whether the output handshake holds the line.
VOID PortNoteModemStatusLocked(PortExtension* port, UCHAR modemStatus);
// The same from the register image; each service pass calls it, a status
// change being one reason for a pass.
VOID PortNoteTransmitHold(PortExtension* port, PortServicesInterface& table);
// Bytes handed over that have not left on the line yet (port lock).
ULONG PortBytesLeftToSendLocked(const PortExtension* port);
// Waits, at PASSIVE_LEVEL and bounded, until what was written has left the
// adapter; the port is still open.
VOID PortDrainTransmit(PortExtension* port);
// IOCTL_SERIAL_GET_COMMSTATUS (port_comm_status.cpp).
NTSTATUS PortGetCommStatus(PortExtension* port, PSERIAL_STATUS status);

NTSTATUS CompleteIrp(PIRP irp, NTSTATUS status, ULONG_PTR information);
NTSTATUS ForwardAndWait(PDEVICE_OBJECT lower, PIRP irp);
NTSTATUS PassDown(PDEVICE_OBJECT lower, PIRP irp);

}  // namespace winsim::portdrv
