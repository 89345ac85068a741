#include "hw/serial/serial_port.h"

#include "hw/serial/far_ends.h"
#include "hw/serial/serial_lock.h"

namespace winsim::hw::serial {

std::mutex& SerialLock()
{
    static std::mutex lock;
    return lock;
}

SerialPort::~SerialPort()
{
    // The UART's owner is going away: only the other end of a cable hears it.
    std::lock_guard lk(SerialLock());
    UnplugLocked(false);
}

void SerialPort::PlugNothing()
{
    std::lock_guard lk(SerialLock());
    UnplugLocked();
}

void SerialPort::PlugLoopback()
{
    std::lock_guard lk(SerialLock());
    PlugLocked(std::make_unique<LoopbackPlug>(*this));
}

void SerialPort::PlugNullModem(SerialPort& other)
{
    std::lock_guard lk(SerialLock());
    if (&other == this) {
        // A cable from a port to itself is a loopback plug.
        PlugLocked(std::make_unique<LoopbackPlug>(*this));
        return;
    }
    UnplugLocked();
    other.UnplugLocked();
    farEnd_ = std::make_unique<NullModemEnd>(other);
    other.farEnd_ = std::make_unique<NullModemEnd>(*this);
    farEnd_->OutputsChanged(outputs_);
    other.farEnd_->OutputsChanged(other.outputs_);
}

ScriptedPeer& SerialPort::PlugPeer()
{
    std::lock_guard lk(SerialLock());
    auto peer = std::make_unique<ScriptedPeer>(*this);
    ScriptedPeer& result = *peer;
    PlugLocked(std::move(peer));
    // The peer holds its DTR and RTS on.
    DriveInputsLocked(CrossedInputs({true, true, false}));
    return result;
}

void SerialPort::PlugLocked(std::unique_ptr<FarEnd> farEnd)
{
    UnplugLocked();
    farEnd_ = std::move(farEnd);
    farEnd_->OutputsChanged(outputs_);
}

void SerialPort::UnplugLocked(bool tellOwner)
{
    if (farEnd_ == nullptr) return;
    SerialPort* other = farEnd_->OtherPort();
    farEnd_.reset();
    if (tellOwner) DriveInputsLocked({});
    if (other != nullptr && other->farEnd_ != nullptr) {
        other->farEnd_.reset();
        other->DriveInputsLocked({});
    }
}

void SerialPort::SetOutputsLocked(const ModemOutputs& outputs)
{
    if (outputs == outputs_) return;
    outputs_ = outputs;
    if (farEnd_ != nullptr) farEnd_->OutputsChanged(outputs_);
}

void SerialPort::SendLocked(UCHAR byte)
{
    if (farEnd_ != nullptr) farEnd_->Receive(byte, format_);
}

bool SerialPort::TakeFromFarEndLocked(UCHAR& byte, LineError& error)
{
    return farEnd_ != nullptr && farEnd_->Transmit(byte, error);
}

void SerialPort::DeliverLocked(UCHAR byte, const CharacterFormat& sentAs)
{
    sink_.CharacterArrived(byte, ReceptionError(sentAs, format_));
}

void SerialPort::DriveInputsLocked(const ModemInputs& inputs)
{
    if (inputs == inputs_) return;
    inputs_ = inputs;
    sink_.InputsChanged();
}

}  // namespace winsim::hw::serial
