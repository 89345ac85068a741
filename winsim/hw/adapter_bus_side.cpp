// The adapter as the bus drives it: power at plug and unplug, the requests
// and transfers it accepts or refuses, the handshake each frame gets at an
// endpoint, and the hub's port and power state.
#include "hw/adapter_model.h"

#include "hw/usb_bus.h"

namespace winsim::hw {

void AdapterModel::Attach(UsbBus& bus)
{
    std::lock_guard lk(lock_);
    bus_ = &bus;
    for (auto& [address, endpoint] : endpoints_) {
        endpoint.inPackets.clear();
        endpoint.stalled = false;
    }
    portEnabled_ = true;
}

void AdapterModel::Detach()
{
    std::lock_guard lk(lock_);
    bus_ = nullptr;
    for (auto& [address, endpoint] : endpoints_) endpoint.inPackets.clear();
}

NTSTATUS AdapterModel::ReceiveRequest(const UrbRecord& request)
{
    std::lock_guard lk(lock_);
    // Dropped in one go, so that each request costs the same on average.
    if (urbLog_.size() == 2 * kUrbLogKept) urbLog_.erase(urbLog_.begin(), urbLog_.begin() + kUrbLogKept);
    urbLog_.push_back(request);
    auto it = refusedRequests_.find(request.function);
    return it == refusedRequests_.end() ? STATUS_SUCCESS : it->second;
}

NTSTATUS AdapterModel::AcceptTransfer(UCHAR endpoint)
{
    std::lock_guard lk(lock_);
    Endpoint& state = EndpointLocked(endpoint);
    if (NT_SUCCESS(state.refusal)) state.transfers++;
    return state.refusal;
}

bool AdapterModel::AnswersNothing() const
{
    std::lock_guard lk(lock_);
    return silent_;
}

AdapterModel::Handshake AdapterModel::PollLocked(UCHAR endpoint, bool in) const
{
    auto it = endpoints_.find(endpoint);
    const bool known = it != endpoints_.end();
    if (known && it->second.stalled) return Handshake::kStall;
    if (silent_ || (known && it->second.held)) return Handshake::kNak;
    if (in && (!known || it->second.inPackets.empty())) return Handshake::kNak;
    return Handshake::kAck;
}

AdapterModel::Handshake AdapterModel::Poll(UCHAR endpoint, bool in) const
{
    std::lock_guard lk(lock_);
    return PollLocked(endpoint, in);
}

AdapterModel::Handshake AdapterModel::TakeOut(UCHAR endpoint, EndpointHandler** receiver)
{
    std::lock_guard lk(lock_);
    const Handshake answer = PollLocked(endpoint, false);
    if (answer == Handshake::kAck) {
        EndpointLocked(endpoint).packets++;
        *receiver = handler_;
    }
    return answer;
}

AdapterModel::Handshake AdapterModel::GiveIn(UCHAR endpoint, std::vector<UCHAR>* packet)
{
    std::lock_guard lk(lock_);
    const Handshake answer = PollLocked(endpoint, true);
    if (answer == Handshake::kAck) {
        Endpoint& state = EndpointLocked(endpoint);
        *packet = std::move(state.inPackets.front());
        state.inPackets.pop_front();
        state.packets++;
    }
    return answer;
}

void AdapterModel::ClearStall(UCHAR endpoint)
{
    std::lock_guard lk(lock_);
    Endpoint& state = EndpointLocked(endpoint);
    state.stalled = false;
    state.pipeResets++;
}

bool AdapterModel::PortEnabled() const
{
    std::lock_guard lk(lock_);
    return portEnabled_;
}

void AdapterModel::ResetPort()
{
    std::lock_guard lk(lock_);
    portEnabled_ = true;
    portResets_++;
}

bool AdapterModel::RefusesIdleNotification() const
{
    std::lock_guard lk(lock_);
    return refuseIdle_;
}

void AdapterModel::NoteIdleCallback()
{
    std::lock_guard lk(lock_);
    idleCallbacks_++;
}

void AdapterModel::NoteWaitWake()
{
    std::lock_guard lk(lock_);
    waitWakeRequests_++;
}

bool AdapterModel::SetDevicePower(DEVICE_POWER_STATE state)
{
    const bool suspended = state != PowerDeviceD0;
    std::lock_guard lk(lock_);
    if (suspended && !suspended_) suspends_++;
    const bool resumed = suspended_ && !suspended;
    suspended_ = suspended;
    return resumed;
}

}  // namespace winsim::hw
