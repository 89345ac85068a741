// Firmware update: the flash map of the adapter's microcontroller, the image
// the driver carries, the validation header the boot loader checks, and the
// payloads of the erase and write commands (codes in adapter_messages.h).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/message_wire.h"

inline constexpr uint32_t kFlashPageSize = 2048;
inline constexpr uint32_t kFirmwareHeaderAddress = 0x08020000;  // the page in front of the application
inline constexpr uint32_t kFirmwareAppAddress = 0x08020800;
inline constexpr uint32_t kFirmwareHeaderMagic = 0x12349876;
inline constexpr uint32_t kFirmwareWritePiece = 52;  // data bytes per write message

inline constexpr uint32_t kFirmwareImageLength = 22764;
inline constexpr uint32_t kFirmwareImageWords = kFirmwareImageLength / 4;
inline constexpr char kFirmwareImageVersionText[] = "Oct 14 2013 11:10:11 Ver 1.0.772";
inline constexpr uint32_t kFirmwareImageBuildNumber = 772;

// A boot loader names itself with this in its version text.
inline constexpr char kBootLoaderMarker[] = "Boot";

static_assert(kFirmwareImageLength % 4 == 0, "the image is whole words");
static_assert(kFirmwareImageWords == 5691, "image word count");
static_assert(kFirmwareHeaderAddress + kFlashPageSize == kFirmwareAppAddress,
              "header page sits before the image");
static_assert(sizeof(kFirmwareImageVersionText) <= kMessagePayloadMax, "version text fits one reply");

// Messages a full download sends.
inline constexpr uint32_t kFirmwareErasePages = (kFirmwareImageLength + kFlashPageSize - 1) / kFlashPageSize;
inline constexpr uint32_t kFirmwareWritePieces =
    (kFirmwareImageLength + kFirmwareWritePiece - 1) / kFirmwareWritePiece;
static_assert(kFirmwareErasePages == 12 && kFirmwareWritePieces == 438, "download message counts");

#pragma pack(push, 1)

// Written at kFirmwareHeaderAddress; the boot loader starts the application
// only when it validates.
struct FirmwareHeader {
    uint32_t magic;   // kFirmwareHeaderMagic
    uint32_t length;  // image bytes
    uint32_t crc;     // FirmwareImageCrc of the image
};

// kMsgFlashErase: erase the pages covering [address, address + length).
struct FlashErasePayload {
    uint32_t address;
    uint32_t length;
};

// kMsgFlashWrite for an image piece: always sent as the full 62 bytes, of
// which 8 + count are significant.
struct FlashWritePayload {
    uint32_t address;
    uint32_t count;
    uint8_t data[kFirmwareWritePiece];
    uint8_t tail[2];  // not significant; the driver sends zeros
};

// kMsgFlashWrite for the validation header: a 20-byte payload.
struct FlashHeaderWritePayload {
    uint32_t address;  // kFirmwareHeaderAddress
    uint32_t count;    // sizeof(FirmwareHeader)
    FirmwareHeader header;
};

#pragma pack(pop)

static_assert(sizeof(FirmwareHeader) == 12, "FirmwareHeader layout");
static_assert(offsetof(FirmwareHeader, magic) == 0, "FirmwareHeader layout");
static_assert(offsetof(FirmwareHeader, length) == 4, "FirmwareHeader layout");
static_assert(offsetof(FirmwareHeader, crc) == 8, "FirmwareHeader layout");

static_assert(sizeof(FlashErasePayload) == 8, "FlashErasePayload layout");
static_assert(offsetof(FlashErasePayload, address) == 0, "FlashErasePayload layout");
static_assert(offsetof(FlashErasePayload, length) == 4, "FlashErasePayload layout");

static_assert(sizeof(FlashWritePayload) == kMessagePayloadMax, "FlashWritePayload layout");
static_assert(offsetof(FlashWritePayload, address) == 0, "FlashWritePayload layout");
static_assert(offsetof(FlashWritePayload, count) == 4, "FlashWritePayload layout");
static_assert(offsetof(FlashWritePayload, data) == 8, "FlashWritePayload layout");
static_assert(offsetof(FlashWritePayload, tail) == 60, "FlashWritePayload layout");

static_assert(sizeof(FlashHeaderWritePayload) == 20, "FlashHeaderWritePayload layout");
static_assert(offsetof(FlashHeaderWritePayload, address) == 0, "FlashHeaderWritePayload layout");
static_assert(offsetof(FlashHeaderWritePayload, count) == 4, "FlashHeaderWritePayload layout");
static_assert(offsetof(FlashHeaderWritePayload, header) == 8, "FlashHeaderWritePayload layout");

// Image CRC as the microcontroller's CRC unit computes it: CRC-32, polynomial
// 0x04C11DB7, start 0xFFFFFFFF, MSB first over each little-endian word, no
// reflection, no final inversion. Four bits per step keeps the table tiny.
inline constexpr uint32_t kFirmwareCrcPolynomial = 0x04C11DB7;
inline constexpr uint32_t kFirmwareCrcInitial = 0xFFFFFFFF;
inline constexpr uint32_t kFirmwareCrcNibbleTable[16] = {
    0x00000000, 0x04C11DB7, 0x09823B6E, 0x0D4326D9, 0x130476DC, 0x17C56B6B, 0x1A864DB2, 0x1E475005,
    0x2608EDB8, 0x22C9F00F, 0x2F8AD6D6, 0x2B4BCB61, 0x350C9B64, 0x31CD86D3, 0x3C8EA00A, 0x384FBDBD,
};

constexpr uint32_t FirmwareCrcNibbleEntry(uint32_t nibble)
{
    uint32_t crc = nibble << 28;
    for (int bit = 0; bit < 4; ++bit) {
        crc = (crc & 0x80000000u) ? (crc << 1) ^ kFirmwareCrcPolynomial : crc << 1;
    }
    return crc;
}

namespace firmware_protocol_detail {
constexpr bool NibbleTableIsRight()
{
    for (uint32_t i = 0; i < 16; ++i) {
        if (kFirmwareCrcNibbleTable[i] != FirmwareCrcNibbleEntry(i)) {
            return false;
        }
    }
    return true;
}
}  // namespace firmware_protocol_detail
static_assert(firmware_protocol_detail::NibbleTableIsRight(), "CRC nibble table");

constexpr uint32_t FirmwareCrcWord(uint32_t crc, uint32_t word)
{
    crc ^= word;
    for (int step = 0; step < 8; ++step) {
        crc = kFirmwareCrcNibbleTable[crc >> 28] ^ (crc << 4);
    }
    return crc;
}

// CRC over the whole words of image; a trailing partial word is not covered
// (the image is always whole words).
constexpr uint32_t FirmwareImageCrc(const uint8_t* image, uint32_t length)
{
    uint32_t crc = kFirmwareCrcInitial;
    for (uint32_t i = 0; i + 4 <= length; i += 4) {
        const uint32_t word = static_cast<uint32_t>(image[i]) | static_cast<uint32_t>(image[i + 1]) << 8 |
                              static_cast<uint32_t>(image[i + 2]) << 16 |
                              static_cast<uint32_t>(image[i + 3]) << 24;
        crc = FirmwareCrcWord(crc, word);
    }
    return crc;
}

static_assert(FirmwareCrcWord(kFirmwareCrcInitial, 0) == 0xC704DD7B, "CRC of one zero word");

// The validation header for an image, as the driver writes it and the boot
// loader expects it.
constexpr FirmwareHeader MakeFirmwareHeader(const uint8_t* image, uint32_t length)
{
    return FirmwareHeader{kFirmwareHeaderMagic, length, FirmwareImageCrc(image, length)};
}

// The build number of a version text is the decimal number after its last
// '.'. found is false when the text has no '.'; digits missing after it give
// 0 (which always asks for an update); an absurdly long number saturates.
struct FirmwareBuild {
    bool found;
    uint32_t number;
};

// text need not be terminated within maxLength.
constexpr FirmwareBuild ParseFirmwareBuild(const char* text, size_t maxLength)
{
    size_t length = 0;
    while (length < maxLength && text[length] != '\0') {
        ++length;
    }
    size_t dot = length;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '.') {
            dot = i;
        }
    }
    if (dot == length) {
        return FirmwareBuild{false, 0};
    }
    uint32_t number = 0;
    for (size_t i = dot + 1; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
        const uint32_t digit = static_cast<uint32_t>(text[i] - '0');
        number = (number > (0xFFFFFFFFu - digit) / 10) ? 0xFFFFFFFFu : number * 10 + digit;
    }
    return FirmwareBuild{true, number};
}

static_assert(ParseFirmwareBuild(kFirmwareImageVersionText, sizeof(kFirmwareImageVersionText)).number ==
                  kFirmwareImageBuildNumber,
              "build number and version text disagree");
