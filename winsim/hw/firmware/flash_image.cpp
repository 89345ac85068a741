#include "hw/firmware/flash_image.h"

#include <algorithm>
#include <cstring>

namespace winsim::hw {

namespace {

constexpr size_t kTagLength = sizeof(kBuildRecordTag) - 1;
constexpr ULONG kAppAreaSize = FlashMemory::kAreaEnd - kFirmwareAppAddress;

bool ReadHeader(const FlashMemory& flash, FirmwareHeader* header)
{
    const std::vector<UCHAR> bytes = flash.Read(kFirmwareHeaderAddress, sizeof(FirmwareHeader));
    if (bytes.size() != sizeof(FirmwareHeader)) return false;
    std::memcpy(header, bytes.data(), sizeof(FirmwareHeader));
    return true;
}

// Offset of the build text within image, or npos.
size_t BuildTextOffset(const std::vector<UCHAR>& image)
{
    const auto at = std::search(image.begin(), image.end(), kBuildRecordTag, kBuildRecordTag + kTagLength);
    return at == image.end() ? std::string::npos : static_cast<size_t>(at - image.begin()) + kTagLength;
}

}  // namespace

bool HeaderValidates(const FlashMemory& flash)
{
    FirmwareHeader header;
    if (!ReadHeader(flash, &header)) return false;
    if (header.magic != kFirmwareHeaderMagic || header.length == 0 || header.length % 4 != 0 ||
        header.length > kAppAreaSize) {
        return false;
    }
    const std::vector<UCHAR> image = flash.Read(kFirmwareAppAddress, header.length);
    return FirmwareImageCrc(image.data(), header.length) == header.crc;
}

std::string BuildTextInFlash(const FlashMemory& flash)
{
    FirmwareHeader header;
    if (!ReadHeader(flash, &header) || header.length > kAppAreaSize) return {};
    const std::vector<UCHAR> image = flash.Read(kFirmwareAppAddress, header.length);
    const size_t offset = BuildTextOffset(image);
    if (offset == std::string::npos) return {};
    std::string text;
    for (size_t i = offset; i < image.size() && image[i] != 0 && text.size() < kMessagePayloadMax; ++i) {
        text.push_back(static_cast<char>(image[i]));
    }
    return text;
}

FlashMemory FlashHoldingImage(const std::vector<UCHAR>& image)
{
    FlashMemory flash;
    const auto length = static_cast<ULONG>(std::min<size_t>(image.size(), kAppAreaSize));
    flash.Program(kFirmwareAppAddress, image.data(), length);
    const FirmwareHeader header = MakeFirmwareHeader(image.data(), length);
    flash.Program(kFirmwareHeaderAddress, reinterpret_cast<const UCHAR*>(&header), sizeof(header));
    return flash;
}

std::vector<UCHAR> ImageWithBuildText(std::vector<UCHAR> image, std::string_view text)
{
    const size_t offset = BuildTextOffset(image);
    if (offset == std::string::npos) return image;
    const size_t length = std::min<size_t>(text.size(), kMessagePayloadMax);
    const size_t room = image.size() - offset;
    if (room == 0) return image;
    const size_t copied = std::min(length, room - 1);
    std::memcpy(image.data() + offset, text.data(), copied);
    image[offset + copied] = 0;
    return image;
}

}  // namespace winsim::hw
