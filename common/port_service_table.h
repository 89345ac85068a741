// The function table the USB driver hands to the serial port driver through
// a Plug and Play query-interface request. It begins like the platform's
// INTERFACE header (Size, Version, Context, Reference, Dereference), so the
// driver can fill it through the request's INTERFACE pointer.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/guids.h"
#include "common/message_wire.h"
#include "common/port_registers.h"

static_assert(sizeof(void*) == 8, "the table layout assumes 64-bit pointers");

inline constexpr uint16_t kPortServicesVersion = 6;
inline constexpr uint16_t kPortServicesSize = 104;

// Events passed to the notify callback.
inline constexpr uint32_t kPortEventTransmit = 1;  // credits returned or status changed
inline constexpr uint32_t kPortEventReceive = 2;   // received data was stored

// writeData takes at most one data message's worth.
inline constexpr uint32_t kPortWriteMax = kMessagePayloadMax;

// Given to registerPort. Bytes 0..7 are the port driver's own.
struct PortRegistration {
    uint8_t unused0[8];
    void* deviceObject;  // the port driver's DEVICE_OBJECT for this port
    uint32_t comNumber;
    uint32_t unused20;
};

static_assert(sizeof(PortRegistration) == 24, "PortRegistration layout");
static_assert(offsetof(PortRegistration, unused0) == 0, "PortRegistration layout");
static_assert(offsetof(PortRegistration, deviceObject) == 8, "PortRegistration layout");
static_assert(offsetof(PortRegistration, comNumber) == 16, "PortRegistration layout");
static_assert(offsetof(PortRegistration, unused20) == 20, "PortRegistration layout");

// Given to setFlowControl. Flag values are the platform's serial ones.
struct FlowSettings {
    uint32_t unused0;
    uint32_t handshake;    // kHandshakeCtsOut, kHandshakeDsrOut
    uint32_t flowReplace;  // kFlowReplaceAutoTransmit
    uint8_t xonChar;
    uint8_t xoffChar;
    uint8_t unused14[2];
};

inline constexpr uint32_t kHandshakeCtsOut = 0x08;          // SERIAL_CTS_HANDSHAKE
inline constexpr uint32_t kHandshakeDsrOut = 0x10;          // SERIAL_DSR_HANDSHAKE
inline constexpr uint32_t kFlowReplaceAutoTransmit = 0x01;  // SERIAL_AUTO_TRANSMIT

static_assert(sizeof(FlowSettings) == 16, "FlowSettings layout");
static_assert(offsetof(FlowSettings, unused0) == 0, "FlowSettings layout");
static_assert(offsetof(FlowSettings, handshake) == 4, "FlowSettings layout");
static_assert(offsetof(FlowSettings, flowReplace) == 8, "FlowSettings layout");
static_assert(offsetof(FlowSettings, xonChar) == 12, "FlowSettings layout");
static_assert(offsetof(FlowSettings, xoffChar) == 13, "FlowSettings layout");
static_assert(offsetof(FlowSettings, unused14) == 14, "FlowSettings layout");

// The context is the adapter's FDO. Port functions return a one-byte
// boolean (nonzero = done); a port index of 4 or more returns 0. All may be
// called at DISPATCH_LEVEL and none blocks.
typedef void (*PortNotifyCallback)(uint32_t event, void* callbackContext);

typedef void (*PortServiceReference)(void* context);
typedef void (*PortServiceDereference)(void* context);
typedef uint8_t (*PortServiceWriteData)(void* context, uint32_t port, const uint8_t* data, uint32_t length);
// length: in, room in buffer; out, bytes delivered.
typedef uint8_t (*PortServiceReadData)(void* context, uint32_t port, uint8_t* buffer, uint32_t* length);
typedef uint8_t (*PortServiceApplyConfig)(void* context, uint32_t port);
typedef uint8_t (*PortServiceGetRegisters)(void* context, uint32_t port, PortRegisters** registers);
typedef uint8_t (*PortServiceSetNotify)(void* context, uint32_t port, PortNotifyCallback callback,
                                        void* callbackContext);
typedef uint8_t (*PortServiceMapPort)(void* context, uint32_t port, uint32_t* mappedPort);
typedef uint8_t (*PortServiceRegisterPort)(void* context, uint32_t port,
                                           const PortRegistration* registration);
typedef uint8_t (*PortServiceSetBaudRate)(void* context, uint32_t port, uint32_t baudRate, uint8_t apply);
typedef uint8_t (*PortServiceSetFlowControl)(void* context, uint32_t port, const FlowSettings* settings);

struct PortServicesInterface {
    uint16_t size;     // set by the caller
    uint16_t version;  // set by the caller: kPortServicesVersion
    uint32_t unused4;  // INTERFACE alignment gap
    void* context;
    PortServiceReference reference;
    PortServiceDereference dereference;
    PortServiceWriteData writeData;
    PortServiceReadData readData;
    PortServiceApplyConfig applyConfig;
    PortServiceGetRegisters getRegisters;
    PortServiceSetNotify setNotify;
    PortServiceMapPort mapPort;
    PortServiceRegisterPort registerPort;
    PortServiceSetBaudRate setBaudRate;
    PortServiceSetFlowControl setFlowControl;
};

static_assert(sizeof(PortServicesInterface) == kPortServicesSize, "PortServicesInterface layout");
static_assert(offsetof(PortServicesInterface, size) == 0, "PortServicesInterface layout");
static_assert(offsetof(PortServicesInterface, version) == 2, "PortServicesInterface layout");
static_assert(offsetof(PortServicesInterface, unused4) == 4, "PortServicesInterface layout");
static_assert(offsetof(PortServicesInterface, context) == 8, "PortServicesInterface layout");
static_assert(offsetof(PortServicesInterface, reference) == 16, "PortServicesInterface layout");
static_assert(offsetof(PortServicesInterface, dereference) == 24, "PortServicesInterface layout");
static_assert(offsetof(PortServicesInterface, writeData) == 32, "PortServicesInterface layout");
static_assert(offsetof(PortServicesInterface, readData) == 40, "PortServicesInterface layout");
static_assert(offsetof(PortServicesInterface, applyConfig) == 48, "PortServicesInterface layout");
static_assert(offsetof(PortServicesInterface, getRegisters) == 56, "PortServicesInterface layout");
static_assert(offsetof(PortServicesInterface, setNotify) == 64, "PortServicesInterface layout");
static_assert(offsetof(PortServicesInterface, mapPort) == 72, "PortServicesInterface layout");
static_assert(offsetof(PortServicesInterface, registerPort) == 80, "PortServicesInterface layout");
static_assert(offsetof(PortServicesInterface, setBaudRate) == 88, "PortServicesInterface layout");
static_assert(offsetof(PortServicesInterface, setFlowControl) == 96, "PortServicesInterface layout");
