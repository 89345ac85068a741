#include "hw/firmware/application_port.h"

#include <algorithm>

#include "common/port_registers.h"
#include "hw/firmware/application_firmware.h"

namespace winsim::hw {

namespace {

// The host's break holds the line for this many character times.
constexpr double kBreakCharacters = 2;
// While the IN endpoint is full the port looks again after this long.
constexpr double kHostRetryTicks = kTicksPerMillisecond;

UCHAR DataCode(serial::LineError error)
{
    switch (error) {
    case serial::LineError::Framing: return kMsgReceiveFramingError;
    case serial::LineError::Parity: return kMsgReceiveParityError;
    case serial::LineError::None: break;
    }
    return kMsgReceiveData;
}

}  // namespace

void ApplicationPort::InitializeLocked()
{
    ClearFifos();
    creditsToReturn_ = 0;
    xoffReceived_ = false;
    breakUntil_ = -1;
    initialized_ = true;
    transmitClock_ = receiveClock_ = Now();
    host_.SendToHost({ComposeMessageCode(kMsgSetCredits, index_), ApplicationFirmware::kTransmitCredits});
    // The host learns the lines as they are now.
    statusDue_ = true;
    UpdateOutputs();
    host_.WakeService();
}

void ApplicationPort::ConfigureLocked(const ConfigurationPayload& payload)
{
    // Characters whose line time has passed left in the old format, even if
    // the service pass that moves them comes late; a close drops only the rest.
    TransmitDue(static_cast<Ticks>(Now()));
    serial::CharacterFormat format;
    format.baudRate = payload.baudRate;
    format.dataBits = static_cast<UCHAR>(5 + (payload.wordLength & kLcrWordLengthMask));
    format.parity = payload.parity & kLcrParityMask;
    format.extraStop = (payload.stopBits & kLcrStopBits) != 0;
    line_.SetFormatLocked(format);
    ctsFlow_ = payload.ctsFlow != 0;
    dsrFlow_ = payload.dsrFlow != 0;
    xonXoff_ = payload.xonXoffFlow != 0;
    xonChar_ = payload.xonChar;
    xoffChar_ = payload.xoffChar;
    if (!xonXoff_) xoffReceived_ = false;
    open_ = payload.open != 0;
    // A new configuration drops the modem lines; the host sets them again.
    hostDtr_ = hostRts_ = false;
    if (!open_) ClearFifos();
    const double now = Now();
    transmitClock_ = std::max(transmitClock_, now);
    receiveClock_ = std::max(receiveClock_, now);
    UpdateOutputs();
    host_.WakeService();
}

void ApplicationPort::ModemControlLocked(UCHAR mask, UCHAR values)
{
    if ((mask & kMcrDtr) != 0) hostDtr_ = (values & kMcrDtr) != 0;
    if ((mask & kMcrRts) != 0) hostRts_ = (values & kMcrRts) != 0;
    if ((mask & kMcrBreak) != 0) {
        const double now = Now();
        breakUntil_ = (values & kMcrBreak) != 0 ? now + kBreakCharacters * line_.CharacterTicksLocked() : -1;
        transmitClock_ = std::max(transmitClock_, breakUntil_ > 0 ? breakUntil_ : now);
    }
    UpdateOutputs();
    host_.WakeService();
}

void ApplicationPort::DataLocked(const UCHAR* data, ULONG length, bool internalLoopback)
{
    // A host that sends without a credit (or before initialising the port)
    // finds no room: the message is dropped, as the FIFO cannot hold it.
    if (!initialized_ || length == 0 || transmitFifo_.size() + length > ApplicationFirmware::kTransmitFifoBytes) {
        refusedMessages_++;
        return;
    }
    if (transmitFifo_.empty()) transmitClock_ = std::max(transmitClock_, Now());
    for (ULONG i = 0; i < length; ++i) transmitFifo_.push_back({data[i], internalLoopback});
    messagesInFifo_.push_back(length);
    host_.ServiceSoon();
}

bool ApplicationPort::TransmitterHeld() const
{
    const serial::ModemInputs& inputs = line_.InputsLocked();
    return (ctsFlow_ && !inputs.cts) || (dsrFlow_ && !inputs.dsr) || xoffReceived_;
}

void ApplicationPort::TransmitDue(Ticks now)
{
    if (breakUntil_ >= 0) {
        if (breakUntil_ > static_cast<double>(now)) return;
        breakUntil_ = -1;
        UpdateOutputs();
    }
    while (!transmitFifo_.empty()) {
        const Queued next = transmitFifo_.front();
        // The UART's own loop ignores the modem lines.
        if (!next.internalLoopback && TransmitterHeld()) return;
        const double done = transmitClock_ + line_.CharacterTicksLocked();
        if (done > static_cast<double>(now)) return;
        transmitFifo_.pop_front();
        transmitClock_ = done;
        if (--messagesInFifo_.front() == 0) {
            messagesInFifo_.pop_front();
            creditsToReturn_++;
        }
        if (next.internalLoopback) {
            line_.DeliverLocked(next.byte, serial::LineError::None);
        } else {
            line_.SendLocked(next.byte);
        }
    }
}

void ApplicationPort::ReceiveDue(Ticks now)
{
    while (farEndHasData_) {
        const double done = receiveClock_ + line_.CharacterTicksLocked();
        if (done > static_cast<double>(now)) return;
        UCHAR byte;
        serial::LineError error = serial::LineError::None;
        if (!line_.TakeFromFarEndLocked(byte, error)) {
            farEndHasData_ = false;
            receiveClock_ = static_cast<double>(now);
            return;
        }
        receiveClock_ = done;
        CharacterArrived(byte, error);
    }
}

void ApplicationPort::CharacterArrived(UCHAR byte, serial::LineError error)
{
    // Nobody listens on a closed port.
    if (!open_) return;
    if (xonXoff_ && error == serial::LineError::None && (byte == xonChar_ || byte == xoffChar_)) {
        const bool held = byte == xoffChar_;
        if (xoffReceived_ && !held) transmitClock_ = std::max(transmitClock_, Now());
        xoffReceived_ = held;
        host_.WakeService();
        return;
    }
    if (receiveFifo_.size() >= ApplicationFirmware::kReceiveFifoBytes) {
        overruns_++;
        return;
    }
    receiveFifo_.emplace_back(byte, error);
    if (ctsFlow_ && receiveFifo_.size() >= ApplicationFirmware::kReceiveHighWater) {
        holdingFarEnd_ = true;
        UpdateOutputs();
    }
    host_.WakeService();
}

void ApplicationPort::InputsChanged()
{
    if (line_.InputsLocked().breakOn) breakSeen_ = true;
    if (!TransmitterHeld()) transmitClock_ = std::max(transmitClock_, Now());
    statusDue_ = true;
    host_.WakeService();
}

void ApplicationPort::FarEndHasData()
{
    if (!farEndHasData_) receiveClock_ = std::max(receiveClock_, Now());
    farEndHasData_ = true;
    host_.WakeService();
}

void ApplicationPort::UpdateOutputs()
{
    serial::ModemOutputs outputs;
    outputs.dtr = hostDtr_;
    outputs.rts = hostRts_ && !holdingFarEnd_;
    outputs.breakOn = breakUntil_ >= 0;
    line_.SetOutputsLocked(outputs);
}

void ApplicationPort::ClearFifos()
{
    transmitFifo_.clear();
    // The credits of dropped messages come back: the FIFO has room again.
    creditsToReturn_ += static_cast<ULONG>(messagesInFifo_.size());
    messagesInFifo_.clear();
    receiveFifo_.clear();
    if (holdingFarEnd_) {
        holdingFarEnd_ = false;
        UpdateOutputs();
    }
}

std::vector<UCHAR> ApplicationPort::StatusMessage()
{
    const serial::ModemInputs& inputs = line_.InputsLocked();
    std::vector<UCHAR> message(kStatusMessageLength, 0);
    message[0] = ComposeMessageCode(kMsgStatus, index_);
    message[kStatusCtsOffset] = inputs.cts ? 1 : 0;
    message[kStatusDcdOffset] = inputs.dcd ? 1 : 0;
    message[kStatusDsrOffset] = inputs.dsr ? 1 : 0;
    message[kStatusRiOffset] = inputs.ri ? 1 : 0;
    // A break shorter than a service pass is still reported, and its end
    // follows in a second message.
    message[kStatusBreakOffset] = inputs.breakOn || breakSeen_ ? 1 : 0;
    if (breakSeen_ && !inputs.breakOn) statusDue_ = true;
    breakSeen_ = false;
    return message;
}

void ApplicationPort::ReportToHost()
{
    auto takeCredits = [this] {
        const ULONG n = std::min<ULONG>(creditsToReturn_, 0xFF);
        creditsToReturn_ -= n;
        return static_cast<UCHAR>(n);
    };
    while (statusDue_) {
        statusDue_ = false;
        std::vector<UCHAR> message = StatusMessage();
        message[1] = takeCredits();
        host_.SendToHost(std::move(message));
    }
    while (!receiveFifo_.empty() && host_.HostHasRoom()) {
        const serial::LineError error = receiveFifo_.front().second;
        std::vector<UCHAR> message;
        message.reserve(kMessageMaxLength);
        message = {ComposeMessageCode(DataCode(error), index_), takeCredits()};
        while (!receiveFifo_.empty() && receiveFifo_.front().second == error &&
               message.size() < kMessageMaxLength) {
            message.push_back(receiveFifo_.front().first);
            receiveFifo_.pop_front();
        }
        host_.SendToHost(std::move(message));
    }
    if (holdingFarEnd_ && receiveFifo_.size() <= ApplicationFirmware::kReceiveLowWater) {
        holdingFarEnd_ = false;
        UpdateOutputs();
    }
    // Credits alone travel in a status message without a record, unless
    // received data waits that will carry them.
    if (creditsToReturn_ != 0 && receiveFifo_.empty()) {
        host_.SendToHost({ComposeMessageCode(kMsgStatus, index_), takeCredits()});
    }
}

double ApplicationPort::ServiceLocked(Ticks now)
{
    TransmitDue(now);
    ReceiveDue(now);
    ReportToHost();

    double next = -1;
    auto consider = [&next](double when) {
        if (next < 0 || when < next) next = when;
    };
    const double character = line_.CharacterTicksLocked();
    if (breakUntil_ >= 0) consider(breakUntil_);
    if (!transmitFifo_.empty() && breakUntil_ < 0 &&
        (transmitFifo_.front().internalLoopback || !TransmitterHeld())) {
        consider(transmitClock_ + character);
    }
    if (farEndHasData_) consider(receiveClock_ + character);
    if (!receiveFifo_.empty()) consider(static_cast<double>(now) + kHostRetryTicks);
    return next;
}

}  // namespace winsim::hw
