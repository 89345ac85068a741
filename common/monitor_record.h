// Line monitor record: a copy of one data message's payload with its port.
#pragma once

#include <stddef.h>
#include <stdint.h>

inline constexpr uint32_t kMonitorKindReceived = 4;  // payload from the adapter
inline constexpr uint32_t kMonitorKindSent = 5;      // payload to the adapter
inline constexpr uint32_t kMonitorDataSize = 512;
// data[0] is always 0, so one byte less carries payload.
inline constexpr uint32_t kMonitorPayloadMax = kMonitorDataSize - 1;

#pragma pack(push, 1)

struct MonitorRecord {
    uint32_t slot;  // ring slot it was stored in
    uint64_t time;  // UTC, 100 ns since 1601
    uint32_t reserved0;
    uint32_t comNumber;  // readers select records by it
    uint32_t kind;       // kMonitorKindReceived or kMonitorKindSent
    uint32_t reserved1;
    uint32_t reserved2;
    uint32_t overrun;  // 1 when older records were dropped before this one
    uint32_t length;   // bytes of data in use: payload + 1
    uint8_t data[kMonitorDataSize];
};

#pragma pack(pop)

static_assert(sizeof(MonitorRecord) == 552, "MonitorRecord layout");
static_assert(offsetof(MonitorRecord, slot) == 0, "MonitorRecord layout");
static_assert(offsetof(MonitorRecord, time) == 4, "MonitorRecord layout");
static_assert(offsetof(MonitorRecord, reserved0) == 12, "MonitorRecord layout");
static_assert(offsetof(MonitorRecord, comNumber) == 16, "MonitorRecord layout");
static_assert(offsetof(MonitorRecord, kind) == 20, "MonitorRecord layout");
static_assert(offsetof(MonitorRecord, reserved1) == 24, "MonitorRecord layout");
static_assert(offsetof(MonitorRecord, reserved2) == 28, "MonitorRecord layout");
static_assert(offsetof(MonitorRecord, overrun) == 32, "MonitorRecord layout");
static_assert(offsetof(MonitorRecord, length) == 36, "MonitorRecord layout");
static_assert(offsetof(MonitorRecord, data) == 40, "MonitorRecord layout");
