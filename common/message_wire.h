// The short-message protocol on the adapter's two message pipes, as seen by
// both ends: the driver and the adapter's application firmware.
#pragma once

#include <stddef.h>
#include <stdint.h>

inline constexpr uint32_t kMessageMaxLength = 64;  // one transfer, one packet
inline constexpr uint32_t kMessageHeaderLength = 2;
inline constexpr uint32_t kMessagePayloadMax = kMessageMaxLength - kMessageHeaderLength;

#pragma pack(push, 1)

struct MessageFrame {
    uint8_t code;     // base code | port for codes below kMessagePortCodeLimit
    uint8_t credits;  // inbound: credits returned/granted; outbound: reserved
    uint8_t payload[kMessagePayloadMax];
};

#pragma pack(pop)

static_assert(sizeof(MessageFrame) == 64, "MessageFrame layout");
static_assert(offsetof(MessageFrame, code) == 0, "MessageFrame layout");
static_assert(offsetof(MessageFrame, credits) == 1, "MessageFrame layout");
static_assert(offsetof(MessageFrame, payload) == 2, "MessageFrame layout");

// Codes below this carry the port index in their low two bits.
inline constexpr uint8_t kMessagePortCodeLimit = 0x40;
inline constexpr uint8_t kMessagePortMask = 0x03;
inline constexpr uint32_t kMessagePortCount = 4;

// Host to adapter, port-addressed (base codes).
inline constexpr uint8_t kMsgTransmitData = 0x00;  // 1..62 data bytes, costs one credit
inline constexpr uint8_t kMsgConfigure = 0x08;     // ConfigurationPayload
inline constexpr uint8_t kMsgPortInit = 0x0C;      // no payload; answered with credits
inline constexpr uint8_t kMsgModemControl = 0x30;  // ModemControlPayload

// Host to adapter, no port bits.
inline constexpr uint8_t kMsgLoopbackData = 0x54;  // replaces kMsgTransmitData while loopback is on

// Adapter to host, port-addressed (base codes). Byte 1 returns credits.
inline constexpr uint8_t kMsgReceiveData = 0x10;
inline constexpr uint8_t kMsgStatus = 0x14;               // StatusMessage
inline constexpr uint8_t kMsgSetCredits = 0x18;           // byte 1 is the new count, no payload
inline constexpr uint8_t kMsgReceiveFramingError = 0x34;  // as kMsgReceiveData, LSR bit 0x08
inline constexpr uint8_t kMsgReceiveParityError = 0x38;   // as kMsgReceiveData, LSR bit 0x04

// Adapter to host, replies to the firmware commands.
inline constexpr uint8_t kMsgVersionText = 0x40;  // payload is the version text
inline constexpr uint8_t kMsgAck = 0x41;
inline constexpr uint8_t kMsgAckAlt = 0x42;
inline constexpr uint8_t kMsgAccepted = 0x49;  // no action

// Host to adapter, firmware commands (always sent on port index 0).
// kMsgEnterBootLoader carries one byte, kEnterBootLoaderValue, and is
// followed by kMsgRestart.
inline constexpr uint8_t kMsgGetVersion = 0x50;       // 'P'
inline constexpr uint8_t kMsgFlashErase = 0x51;       // 'Q', FlashErasePayload
inline constexpr uint8_t kMsgFlashWrite = 0x52;       // 'R', FlashWritePayload / FlashHeaderWritePayload
inline constexpr uint8_t kMsgHeaderWritten = 0x59;    // 'Y'
inline constexpr uint8_t kMsgRestart = 0x5A;          // 'Z'
inline constexpr uint8_t kMsgEnterBootLoader = 0x5B;  // '['

inline constexpr uint8_t kEnterBootLoaderValue = 1;

constexpr bool IsPortAddressedCode(uint8_t code)
{
    return code < kMessagePortCodeLimit;
}

// The code byte to send: port bits only on port-addressed codes with a valid port.
constexpr uint8_t ComposeMessageCode(uint8_t baseCode, uint32_t port)
{
    return (IsPortAddressedCode(baseCode) && port < kMessagePortCount) ? static_cast<uint8_t>(baseCode | port)
                                                                       : baseCode;
}

constexpr uint8_t MessageBaseCode(uint8_t code)
{
    return IsPortAddressedCode(code) ? static_cast<uint8_t>(code & ~kMessagePortMask) : code;
}

constexpr uint32_t MessagePort(uint8_t code)
{
    return IsPortAddressedCode(code) ? static_cast<uint32_t>(code & kMessagePortMask) : 0u;
}

// Base codes each end accepts; anything else is ignored by the receiver.
constexpr bool IsAdapterToHostCode(uint8_t baseCode)
{
    switch (baseCode) {
    case kMsgReceiveData:
    case kMsgStatus:
    case kMsgSetCredits:
    case kMsgReceiveFramingError:
    case kMsgReceiveParityError:
    case kMsgVersionText:
    case kMsgAck:
    case kMsgAckAlt:
    case kMsgAccepted:
        return true;
    default:
        return false;
    }
}

constexpr bool IsHostToAdapterCode(uint8_t baseCode)
{
    switch (baseCode) {
    case kMsgTransmitData:
    case kMsgConfigure:
    case kMsgPortInit:
    case kMsgModemControl:
    case kMsgLoopbackData:
    case kMsgGetVersion:
    case kMsgFlashErase:
    case kMsgFlashWrite:
    case kMsgHeaderWritten:
    case kMsgRestart:
    case kMsgEnterBootLoader:
        return true;
    default:
        return false;
    }
}

#pragma pack(push, 1)

// Line settings, payload of kMsgConfigure + port. Bit fields of the line
// control register stay in place.
struct ConfigurationPayload {
    uint8_t portIndex;
    uint8_t parity;      // LCR & 0x38
    uint8_t stopBits;    // LCR & 0x04
    uint8_t wordLength;  // LCR & 0x03
    uint32_t baudRate;
    uint8_t ctsFlow;      // register 7
    uint8_t dsrFlow;      // register 8
    uint8_t xonXoffFlow;  // register 9
    uint8_t xonChar;      // register 10
    uint8_t xoffChar;     // register 11
    uint8_t receiveFifo;
    uint8_t zero[6];
    uint8_t open;  // register 0
};

// Modem lines, payload of kMsgModemControl + port.
struct ModemControlPayload {
    uint8_t mask;    // lines being set
    uint8_t values;  // kMcrDtr, kMcrRts, kMcrBreak bits
};

// The whole status message kMsgStatus + port; a nonzero byte means the line
// is active. Bytes 2 and 7..13 belong to the firmware.
struct StatusMessage {
    uint8_t code;
    uint8_t credits;
    uint8_t unused2;
    uint8_t cts;
    uint8_t dcd;
    uint8_t dsr;
    uint8_t ri;
    uint8_t unused7[7];
    uint8_t breakReceived;
};

#pragma pack(pop)

static_assert(sizeof(ConfigurationPayload) == 21, "ConfigurationPayload layout");
static_assert(offsetof(ConfigurationPayload, portIndex) == 0, "ConfigurationPayload layout");
static_assert(offsetof(ConfigurationPayload, parity) == 1, "ConfigurationPayload layout");
static_assert(offsetof(ConfigurationPayload, stopBits) == 2, "ConfigurationPayload layout");
static_assert(offsetof(ConfigurationPayload, wordLength) == 3, "ConfigurationPayload layout");
static_assert(offsetof(ConfigurationPayload, baudRate) == 4, "ConfigurationPayload layout");
static_assert(offsetof(ConfigurationPayload, ctsFlow) == 8, "ConfigurationPayload layout");
static_assert(offsetof(ConfigurationPayload, dsrFlow) == 9, "ConfigurationPayload layout");
static_assert(offsetof(ConfigurationPayload, xonXoffFlow) == 10, "ConfigurationPayload layout");
static_assert(offsetof(ConfigurationPayload, xonChar) == 11, "ConfigurationPayload layout");
static_assert(offsetof(ConfigurationPayload, xoffChar) == 12, "ConfigurationPayload layout");
static_assert(offsetof(ConfigurationPayload, receiveFifo) == 13, "ConfigurationPayload layout");
static_assert(offsetof(ConfigurationPayload, zero) == 14, "ConfigurationPayload layout");
static_assert(offsetof(ConfigurationPayload, open) == 20, "ConfigurationPayload layout");

static_assert(sizeof(ModemControlPayload) == 2, "ModemControlPayload layout");
static_assert(offsetof(ModemControlPayload, mask) == 0, "ModemControlPayload layout");
static_assert(offsetof(ModemControlPayload, values) == 1, "ModemControlPayload layout");

inline constexpr uint8_t kModemControlMaskLines = 0x03;      // DTR and RTS
inline constexpr uint8_t kModemControlMaskWithBreak = 0x13;  // DTR, RTS and break

// Offsets within the whole status message.
inline constexpr size_t kStatusCtsOffset = 3;
inline constexpr size_t kStatusDcdOffset = 4;
inline constexpr size_t kStatusDsrOffset = 5;
inline constexpr size_t kStatusRiOffset = 6;
inline constexpr size_t kStatusBreakOffset = 14;
inline constexpr uint32_t kStatusMessageLength = sizeof(StatusMessage);

static_assert(sizeof(StatusMessage) == 15, "StatusMessage layout");
static_assert(offsetof(StatusMessage, code) == 0, "StatusMessage layout");
static_assert(offsetof(StatusMessage, credits) == 1, "StatusMessage layout");
static_assert(offsetof(StatusMessage, unused2) == 2, "StatusMessage layout");
static_assert(offsetof(StatusMessage, cts) == kStatusCtsOffset, "StatusMessage layout");
static_assert(offsetof(StatusMessage, dcd) == kStatusDcdOffset, "StatusMessage layout");
static_assert(offsetof(StatusMessage, dsr) == kStatusDsrOffset, "StatusMessage layout");
static_assert(offsetof(StatusMessage, ri) == kStatusRiOffset, "StatusMessage layout");
static_assert(offsetof(StatusMessage, unused7) == 7, "StatusMessage layout");
static_assert(offsetof(StatusMessage, breakReceived) == kStatusBreakOffset, "StatusMessage layout");
