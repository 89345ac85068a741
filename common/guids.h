// Interface and class identifiers shared by the driver, the Assistant and the
// simulated machine.
//
// Each side builds its own GUID from the initializer macros, because the
// kernel and user-mode headers each bring their own GUID type. WireGuid has
// the same 16-byte layout for code that has no GUID type at hand.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Port services interface handed to the serial port driver by query-interface.
#define QTR_PORT_SERVICES_GUID_INIT                                                                          \
    {                                                                                                        \
        0x9261060E, 0x0C0E, 0x46E9,                                                                          \
        {                                                                                                    \
            0xA2, 0x28, 0xDB, 0xCC, 0x8B, 0x39, 0xFD, 0x72                                                   \
        }                                                                                                    \
    }

// Device interface class of the adapter's control device (\\.\QTR84PR<n>).
#define QTR_CONTROL_INTERFACE_CLASS_GUID_INIT                                                                \
    {                                                                                                        \
        0x9DBCAF4E, 0x9E39, 0x4F7F,                                                                          \
        {                                                                                                    \
            0x82, 0xD7, 0x25, 0x1D, 0x14, 0xB6, 0x8E, 0x0D                                                   \
        }                                                                                                    \
    }

// The driver's WMI data block.
#define QTR_WMI_DATA_BLOCK_GUID_INIT                                                                         \
    {                                                                                                        \
        0xBBA21300, 0x6DD3, 0x11D2,                                                                          \
        {                                                                                                    \
            0xB8, 0x44, 0x00, 0xC0, 0x4F, 0xAD, 0x51, 0x71                                                   \
        }                                                                                                    \
    }

struct WireGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

static_assert(sizeof(WireGuid) == 16, "WireGuid must match GUID");
static_assert(offsetof(WireGuid, data1) == 0, "GUID layout");
static_assert(offsetof(WireGuid, data2) == 4, "GUID layout");
static_assert(offsetof(WireGuid, data3) == 6, "GUID layout");
static_assert(offsetof(WireGuid, data4) == 8, "GUID layout");

inline constexpr WireGuid kPortServicesGuid = QTR_PORT_SERVICES_GUID_INIT;
inline constexpr WireGuid kControlInterfaceClassGuid = QTR_CONTROL_INTERFACE_CLASS_GUID_INIT;
inline constexpr WireGuid kWmiDataBlockGuid = QTR_WMI_DATA_BLOCK_GUID_INIT;

constexpr bool WireGuidEqual(const WireGuid& a, const WireGuid& b)
{
    if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) {
        return false;
    }
    for (size_t i = 0; i < sizeof(a.data4); ++i) {
        if (a.data4[i] != b.data4[i]) {
            return false;
        }
    }
    return true;
}

// Compares the 16 bytes of any GUID-shaped object (a platform GUID, or one
// taken from an IRP) with a wire identifier, without needing its type.
inline bool WireGuidMatches(const void* guid, const WireGuid& expected)
{
    const uint8_t* a = static_cast<const uint8_t*>(guid);
    const uint8_t* b = reinterpret_cast<const uint8_t*>(&expected);
    for (size_t i = 0; i < sizeof(WireGuid); ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}
