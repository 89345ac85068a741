// One of the adapter's UARTs as its serial line sees it: the character
// format it is set to, the modem signals it drives and sees, and what is
// plugged into its connector. The firmware drives the UART side; tests and
// the bench plug far ends in.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hw/serial/far_end.h"
#include "hw/serial/line_signals.h"

namespace winsim::hw::serial {

class ScriptedPeer;

// The firmware's side of a UART: what arrives from the line.
class UartSink {
public:
    virtual ~UartSink() = default;
    virtual void CharacterArrived(UCHAR byte, LineError error) = 0;
    virtual void InputsChanged() = 0;
    // The far end has characters to send (a scripted peer was fed).
    virtual void FarEndHasData() = 0;
};

class SerialPort {
public:
    explicit SerialPort(UartSink& sink) : sink_(sink) {}
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // --- The connector (takes the serial lock) ------------------------------
    // Nothing plugged in: every input off, what is sent is lost.
    void PlugNothing();
    // TX to RX, RTS to CTS, DTR to DSR and DCD.
    void PlugLoopback();
    // A null-modem cable between this port and other (possibly of another
    // adapter); whatever either had plugged in is pulled first.
    void PlugNullModem(SerialPort& other);
    // A program at the far end: it sends what it is fed and keeps what it
    // receives. Valid until something else is plugged in.
    ScriptedPeer& PlugPeer();

    // --- The UART side (caller holds the serial lock) -----------------------
    const CharacterFormat& FormatLocked() const { return format_; }
    void SetFormatLocked(const CharacterFormat& format)
    {
        format_ = format;
        characterTicks_ = format.CharacterTicks();
    }
    // The format's character time, kept with it: the firmware asks for it
    // at every character.
    double CharacterTicksLocked() const { return characterTicks_; }
    const ModemInputs& InputsLocked() const { return inputs_; }
    const ModemOutputs& OutputsLocked() const { return outputs_; }
    // Drives the outputs; the far end sees a change at once.
    void SetOutputsLocked(const ModemOutputs& outputs);
    // A character the UART finished sending on the line.
    void SendLocked(UCHAR byte);
    // The next character the far end sends, if it has one now.
    bool TakeFromFarEndLocked(UCHAR& byte, LineError& error);

    // --- The far end's side (caller holds the serial lock) ------------------
    void DeliverLocked(UCHAR byte, const CharacterFormat& sentAs);
    void DeliverLocked(UCHAR byte, LineError error) { sink_.CharacterArrived(byte, error); }
    void DriveInputsLocked(const ModemInputs& inputs);
    void FarEndHasDataLocked() { sink_.FarEndHasData(); }

private:
    friend class NullModemEnd;
    void PlugLocked(std::unique_ptr<FarEnd> farEnd);
    // Pulls this port's far end, and the other end of a null-modem cable.
    void UnplugLocked(bool tellOwner = true);

    UartSink& sink_;
    CharacterFormat format_;
    double characterTicks_ = CharacterFormat{}.CharacterTicks();
    ModemInputs inputs_;
    ModemOutputs outputs_;
    std::unique_ptr<FarEnd> farEnd_;
};

}  // namespace winsim::hw::serial
