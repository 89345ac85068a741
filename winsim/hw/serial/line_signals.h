// What travels on a serial line: characters in a format, line errors, and
// the modem signals each end drives.
#pragma once

#include <ntdef.h>

namespace winsim::hw::serial {

// A character's frame as a UART is set up for it. Two ends that disagree on
// it do not read each other's characters cleanly.
struct CharacterFormat {
    ULONG baudRate = 9600;
    UCHAR dataBits = 8;       // 5..8
    UCHAR parity = 0;         // 16550 line-control bits 3..5, in place
    bool extraStop = false;   // 2 stop bits (1.5 with 5 data bits)

    bool HasParity() const { return (parity & 0x08) != 0; }
    // Line time of one character, start and stop bits included, in 100 ns.
    double CharacterTicks() const;
    bool operator==(const CharacterFormat&) const = default;
};

enum class LineError : UCHAR { None, Framing, Parity };

// The signals a port drives toward the far end.
struct ModemOutputs {
    bool dtr = false;
    bool rts = false;
    bool breakOn = false;
    bool operator==(const ModemOutputs&) const = default;
};

// The signals a port sees from the far end.
struct ModemInputs {
    bool cts = false;
    bool dsr = false;
    bool ri = false;
    bool dcd = false;
    bool breakOn = false;
    bool operator==(const ModemInputs&) const = default;
};

// What the other end of a cable sees: its RTS on our CTS, its DTR on our
// DSR and DCD, its break on our receiver.
ModemInputs CrossedInputs(const ModemOutputs& far);

// A receiver set for `receiver` reading a character sent as `sender`.
LineError ReceptionError(const CharacterFormat& sender, const CharacterFormat& receiver);

}  // namespace winsim::hw::serial
