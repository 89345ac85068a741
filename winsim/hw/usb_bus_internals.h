// The bus's own records: plugged devices, their pipes and queued transfers,
// the PDOs' extensions, and the handle values it gives out.
#pragma once

#include <deque>
#include <map>
#include <vector>

#include "hw/usb_bus.h"

namespace winsim::hw {

struct UsbBus::Pipe {
    EndpointLayout layout;
    // The host side stopped the endpoint after a stall, until a reset pipe.
    bool halted = false;
    std::deque<Transfer*> queue;
};

struct UsbBus::Transfer {
    PIRP irp;
    PURB urb;
    Pipe* pipe;
    UCHAR endpoint;
    PUCHAR buffer;
    ULONG length;
    ULONG moved;
    bool in;
    bool shortOk;
};

// One plug of an adapter: lives until the last of its PDOs is deleted.
struct UsbBus::Plugged {
    AdapterModel* model;
    ULONG id;
    ULONG port;
    std::u16string instanceId;  // the adapter's, fixed at plug
    bool connected = true;
    bool configured = false;
    // Bumped by every select-configuration: older handles stop working.
    ULONG generation = 1;
    std::map<UCHAR, Pipe> pipes;
    UCHAR lastBulkEndpoint = 0;  // the bulk pipe that moved the last packet
    // Requests a silent device leaves unanswered.
    std::deque<PIRP> parked;
    // The device's PDO first, then one per interface.
    std::vector<PDEVICE_OBJECT> pdos;
    ULONG livePdos = 0;
};

// The PDO's device extension.
struct UsbBus::PdoContext {
    UsbBus* bus;
    Plugged* device;
    bool parent;  // the device itself, not one of its interfaces
    UCHAR interfaceNumber;
    PIRP waitWake;
    PIRP idle;  // pending idle notification
};

struct UsbBus::Finished {
    Transfer* transfer;
    USBD_STATUS status;
    const AdapterModel* model = nullptr;  // set when a frame ended it
};

struct UsbBus::Delivery {
    EndpointHandler* handler;
    UCHAR endpoint;
    std::vector<UCHAR> packet;
};

// Handles are tokens, not pointers: a stale or made-up one is recognised.
enum class HandleKind : ULONG64 { kConfiguration = 1, kInterface = 2, kPipe = 3 };

inline PVOID MakeHandle(HandleKind kind, ULONG deviceId, ULONG generation, UCHAR low)
{
    const ULONG64 value = 0x5553000000000000ull | static_cast<ULONG64>(kind) << 40 |
                          static_cast<ULONG64>(deviceId & 0xFFFF) << 24 |
                          static_cast<ULONG64>(generation & 0xFFFF) << 8 | low;
    return reinterpret_cast<PVOID>(value);
}

inline bool DecodeHandle(PVOID handle, HandleKind kind, ULONG deviceId, ULONG generation, UCHAR* low)
{
    const auto value = reinterpret_cast<ULONG64>(handle);
    *low = static_cast<UCHAR>(value & 0xFF);
    return MakeHandle(kind, deviceId, generation, *low) == handle;
}

inline NTSTATUS CompleteUrb(PIRP irp, PURB urb, USBD_STATUS usbdStatus, NTSTATUS status)
{
    urb->UrbHeader.Status = usbdStatus;
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

inline PUCHAR TransferBufferOf(PVOID buffer, PMDL mdl)
{
    if (mdl != nullptr) return static_cast<PUCHAR>(MmGetSystemAddressForMdlSafe(mdl, NormalPagePriority));
    return static_cast<PUCHAR>(buffer);
}

}  // namespace winsim::hw
