// What the flash holds: the header check the boot loader runs before it
// starts the application, the application's build text, and flash contents
// for adapters built by tests and the bench.
#pragma once

#include <ntdef.h>

#include <string>
#include <string_view>
#include <vector>

#include "hw/firmware/flash_memory.h"

namespace winsim::hw {

// The image's build record: this tag, then its build text and a zero byte.
inline constexpr char kBuildRecordTag[] = "BLDT";

// The header at kFirmwareHeaderAddress has the magic, a length of whole
// words that fits the area above it, and the CRC of that many bytes from
// kFirmwareAppAddress.
bool HeaderValidates(const FlashMemory& flash);

// The build text of the application the header describes (at most one
// reply long); empty when the image has no build record.
std::string BuildTextInFlash(const FlashMemory& flash);

// Flash holding image at kFirmwareAppAddress with a header that validates it.
FlashMemory FlashHoldingImage(const std::vector<UCHAR>& image);

// image with its build text replaced; a longer text runs over what follows
// the record (nothing runs it). text is cut to one reply's length.
std::vector<UCHAR> ImageWithBuildText(std::vector<UCHAR> image, std::string_view text);

}  // namespace winsim::hw
