#include "hw/serial/far_ends.h"

#include "hw/serial/serial_lock.h"
#include "hw/serial/serial_port.h"

namespace winsim::hw::serial {

void LoopbackPlug::Receive(UCHAR byte, const CharacterFormat& format) { port_.DeliverLocked(byte, format); }

void LoopbackPlug::OutputsChanged(const ModemOutputs& outputs) { port_.DriveInputsLocked(CrossedInputs(outputs)); }

void NullModemEnd::Receive(UCHAR byte, const CharacterFormat& format) { other_.DeliverLocked(byte, format); }

void NullModemEnd::OutputsChanged(const ModemOutputs& outputs) { other_.DriveInputsLocked(CrossedInputs(outputs)); }

void ScriptedPeer::Feed(const std::vector<UCHAR>& bytes)
{
    std::lock_guard lk(SerialLock());
    for (UCHAR byte : bytes) toSend_.emplace_back(byte, LineError::None);
    port_.FarEndHasDataLocked();
}

void ScriptedPeer::FeedWithError(UCHAR byte, LineError error)
{
    std::lock_guard lk(SerialLock());
    toSend_.emplace_back(byte, error);
    port_.FarEndHasDataLocked();
}

std::vector<UCHAR> ScriptedPeer::Received() const
{
    std::lock_guard lk(SerialLock());
    return received_;
}

size_t ScriptedPeer::Unsent() const
{
    std::lock_guard lk(SerialLock());
    return toSend_.size();
}

void ScriptedPeer::Receive(UCHAR byte, const CharacterFormat& format)
{
    // The peer reads in whatever format the port uses.
    (void)format;
    received_.push_back(byte);
}

void ScriptedPeer::OutputsChanged(const ModemOutputs& outputs)
{
    const bool resumed = outputs.rts && !portRts_;
    portRts_ = outputs.rts;
    if (!toSend_.empty() && resumed) port_.FarEndHasDataLocked();
}

bool ScriptedPeer::Transmit(UCHAR& byte, LineError& error)
{
    if (toSend_.empty() || !portRts_) return false;
    byte = toSend_.front().first;
    error = toSend_.front().second;
    toSend_.pop_front();
    return true;
}

}  // namespace winsim::hw::serial
