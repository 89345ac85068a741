// USB identity of the adapter and the hardware-id texts built from it.
//
// The texts are string-literal macros so that each side can make the wide
// form its own WCHAR needs by concatenation: L"" QTR_USB_DEVICE_ID (Windows)
// or u"" QTR_USB_DEVICE_ID (a 16-bit char type elsewhere).
#pragma once

#include <stddef.h>
#include <stdint.h>

inline constexpr uint16_t kAdapterUsbVendorId = 0x2B84;
inline constexpr uint16_t kAdapterUsbProductId = 0x0841;

// Upper-case hex, as Windows spells hardware ids.
#define QTR_USB_VID_TEXT "VID_2B84"
#define QTR_USB_PID_TEXT "PID_0841"
#define QTR_USB_HARDWARE_ID QTR_USB_VID_TEXT "&" QTR_USB_PID_TEXT
#define QTR_USB_DEVICE_ID "USB\\" QTR_USB_HARDWARE_ID

// Interface (function) suffixes of the composite device: MI_00 is the
// adapter's own interface served by 84prusb, MI_01..MI_04 are the four ports.
#define QTR_USB_MI_CONTROL "&MI_00"
#define QTR_USB_MI_PORT1 "&MI_01"
#define QTR_USB_MI_PORT2 "&MI_02"
#define QTR_USB_MI_PORT3 "&MI_03"
#define QTR_USB_MI_PORT4 "&MI_04"
#define QTR_USB_REVISION "&REV_0200"

inline constexpr char kAdapterVidText[] = QTR_USB_VID_TEXT;
inline constexpr char kAdapterPidText[] = QTR_USB_PID_TEXT;
inline constexpr char kAdapterHardwareId[] = QTR_USB_HARDWARE_ID;
inline constexpr char kAdapterDeviceId[] = QTR_USB_DEVICE_ID;

// USB interface numbers: 0 carries the message pipes, 1..4 are the ports.
inline constexpr uint8_t kAdapterControlInterface = 0;
inline constexpr uint8_t kAdapterFirstPortInterface = 1;

namespace usb_ids_detail {

constexpr int HexDigit(char c)
{
    return (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
}

// True when text is prefix followed by exactly four upper-case hex digits of value.
constexpr bool SpellsId(const char* text, size_t textLength, const char* prefix, uint16_t value)
{
    size_t p = 0;
    while (prefix[p] != '\0') {
        if (text[p] != prefix[p]) {
            return false;
        }
        ++p;
    }
    if (textLength != p + 4) {
        return false;
    }
    uint32_t parsed = 0;
    for (size_t i = p; i < textLength; ++i) {
        const int d = HexDigit(text[i]);
        if (d < 0) {
            return false;
        }
        parsed = parsed * 16 + static_cast<uint32_t>(d);
    }
    return parsed == value;
}

}  // namespace usb_ids_detail

// The texts are spelled by hand; keep them in step with the numbers.
static_assert(usb_ids_detail::SpellsId(kAdapterVidText, sizeof(kAdapterVidText) - 1, "VID_",
                                       kAdapterUsbVendorId),
              "VID text does not match the vendor id");
static_assert(usb_ids_detail::SpellsId(kAdapterPidText, sizeof(kAdapterPidText) - 1, "PID_",
                                       kAdapterUsbProductId),
              "PID text does not match the product id");
