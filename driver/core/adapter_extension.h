// The adapter's device extension, the device states and the adapter
// table's slot.
#pragma once

#include "common/device_tables.h"
#include "core/port_record.h"
#include "kernel.h"

enum DeviceState : ULONG {
    NotStarted = 0,
    Stopped = 1,
    Working = 2,
    PendingStop = 3,
    PendingRemove = 4,
    SurpriseRemoved = 5,
    Removed = 6,
};

// A slot of the adapter table (core/adapter_table.h).
struct AdapterEntry {
    PDEVICE_OBJECT device;  // null marks a free slot
    ULONG comNumbers[kPortsPerAdapter];
    ULONG portOpen[kPortsPerAdapter];
    ULONG index;
};

constexpr ULONG kDosNameCharacters = 32;
constexpr ULONG kFirmwareVersionBytes = 64;

struct AdapterExtension {
    PDEVICE_OBJECT self;
    PDEVICE_OBJECT lowerDevice;
    PDEVICE_OBJECT pdo;
    UNICODE_STRING interfaceName;
    DEVICE_CAPABILITIES capabilities;

    PUSB_CONFIGURATION_DESCRIPTOR configurationDescriptor;
    PUSBD_INTERFACE_INFORMATION interfaceInfo;
    PUCHAR pipeOpen;

    volatile ULONG deviceState;
    ULONG previousState;
    KSPIN_LOCK stateLock;

    ULONG systemPower;
    ULONG devicePower;

    KEVENT removeEvent;
    KEVENT stopEvent;
    LONG outstandingIo;
    KSPIN_LOCK ioCountLock;

    // Power policy and selective suspend.
    ULONG powerDownLevel;
    ULONG remoteWakeSupported;
    PIRP volatile waitWakeRequest;
    LONG waitWakeOutstanding;
    LONG waitWakeCancelFlag;
    ULONG suspendByRegistry;
    ULONG suspendActive;
    PIRP idleRequest;
    PUSB_IDLE_CALLBACK_INFO idleCallbackInfo;
    LONG idlePending;
    LONG idleFreeCount;
    KSPIN_LOCK idleLock;
    KEVENT noIdlePendingEvent;
    KTIMER idleTimer;
    KDPC idleDpc;
    KEVENT noIdleWorkEvent;
    // Traffic was held for a lower power state: the next D0 brings the
    // message reads and ports back, even from D0.
    LONG ioHeld;
    // Taken at start for the port re-initialisation after D0, which must
    // not fail for want of memory.
    PIO_WORKITEM powerWork;
    // Message reads queued and not yet completed.
    LONG standingReads;

    LONG openHandles;
    KEVENT replyEvent;
    WMILIB_CONTEXT wmiContext;
    ULONG wdmLevel;

    KSPIN_LOCK portLock;
    PortRecord ports[kPortsPerAdapter];

    LONG interfaceRefs;
    PDEVICE_OBJECT portDevices[kPortsPerAdapter];

    WCHAR dosName[kDosNameCharacters];
    UCHAR firmwareVersion[kFirmwareVersionBytes];
    AdapterEntry* adapterEntry;
    // The adapter's internal loopback switch: while set, all four ports send
    // their data with the loopback code and the monitor sees none of it.
    volatile UCHAR transmitAltCode;
};

inline AdapterExtension* ExtensionOf(PDEVICE_OBJECT device)
{
    return static_cast<AdapterExtension*>(device->DeviceExtension);
}

inline DeviceState CurrentState(const AdapterExtension* extension)
{
    return static_cast<DeviceState>(ReadULongAcquire(&extension->deviceState));
}

// Moves to a new state, remembering the old one for cancel requests.
VOID SetDeviceState(AdapterExtension* extension, DeviceState state);
// Cancel-stop and cancel-remove go back to the state before.
VOID RestorePreviousState(AdapterExtension* extension);
