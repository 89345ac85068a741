// The bus thread and its frames: each 1 ms frame moves packets between the
// queued transfers and the devices' endpoints, interrupt endpoints at their
// interval and bulk endpoints in turn while the frame has room. No frame is
// run while no transfer can make progress.
#include "hw/usb_bus.h"
#include "hw/usb_bus_internals.h"
#include "hw/usb_status.h"

#include <algorithm>
#include <cstring>

namespace winsim::hw {

namespace {

// A full-speed frame holds 19 bulk packets of 64 bytes. Each adapter has a
// link of its own (a root port, or a multi-TT hub's port), so every device
// moves up to 19 packets a frame, all devices at once. The host controller
// reports finished transfers several times a frame (its interrupt
// threshold), and what their completions submit can still use the frame's
// later packets, as its schedule allows.
constexpr int kSlotsPerFrame = 19;
constexpr int kReportsPerFrame = 8;

LONGLONG FrameAtOrAfter(Ticks time) { return (time + kTicksPerMillisecond - 1) / kTicksPerMillisecond; }

LONGLONG Interval(const EndpointLayout& layout) { return layout.interval == 0 ? 1 : layout.interval; }

}  // namespace

void UsbBus::Run()
{
    // The start of the frame the thread last slept toward. On the wall clock
    // the thread wakes a little after it; counting from the wake-up instead
    // would put every frame one further off, and none would ever run.
    Ticks awaited = -1;
    for (;;) {
        const Ticks now = Scheduler::Instance().Now();
        const Ticks from = awaited >= 0 && awaited < now ? awaited : now;
        awaited = -1;
        LONGLONG frame;
        // What is submitted from here on sets the event again.
        wakeRequested_.store(false);
        {
            std::lock_guard lk(lock_);
            if (stopping_) return;
            frame = NextFrameLocked(from);
        }
        if (frame < 0) {
            KeWaitForSingleObject(&wake_, Executive, KernelMode, FALSE, nullptr);
            continue;
        }
        const Ticks due = frame * kTicksPerMillisecond;
        if (due > now) {
            LARGE_INTEGER timeout;
            timeout.QuadPart = -(due - now);
            awaited = due;
            KeWaitForSingleObject(&wake_, Executive, KernelMode, FALSE, &timeout);
            continue;
        }
        SetFrameRunning(true);
        RunFrame(frame);
        SetFrameRunning(false);
    }
}

void UsbBus::SetFrameRunning(bool running)
{
    std::lock_guard lk(lock_);
    frameRunning_ = running;
}

bool UsbBus::CanProgressLocked(const Plugged& device, const Pipe& pipe) const
{
    if (pipe.queue.empty() || pipe.queue.front()->irp->Cancel) return false;
    if (pipe.halted) return true;  // the transfer fails
    return device.model->Poll(pipe.layout.address, pipe.queue.front()->in) != AdapterModel::Handshake::kNak;
}

LONGLONG UsbBus::NextFrameLocked(Ticks from) const
{
    const LONGLONG earliest = std::max(lastFrame_ + 1, FrameAtOrAfter(from));
    LONGLONG next = -1;
    for (const auto& device : plugged_) {
        if (!device->connected || !device->configured) continue;
        for (const auto& [address, pipe] : device->pipes) {
            if (!CanProgressLocked(*device, pipe)) continue;
            LONGLONG frame = earliest;
            if (pipe.layout.type == USB_ENDPOINT_TYPE_INTERRUPT) {
                const LONGLONG interval = Interval(pipe.layout);
                frame = (earliest + interval - 1) / interval * interval;
            }
            if (next < 0 || frame < next) next = frame;
        }
    }
    return next;
}

void UsbBus::RunFrame(LONGLONG frame)
{
    const Ticks start = frame * kTicksPerMillisecond;
    bool completedBefore = false;
    // Emptied for each report; their storage serves every report.
    std::vector<Delivery> deliveries;
    std::vector<Finished> finished;
    for (int report = 0; report < kReportsPerFrame; ++report) {
        deliveries.clear();
        finished.clear();
        TransferObserver observer;
        bool moved = false;
        {
            std::lock_guard lk(lock_);
            if (stopping_) return;
            observer = observer_;
            lastFrame_ = frame;
            const int firstSlot = kSlotsPerFrame * report / kReportsPerFrame;
            const int endSlot = kSlotsPerFrame * (report + 1) / kReportsPerFrame;
            for (const auto& device : plugged_) {
                if (!device->connected || !device->configured) continue;
                if (report == 0) moved = MoveInterruptPacketsLocked(*device, frame, deliveries, finished) || moved;
                for (int slot = firstSlot; slot < endSlot; ++slot) {
                    if (!MoveBulkPacketLocked(*device, deliveries, finished)) break;
                    moved = true;
                }
            }
        }
        // The firmware sees the data before the host learns the transfer ended.
        for (const Delivery& delivery : deliveries) {
            if (delivery.handler != nullptr) delivery.handler->OnOut(delivery.endpoint, delivery.packet);
        }
        // An idle stretch right after completions is left for what they submit.
        if (!moved && !completedBefore) return;
        WaitUntil(start + kTicksPerMillisecond * (report + 1) / kReportsPerFrame);
        if (observer) {
            for (const Finished& f : finished) {
                const Transfer* transfer = f.transfer;
                if (f.model == nullptr || transfer->moved == 0) continue;
                observer(*f.model, transfer->endpoint,
                         std::vector<UCHAR>(transfer->buffer, transfer->buffer + transfer->moved));
            }
        }
        CompleteTransfers(finished);
        completedBefore = !finished.empty();
    }
}

// A delay, not a wait on wake_: what is submitted meanwhile moves at the
// frame's next report anyway, and waking the thread for each submission
// only to sleep again cost two host switches. The event stays set for the
// wait between frames.
void UsbBus::WaitUntil(Ticks due)
{
    for (Ticks now = Scheduler::Instance().Now(); now < due; now = Scheduler::Instance().Now()) {
        Scheduler::Instance().Sleep(due - now);
    }
}

bool UsbBus::MoveInterruptPacketsLocked(Plugged& device, LONGLONG frame, std::vector<Delivery>& deliveries,
                                        std::vector<Finished>& finished)
{
    bool moved = false;
    for (auto& [address, pipe] : device.pipes) {
        if (pipe.layout.type == USB_ENDPOINT_TYPE_INTERRUPT && frame % Interval(pipe.layout) == 0) {
            moved = MovePacketLocked(device, pipe, deliveries, finished) || moved;
        }
    }
    return moved;
}

// The device's bulk pipes take turns, starting after the one served last.
bool UsbBus::MoveBulkPacketLocked(Plugged& device, std::vector<Delivery>& deliveries, std::vector<Finished>& finished)
{
    auto first = device.pipes.upper_bound(device.lastBulkEndpoint);
    for (size_t n = 0; n < device.pipes.size(); ++n, ++first) {
        if (first == device.pipes.end()) first = device.pipes.begin();
        auto& [address, pipe] = *first;
        if (pipe.layout.type != USB_ENDPOINT_TYPE_BULK) continue;
        if (MovePacketLocked(device, pipe, deliveries, finished)) {
            device.lastBulkEndpoint = address;
            return true;
        }
    }
    return false;
}

// One step of the transfer at the head of the pipe: a packet moved, a
// stall met, or nothing (the device NAKs). True when something happened.
bool UsbBus::MovePacketLocked(Plugged& device, Pipe& pipe, std::vector<Delivery>& deliveries,
                              std::vector<Finished>& finished)
{
    if (pipe.queue.empty()) return false;
    Transfer* transfer = pipe.queue.front();
    if (transfer->irp->Cancel) return false;  // its cancel routine takes it
    auto finish = [&](USBD_STATUS status) {
        if (DetachLocked(transfer)) finished.push_back({transfer, status, device.model});
    };
    if (pipe.halted) {
        finish(USBD_STATUS_ENDPOINT_HALTED);
        return true;
    }
    AdapterModel& model = *device.model;
    const ULONG room = transfer->length - transfer->moved;
    const ULONG maxPacket = pipe.layout.maxPacketSize;
    EndpointHandler* receiver = nullptr;
    std::vector<UCHAR> packet;
    const AdapterModel::Handshake answer = transfer->in ? model.GiveIn(pipe.layout.address, &packet)
                                                        : model.TakeOut(pipe.layout.address, &receiver);
    if (answer == AdapterModel::Handshake::kNak) return false;
    if (answer == AdapterModel::Handshake::kStall) {
        pipe.halted = true;
        finish(USBD_STATUS_STALL_PID);
        return true;
    }

    if (!transfer->in) {
        const ULONG n = std::min(room, maxPacket);
        deliveries.push_back({receiver, pipe.layout.address,
                              std::vector<UCHAR>(transfer->buffer + transfer->moved, transfer->buffer + transfer->moved + n)});
        transfer->moved += n;
        if (transfer->moved == transfer->length) finish(USBD_STATUS_SUCCESS);
        return true;
    }

    const ULONG n = std::min(room, static_cast<ULONG>(packet.size()));
    if (n != 0) std::memcpy(transfer->buffer + transfer->moved, packet.data(), n);
    transfer->moved += n;
    if (packet.size() > room) {
        // More than the buffer holds: babble, and the endpoint halts.
        pipe.halted = true;
        finish(USBD_STATUS_BUFFER_OVERRUN);
    } else if (packet.size() < maxPacket) {
        // A short packet ends the transfer; an error unless the client allowed it.
        finish(transfer->shortOk || transfer->moved == transfer->length ? USBD_STATUS_SUCCESS
                                                                        : USBD_STATUS_ERROR_SHORT_TRANSFER);
    } else if (transfer->moved == transfer->length) {
        finish(USBD_STATUS_SUCCESS);
    }
    return true;
}

// Takes the transfer off its pipe to complete it, unless its cancel routine
// has already been called: then the routine finds it there.
bool UsbBus::DetachLocked(Transfer* transfer)
{
    if (IoSetCancelRoutine(transfer->irp, nullptr) == nullptr) return false;
    if (transfer->pipe != nullptr) std::erase(transfer->pipe->queue, transfer);
    return true;
}

void UsbBus::TakeTransfersLocked(Pipe& pipe, USBD_STATUS status, std::vector<Finished>& finished)
{
    const std::deque<Transfer*> queued = pipe.queue;
    for (Transfer* transfer : queued) {
        if (DetachLocked(transfer)) finished.push_back({transfer, status});
    }
}

void UsbBus::CompleteTransfers(const std::vector<Finished>& finished)
{
    if (finished.empty()) return;
    // Those the completions ready (workers, waiting applications) start
    // once the whole report is done.
    const Scheduler::HeldWakes held;
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    for (const Finished& f : finished) {
        Transfer* transfer = f.transfer;
        PIRP irp = transfer->irp;
        transfer->urb->UrbBulkOrInterruptTransfer.TransferBufferLength = transfer->moved;
        transfer->urb->UrbHeader.Status = f.status;
        irp->IoStatus.Status = StatusFromUsbd(f.status);
        irp->IoStatus.Information = 0;
        delete transfer;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    }
    KeLowerIrql(old);
}

}  // namespace winsim::hw
