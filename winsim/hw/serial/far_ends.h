// The far ends a port's connector takes: a loopback plug, one end of a
// null-modem cable, and a scripted peer.
#pragma once

#include <deque>
#include <utility>
#include <vector>

#include "hw/serial/far_end.h"

namespace winsim::hw::serial {

class LoopbackPlug : public FarEnd {
public:
    explicit LoopbackPlug(SerialPort& port) : port_(port) {}
    void Receive(UCHAR byte, const CharacterFormat& format) override;
    void OutputsChanged(const ModemOutputs& outputs) override;

private:
    SerialPort& port_;
};

class NullModemEnd : public FarEnd {
public:
    explicit NullModemEnd(SerialPort& other) : other_(other) {}
    void Receive(UCHAR byte, const CharacterFormat& format) override;
    void OutputsChanged(const ModemOutputs& outputs) override;
    SerialPort* OtherPort() const override { return &other_; }

private:
    SerialPort& other_;
};

// A program on the far end that keeps its DTR and RTS on, sends what it is
// fed in the port's own format while the port's RTS is on, and keeps every
// character it receives. Its public calls take the serial lock.
class ScriptedPeer : public FarEnd {
public:
    explicit ScriptedPeer(SerialPort& port) : port_(port) {}

    void Feed(const std::vector<UCHAR>& bytes);
    // One character that reaches the port with a line error.
    void FeedWithError(UCHAR byte, LineError error);
    std::vector<UCHAR> Received() const;
    size_t Unsent() const;

    void Receive(UCHAR byte, const CharacterFormat& format) override;
    void OutputsChanged(const ModemOutputs& outputs) override;
    bool Transmit(UCHAR& byte, LineError& error) override;

private:
    SerialPort& port_;
    bool portRts_ = false;
    std::deque<std::pair<UCHAR, LineError>> toSend_;
    std::vector<UCHAR> received_;
};

}  // namespace winsim::hw::serial
