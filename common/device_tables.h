// Adapter and port tables exchanged through the control device, and the
// internal loopback switch. Raw little-endian bytes on the wire, no padding.
#pragma once

#include <stddef.h>
#include <stdint.h>

inline constexpr uint32_t kAdapterSlotCount = 8;      // driver-wide AdapterTable slots
inline constexpr uint32_t kTableAdapterRecords = 10;  // records in each table (only 8 are ever filled)
inline constexpr uint32_t kPortsPerAdapter = 4;

inline constexpr int32_t kConfigUpdateFlag = 255;  // AdapterConfig.updateFlag of a changed record
inline constexpr uint8_t kModelIndexDefault = 6;   // what the driver reports in modelIndex
inline constexpr uint8_t kModelIndexRows = 7;      // rows of the port friendly-name table

#pragma pack(push, 1)

struct PortInfo {
    int32_t portIndex;  // 0..3
    int32_t comNumber;
    int32_t busy;  // 1 while the port is open
};

struct AdapterInfo {
    int32_t slot;  // AdapterTable slot, the n of \\.\QTR84PR<n>
    uint8_t reserved[101];
    int32_t present;  // 1 in every filled record
    PortInfo ports[kPortsPerAdapter];
};

struct DeviceInfoTable {
    int32_t count;  // filled records, 0..8; the rest are zero
    AdapterInfo adapters[kTableAdapterRecords];
};

struct PortConfig {
    int32_t portIndex;     // 0..3
    int32_t comNumber;     // from "PortName"
    int32_t txTiming;      // "TransmitTiming"
    int32_t rxFifo;        // "ReceiveFIFO"
    int32_t remoteWakeup;  // "RemoteWakeup"; nonzero sets the port's wake-mask bit
};

struct AdapterConfig {
    int32_t updateFlag;  // kConfigUpdateFlag marks a record to apply
    uint8_t modelIndex;  // read from the first record only (table offset 8)
    uint8_t reserved[100];
    int32_t highPower;      // "HighPower"
    int32_t bulkEndpoints;  // "BulkTransfer"
    PortConfig ports[kPortsPerAdapter];
};

struct DeviceConfigTable {
    int32_t count;  // 0..8; record k describes DeviceInfoTable record k
    AdapterConfig adapters[kTableAdapterRecords];
};

struct LoopbackRequest {
    int32_t slot;       // AdapterTable slot of the adapter
    int32_t portIndex;  // informational; loopback covers all four ports
    int32_t enable;     // nonzero on, 0 off
};

#pragma pack(pop)

static_assert(sizeof(PortInfo) == 12, "PortInfo layout");
static_assert(offsetof(PortInfo, portIndex) == 0, "PortInfo layout");
static_assert(offsetof(PortInfo, comNumber) == 4, "PortInfo layout");
static_assert(offsetof(PortInfo, busy) == 8, "PortInfo layout");

static_assert(sizeof(AdapterInfo) == 157, "AdapterInfo layout");
static_assert(offsetof(AdapterInfo, slot) == 0, "AdapterInfo layout");
static_assert(offsetof(AdapterInfo, reserved) == 4, "AdapterInfo layout");
static_assert(offsetof(AdapterInfo, present) == 105, "AdapterInfo layout");
static_assert(offsetof(AdapterInfo, ports) == 109, "AdapterInfo layout");

static_assert(sizeof(DeviceInfoTable) == 1574, "DeviceInfoTable layout");
static_assert(offsetof(DeviceInfoTable, count) == 0, "DeviceInfoTable layout");
static_assert(offsetof(DeviceInfoTable, adapters) == 4, "DeviceInfoTable layout");

static_assert(sizeof(PortConfig) == 20, "PortConfig layout");
static_assert(offsetof(PortConfig, portIndex) == 0, "PortConfig layout");
static_assert(offsetof(PortConfig, comNumber) == 4, "PortConfig layout");
static_assert(offsetof(PortConfig, txTiming) == 8, "PortConfig layout");
static_assert(offsetof(PortConfig, rxFifo) == 12, "PortConfig layout");
static_assert(offsetof(PortConfig, remoteWakeup) == 16, "PortConfig layout");

static_assert(sizeof(AdapterConfig) == 193, "AdapterConfig layout");
static_assert(offsetof(AdapterConfig, updateFlag) == 0, "AdapterConfig layout");
static_assert(offsetof(AdapterConfig, modelIndex) == 4, "AdapterConfig layout");
static_assert(offsetof(AdapterConfig, reserved) == 5, "AdapterConfig layout");
static_assert(offsetof(AdapterConfig, highPower) == 105, "AdapterConfig layout");
static_assert(offsetof(AdapterConfig, bulkEndpoints) == 109, "AdapterConfig layout");
static_assert(offsetof(AdapterConfig, ports) == 113, "AdapterConfig layout");

static_assert(sizeof(DeviceConfigTable) == 1934, "DeviceConfigTable layout");
static_assert(offsetof(DeviceConfigTable, count) == 0, "DeviceConfigTable layout");
static_assert(offsetof(DeviceConfigTable, adapters) == 4, "DeviceConfigTable layout");

// The SET request reads the model index as the byte at table offset 8.
inline constexpr size_t kModelIndexTableOffset = 8;
static_assert(offsetof(DeviceConfigTable, adapters) + offsetof(AdapterConfig, modelIndex) ==
                  kModelIndexTableOffset,
              "modelIndex of record 0 sits at table offset 8");

static_assert(sizeof(LoopbackRequest) == 12, "LoopbackRequest layout");
static_assert(offsetof(LoopbackRequest, slot) == 0, "LoopbackRequest layout");
static_assert(offsetof(LoopbackRequest, portIndex) == 4, "LoopbackRequest layout");
static_assert(offsetof(LoopbackRequest, enable) == 8, "LoopbackRequest layout");
