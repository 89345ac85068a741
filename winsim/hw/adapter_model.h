// The emulated adapter's USB side: its serial number and descriptors, the
// IN data its firmware offers, the fault knobs tests turn, and counters of
// what the host did to it. The USB bus drives it; one bus at a time.
#pragma once

#include <km_io.h>

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hw/endpoint_handler.h"
#include "hw/usb_descriptors.h"

namespace winsim::hw {

class UsbBus;

struct UrbRecord {
    USHORT function;
    UCHAR endpoint;  // of a pipe request (transfer, abort, reset), else 0
};

class AdapterModel {
public:
    explicit AdapterModel(std::string serialNumber, DescriptorLayout descriptors = DescriptorLayout::Adapter());
    ~AdapterModel();
    AdapterModel(const AdapterModel&) = delete;
    AdapterModel& operator=(const AdapterModel&) = delete;

    const std::string& SerialNumber() const { return serialNumber_; }
    const DescriptorLayout& Descriptors() const { return descriptors_; }
    // Another build of the adapter; only while it is off the bus.
    void ReplaceDescriptors(DescriptorLayout descriptors);

    // The firmware; null leaves OUT data unread.
    void SetEndpointHandler(EndpointHandler* handler);
    // The same, with the adapter owning the firmware until it is replaced or
    // the adapter is destroyed (on a simulation thread, off the bus).
    void InstallFirmware(std::unique_ptr<EndpointHandler> firmware);
    // IN data the device offers: packets of the endpoint's wMaxPacketSize,
    // the rest as a short packet (which ends the host's transfer); empty
    // bytes queue one zero-length packet. Unused data is lost at unplug.
    void QueueIn(UCHAR endpoint, std::vector<UCHAR> bytes);
    size_t QueuedInPackets(UCHAR endpoint) const;

    // --- Fault knobs ---------------------------------------------------------
    // The endpoint answers STALL until the host clears it (reset pipe).
    void Stall(UCHAR endpoint);
    // Transfers on the endpoint fail at submission with status;
    // STATUS_SUCCESS accepts them again.
    void RefuseTransfers(UCHAR endpoint, NTSTATUS status);
    // Requests of this URB function (e.g. URB_FUNCTION_SELECT_CONFIGURATION)
    // fail at submission with status; STATUS_SUCCESS accepts them again.
    void RefuseRequests(USHORT urbFunction, NTSTATUS status);
    // The device NAKs every transfer and leaves control requests unanswered.
    void AnswerNothing(bool silent);
    // The endpoint NAKs: its transfers stay in flight until released.
    void HoldTransfers(UCHAR endpoint, bool hold);
    // The hub disabled the port: connected but not enabled until a port reset.
    void DisablePort();
    // The hub answers idle notification requests STATUS_NOT_SUPPORTED, as a
    // hub without selective suspend does; false lets it suspend the device.
    void RefuseIdleNotification(bool refuse);
    // The bus fails the system query-power requests of the device's stacks,
    // vetoing a sleep.
    void RefuseSleep(bool refuse);
    bool RefusesSleep() const;

    // --- What the host did ---------------------------------------------------
    ULONG TransfersOn(UCHAR endpoint) const;  // bulk and interrupt transfers accepted
    ULONG PacketsOn(UCHAR endpoint) const;
    // The requests the client sent, oldest first: at least the last
    // kUrbLogKept of them (a stream sends thousands a second, and a soak
    // runs for hours).
    static constexpr size_t kUrbLogKept = 65536;
    std::vector<UrbRecord> UrbLog() const;
    ULONG WaitWakeRequests() const;
    // Idle notifications whose callback the hub called.
    ULONG IdleCallbacks() const;
    // Suspended: the host set a device power state below D0.
    bool Suspended() const;
    ULONG Suspends() const;
    ULONG PortResets() const;
    // Reset-pipe requests (which clear a stall) on the endpoint.
    ULONG PipeResets(UCHAR endpoint) const;

    // --- What the bus does to the device -----------------------------------
    // Every call takes the model's lock; the bus may hold its own around them.

    // Power comes on at plug: no data queued, nothing stalled, the port
    // enabled; new IN data or a stall wakes the bus.
    void Attach(UsbBus& bus);
    // Power goes at unplug: unread IN data is lost.
    void Detach();
    // Logs a request the client sent and returns the refusal a test set for
    // its URB function, or STATUS_SUCCESS.
    NTSTATUS ReceiveRequest(const UrbRecord& request);
    // The refusal a test set for the endpoint's transfers; a transfer
    // accepted is counted.
    NTSTATUS AcceptTransfer(UCHAR endpoint);
    // A silent device leaves control requests unanswered.
    bool AnswersNothing() const;
    // The handshake a frame would get at the endpoint, without moving data.
    enum class Handshake { kNak, kStall, kAck };
    Handshake Poll(UCHAR endpoint, bool in) const;
    // One OUT packet: on kAck it is counted and *receiver is the firmware
    // that gets it (null when none is installed).
    Handshake TakeOut(UCHAR endpoint, EndpointHandler** receiver);
    // One IN packet: on kAck *packet is the next one queued.
    Handshake GiveIn(UCHAR endpoint, std::vector<UCHAR>* packet);
    // Reset pipe: the endpoint's stall is cleared.
    void ClearStall(UCHAR endpoint);
    // The hub's port status and port reset.
    bool PortEnabled() const;
    void ResetPort();
    bool RefusesIdleNotification() const;
    void NoteIdleCallback();
    void NoteWaitWake();
    // The device power state the host set (below D0 suspends the device);
    // true when it resumed from suspend.
    bool SetDevicePower(DEVICE_POWER_STATE state);

private:

    struct Endpoint {
        std::deque<std::vector<UCHAR>> inPackets;
        bool stalled = false;
        bool held = false;
        NTSTATUS refusal = STATUS_SUCCESS;
        ULONG transfers = 0;
        ULONG packets = 0;
        ULONG pipeResets = 0;
    };

    Endpoint& EndpointLocked(UCHAR address) { return endpoints_[address]; }
    Handshake PollLocked(UCHAR endpoint, bool in) const;
    void WakeBusLocked();

    const std::string serialNumber_;
    DescriptorLayout descriptors_;  // replaced only off the bus

    mutable std::mutex lock_;
    UsbBus* bus_ = nullptr;
    EndpointHandler* handler_ = nullptr;
    std::map<UCHAR, Endpoint> endpoints_;
    std::map<USHORT, NTSTATUS> refusedRequests_;
    bool silent_ = false;
    bool portEnabled_ = true;
    std::vector<UrbRecord> urbLog_;
    ULONG waitWakeRequests_ = 0;
    bool refuseIdle_ = false;
    bool refuseSleep_ = false;
    bool suspended_ = false;
    ULONG idleCallbacks_ = 0;
    ULONG suspends_ = 0;
    ULONG portResets_ = 0;
    // Last: the firmware goes first, while the rest of the model still works.
    std::unique_ptr<EndpointHandler> firmware_;
};

}  // namespace winsim::hw
