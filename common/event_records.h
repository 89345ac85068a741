// Driver event log records. EventLog is also the layout of the staging area
// that producers fill and the driver drains into the log.
#pragma once

#include <stddef.h>
#include <stdint.h>

inline constexpr uint32_t kEventLogMagic = 0xDEAD0BAD;
inline constexpr uint32_t kEventLogCapacity = 500;

#pragma pack(push, 1)

struct EventEntry {
    uint32_t code;  // 0 marks a free slot; producers write it last
    uint32_t unit;
    uint32_t port;
    int32_t param0;
    int32_t param1;
    int32_t param2;
    int32_t param3;
    int32_t param4;
    int32_t param5;
    uint32_t param6;
    uint64_t time;  // 100 ns ticks
    uint32_t seq;   // producer's running number from 0
};

// What the fetch returns per entry.
struct EventRecord {
    EventEntry entry;
    uint32_t gap;  // 1 when entries were lost before this one
};

struct EventLog {
    uint32_t magic;
    uint32_t head;  // next slot written, 0..capacity-1
    uint32_t capacity;
    EventEntry entries[kEventLogCapacity];
};

#pragma pack(pop)

static_assert(sizeof(EventEntry) == 52, "EventEntry layout");
static_assert(offsetof(EventEntry, code) == 0, "EventEntry layout");
static_assert(offsetof(EventEntry, unit) == 4, "EventEntry layout");
static_assert(offsetof(EventEntry, port) == 8, "EventEntry layout");
static_assert(offsetof(EventEntry, param0) == 12, "EventEntry layout");
static_assert(offsetof(EventEntry, param1) == 16, "EventEntry layout");
static_assert(offsetof(EventEntry, param2) == 20, "EventEntry layout");
static_assert(offsetof(EventEntry, param3) == 24, "EventEntry layout");
static_assert(offsetof(EventEntry, param4) == 28, "EventEntry layout");
static_assert(offsetof(EventEntry, param5) == 32, "EventEntry layout");
static_assert(offsetof(EventEntry, param6) == 36, "EventEntry layout");
static_assert(offsetof(EventEntry, time) == 40, "EventEntry layout");
static_assert(offsetof(EventEntry, seq) == 48, "EventEntry layout");

static_assert(sizeof(EventRecord) == 56, "EventRecord layout");
static_assert(offsetof(EventRecord, entry) == 0, "EventRecord layout");
static_assert(offsetof(EventRecord, gap) == 52, "EventRecord layout");

static_assert(sizeof(EventLog) == 26012, "EventLog layout");
static_assert(offsetof(EventLog, magic) == 0, "EventLog layout");
static_assert(offsetof(EventLog, head) == 4, "EventLog layout");
static_assert(offsetof(EventLog, capacity) == 8, "EventLog layout");
static_assert(offsetof(EventLog, entries) == 12, "EventLog layout");
