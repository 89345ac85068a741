#include "hw/adapter_model.h"

#include <algorithm>
#include <stdexcept>

#include "hw/usb_bus.h"

namespace winsim::hw {

AdapterModel::AdapterModel(std::string serialNumber, DescriptorLayout descriptors)
    : serialNumber_(std::move(serialNumber)), descriptors_(std::move(descriptors))
{
}

AdapterModel::~AdapterModel() { InstallFirmware(nullptr); }

void AdapterModel::ReplaceDescriptors(DescriptorLayout descriptors)
{
    std::lock_guard lk(lock_);
    if (bus_ != nullptr) throw std::logic_error("an adapter on the bus keeps its descriptors");
    descriptors_ = std::move(descriptors);
}

void AdapterModel::SetEndpointHandler(EndpointHandler* handler)
{
    std::lock_guard lk(lock_);
    handler_ = handler;
}

void AdapterModel::InstallFirmware(std::unique_ptr<EndpointHandler> firmware)
{
    std::unique_ptr<EndpointHandler> previous;
    {
        std::lock_guard lk(lock_);
        handler_ = firmware.get();
        previous = std::move(firmware_);
        firmware_ = std::move(firmware);
    }
    // Outside the lock: the old firmware may still be queuing IN data.
    previous.reset();
}

void AdapterModel::WakeBusLocked()
{
    if (bus_ != nullptr) bus_->Wake();
}

void AdapterModel::QueueIn(UCHAR endpoint, std::vector<UCHAR> bytes)
{
    const EndpointLayout* layout = descriptors_.Endpoint(endpoint);
    const size_t packetSize = layout != nullptr && layout->maxPacketSize != 0 ? layout->maxPacketSize : 64;
    std::lock_guard lk(lock_);
    Endpoint& state = EndpointLocked(endpoint);
    if (bytes.size() <= packetSize) {
        // One packet, most messages: it travels as it is.
        state.inPackets.push_back(std::move(bytes));
        WakeBusLocked();
        return;
    }
    size_t offset = 0;
    do {
        const size_t n = std::min(packetSize, bytes.size() - offset);
        state.inPackets.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                                     bytes.begin() + static_cast<std::ptrdiff_t>(offset + n));
        offset += n;
        // A full last packet leaves the transfer open, as a real device does.
    } while (offset < bytes.size());
    WakeBusLocked();
}

size_t AdapterModel::QueuedInPackets(UCHAR endpoint) const
{
    std::lock_guard lk(lock_);
    auto it = endpoints_.find(endpoint);
    return it == endpoints_.end() ? 0 : it->second.inPackets.size();
}

void AdapterModel::Stall(UCHAR endpoint)
{
    std::lock_guard lk(lock_);
    EndpointLocked(endpoint).stalled = true;
    WakeBusLocked();
}

void AdapterModel::RefuseTransfers(UCHAR endpoint, NTSTATUS status)
{
    std::lock_guard lk(lock_);
    EndpointLocked(endpoint).refusal = status;
}

void AdapterModel::RefuseRequests(USHORT urbFunction, NTSTATUS status)
{
    std::lock_guard lk(lock_);
    if (NT_SUCCESS(status)) {
        refusedRequests_.erase(urbFunction);
    } else {
        refusedRequests_[urbFunction] = status;
    }
}

void AdapterModel::AnswerNothing(bool silent)
{
    std::lock_guard lk(lock_);
    silent_ = silent;
    WakeBusLocked();
}

void AdapterModel::HoldTransfers(UCHAR endpoint, bool hold)
{
    std::lock_guard lk(lock_);
    EndpointLocked(endpoint).held = hold;
    WakeBusLocked();
}

void AdapterModel::DisablePort()
{
    std::lock_guard lk(lock_);
    portEnabled_ = false;
}

ULONG AdapterModel::TransfersOn(UCHAR endpoint) const
{
    std::lock_guard lk(lock_);
    auto it = endpoints_.find(endpoint);
    return it == endpoints_.end() ? 0 : it->second.transfers;
}

ULONG AdapterModel::PacketsOn(UCHAR endpoint) const
{
    std::lock_guard lk(lock_);
    auto it = endpoints_.find(endpoint);
    return it == endpoints_.end() ? 0 : it->second.packets;
}

ULONG AdapterModel::PipeResets(UCHAR endpoint) const
{
    std::lock_guard lk(lock_);
    auto it = endpoints_.find(endpoint);
    return it == endpoints_.end() ? 0 : it->second.pipeResets;
}

std::vector<UrbRecord> AdapterModel::UrbLog() const
{
    std::lock_guard lk(lock_);
    return urbLog_;
}

ULONG AdapterModel::WaitWakeRequests() const
{
    std::lock_guard lk(lock_);
    return waitWakeRequests_;
}

void AdapterModel::RefuseIdleNotification(bool refuse)
{
    std::lock_guard lk(lock_);
    refuseIdle_ = refuse;
}

void AdapterModel::RefuseSleep(bool refuse)
{
    std::lock_guard lk(lock_);
    refuseSleep_ = refuse;
}

bool AdapterModel::RefusesSleep() const
{
    std::lock_guard lk(lock_);
    return refuseSleep_;
}

ULONG AdapterModel::IdleCallbacks() const
{
    std::lock_guard lk(lock_);
    return idleCallbacks_;
}

bool AdapterModel::Suspended() const
{
    std::lock_guard lk(lock_);
    return suspended_;
}

ULONG AdapterModel::Suspends() const
{
    std::lock_guard lk(lock_);
    return suspends_;
}

ULONG AdapterModel::PortResets() const
{
    std::lock_guard lk(lock_);
    return portResets_;
}

}  // namespace winsim::hw
