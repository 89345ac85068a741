// One serial port as the application firmware runs it: the credits it
// grants, its transmit FIFO drained onto the line at the configured rate, its
// receive FIFO reported to the host in data messages, the modem lines the
// host sets and the status it reports. Everything here runs under the
// serial lock.
#pragma once

#include <deque>
#include <utility>
#include <vector>

#include "common/message_wire.h"
#include "hw/serial/serial_port.h"
#include "sched/scheduler.h"

namespace winsim::hw {

// What a port needs from the firmware around it.
class PortHost {
public:
    virtual ~PortHost() = default;
    virtual void SendToHost(std::vector<UCHAR> message) = 0;
    // The IN endpoint can take another data message.
    virtual bool HostHasRoom() const = 0;
    // Something needs a service pass sooner than planned.
    virtual void WakeService() = 0;
    // Characters to move: a pass within the service period will do.
    virtual void ServiceSoon() = 0;
};

class ApplicationPort : public serial::UartSink {
public:
    ApplicationPort(UCHAR index, PortHost& host) : index_(index), host_(host), line_(*this) {}

    serial::SerialPort& Line() { return line_; }

    // Messages from the host.
    void InitializeLocked();
    void ConfigureLocked(const ConfigurationPayload& payload);
    void ModemControlLocked(UCHAR mask, UCHAR values);
    // Data for the line, or with internalLoopback for the port's own receiver.
    void DataLocked(const UCHAR* data, ULONG length, bool internalLoopback);

    // Moves every character due by now and reports to the host. Returns when
    // the port next needs a pass, or a negative value if it is idle.
    double ServiceLocked(Ticks now);

    // UartSink.
    void CharacterArrived(UCHAR byte, serial::LineError error) override;
    void InputsChanged() override;
    void FarEndHasData() override;

    // What went wrong, for tests: data messages the FIFO had no room for,
    // characters the receive FIFO had no room for.
    ULONG RefusedMessages() const { return refusedMessages_; }
    ULONG Overruns() const { return overruns_; }

private:
    struct Queued {
        UCHAR byte;
        bool internalLoopback;
    };

    bool TransmitterHeld() const;
    void TransmitDue(Ticks now);
    void ReceiveDue(Ticks now);
    void ReportToHost();
    void UpdateOutputs();
    void ClearFifos();
    std::vector<UCHAR> StatusMessage();
    double Now() const { return static_cast<double>(Scheduler::Instance().Now()); }

    const UCHAR index_;
    PortHost& host_;
    serial::SerialPort line_;

    bool initialized_ = false;
    bool open_ = false;
    bool ctsFlow_ = false;
    bool dsrFlow_ = false;
    bool xonXoff_ = false;
    UCHAR xonChar_ = 0x11;
    UCHAR xoffChar_ = 0x13;
    bool hostDtr_ = false;
    bool hostRts_ = false;

    std::deque<Queued> transmitFifo_;
    // Bytes still to send of each accepted data message, oldest first; the
    // credit of a message comes back when its count reaches 0.
    std::deque<ULONG> messagesInFifo_;
    double transmitClock_ = 0;  // when the transmitter is free
    bool xoffReceived_ = false;
    double breakUntil_ = -1;    // while the host's break is on the line

    std::deque<std::pair<UCHAR, serial::LineError>> receiveFifo_;
    bool holdingFarEnd_ = false;
    double receiveClock_ = 0;  // when the far end may start its next character
    bool farEndHasData_ = false;

    ULONG creditsToReturn_ = 0;
    bool statusDue_ = false;
    bool breakSeen_ = false;

    ULONG refusedMessages_ = 0;
    ULONG overruns_ = 0;
};

}  // namespace winsim::hw
