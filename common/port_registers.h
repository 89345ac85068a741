// The 16550-style register image of one port, shared between the USB driver
// and the serial port driver, which addresses it by byte offset.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct PortRegisters {
    uint8_t open;  // nonzero while the port is open (port driver writes it)
    uint8_t unused1;
    uint8_t unused2;
    uint8_t lineControl;   // LCR
    uint8_t modemControl;  // MCR
    uint8_t lineStatus;    // LSR, kept by the USB driver
    uint8_t modemStatus;   // MSR, written by the USB driver
    uint8_t ctsFlow;       // 0/1, from the flow settings
    uint8_t dsrFlow;       // 0/1
    uint8_t xonXoffFlow;   // 0/1, transmit XON/XOFF
    uint8_t xonChar;
    uint8_t xoffChar;
};

inline constexpr size_t kRegOpen = 0;
inline constexpr size_t kRegLineControl = 3;
inline constexpr size_t kRegModemControl = 4;
inline constexpr size_t kRegLineStatus = 5;
inline constexpr size_t kRegModemStatus = 6;
inline constexpr size_t kRegCtsFlow = 7;
inline constexpr size_t kRegDsrFlow = 8;
inline constexpr size_t kRegXonXoffFlow = 9;
inline constexpr size_t kRegXonChar = 10;
inline constexpr size_t kRegXoffChar = 11;

static_assert(sizeof(PortRegisters) == 12, "PortRegisters layout");
static_assert(offsetof(PortRegisters, open) == kRegOpen, "PortRegisters layout");
static_assert(offsetof(PortRegisters, unused1) == 1, "PortRegisters layout");
static_assert(offsetof(PortRegisters, unused2) == 2, "PortRegisters layout");
static_assert(offsetof(PortRegisters, lineControl) == kRegLineControl, "PortRegisters layout");
static_assert(offsetof(PortRegisters, modemControl) == kRegModemControl, "PortRegisters layout");
static_assert(offsetof(PortRegisters, lineStatus) == kRegLineStatus, "PortRegisters layout");
static_assert(offsetof(PortRegisters, modemStatus) == kRegModemStatus, "PortRegisters layout");
static_assert(offsetof(PortRegisters, ctsFlow) == kRegCtsFlow, "PortRegisters layout");
static_assert(offsetof(PortRegisters, dsrFlow) == kRegDsrFlow, "PortRegisters layout");
static_assert(offsetof(PortRegisters, xonXoffFlow) == kRegXonXoffFlow, "PortRegisters layout");
static_assert(offsetof(PortRegisters, xonChar) == kRegXonChar, "PortRegisters layout");
static_assert(offsetof(PortRegisters, xoffChar) == kRegXoffChar, "PortRegisters layout");

// Line control.
inline constexpr uint8_t kLcrWordLengthMask = 0x03;  // 3 = 8 bits
inline constexpr uint8_t kLcrWordLength8 = 0x03;
inline constexpr uint8_t kLcrStopBits = 0x04;
inline constexpr uint8_t kLcrParityMask = 0x38;
inline constexpr uint8_t kLcrBreakRequest = 0x40;  // one-shot; cleared when the break is sent

// Modem control.
inline constexpr uint8_t kMcrDtr = 0x01;
inline constexpr uint8_t kMcrRts = 0x02;
inline constexpr uint8_t kMcrBreak = 0x10;

// Line status.
inline constexpr uint8_t kLsrDataReady = 0x01;
inline constexpr uint8_t kLsrParityError = 0x04;
inline constexpr uint8_t kLsrFramingError = 0x08;
inline constexpr uint8_t kLsrBreak = 0x10;
inline constexpr uint8_t kLsrTransmitEmpty = 0x60;  // both "empty" bits, set together
inline constexpr uint8_t kLsrInitial = kLsrTransmitEmpty;

// Modem status (bits 0..3, the delta bits, are never set).
inline constexpr uint8_t kMsrCts = 0x10;
inline constexpr uint8_t kMsrDsr = 0x20;
inline constexpr uint8_t kMsrRi = 0x40;
inline constexpr uint8_t kMsrDcd = 0x80;
