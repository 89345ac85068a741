// What is plugged into a port's connector. Called with the serial lock held.
#pragma once

#include "hw/serial/line_signals.h"

namespace winsim::hw::serial {

class SerialPort;

class FarEnd {
public:
    virtual ~FarEnd() = default;
    // The port finished sending a character in its format.
    virtual void Receive(UCHAR byte, const CharacterFormat& format) = 0;
    // The port's outputs changed (also called once when plugged in).
    virtual void OutputsChanged(const ModemOutputs& outputs) = 0;
    // The next character this end sends toward the port, and how it reaches
    // the port's receiver; the receiver paces the calls at its own rate.
    virtual bool Transmit(UCHAR& byte, LineError& error)
    {
        (void)byte;
        (void)error;
        return false;
    }
    // The other port of a cable, which loses its far end with this one.
    virtual SerialPort* OtherPort() const { return nullptr; }
};

}  // namespace winsim::hw::serial
