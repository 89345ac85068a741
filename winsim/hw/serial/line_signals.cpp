#include "hw/serial/line_signals.h"

#include "sched/scheduler.h"

namespace winsim::hw::serial {

namespace {

// Below this a line would take seconds per character; the UART's divisor
// cannot go slower.
constexpr ULONG kSlowestBaudRate = 50;

}  // namespace

double CharacterFormat::CharacterTicks() const
{
    // In half bits, so that 1.5 stop bits count exactly.
    ULONG halfBits = 2 * (1 + dataBits + (HasParity() ? 1 : 0));
    halfBits += extraStop ? (dataBits == 5 ? 3 : 4) : 2;
    const ULONG rate = baudRate < kSlowestBaudRate ? kSlowestBaudRate : baudRate;
    return static_cast<double>(halfBits) * static_cast<double>(kTicksPerSecond) / (2.0 * rate);
}

ModemInputs CrossedInputs(const ModemOutputs& far)
{
    ModemInputs inputs;
    inputs.cts = far.rts;
    inputs.dsr = far.dtr;
    inputs.dcd = far.dtr;
    inputs.breakOn = far.breakOn;
    return inputs;
}

LineError ReceptionError(const CharacterFormat& sender, const CharacterFormat& receiver)
{
    if (sender.baudRate != receiver.baudRate || sender.dataBits != receiver.dataBits ||
        sender.extraStop != receiver.extraStop || sender.HasParity() != receiver.HasParity()) {
        // The stop bit lands where the receiver does not expect it.
        return LineError::Framing;
    }
    if (sender.parity != receiver.parity) return LineError::Parity;
    return LineError::None;
}

}  // namespace winsim::hw::serial
