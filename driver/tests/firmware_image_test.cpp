// The image the driver carries: what the adapter's microcontroller needs of
// it, and the checksum its boot loader verifies.
#include <gtest/gtest.h>

#include <cstring>

#include "firmware/firmware_image.h"

namespace {

uint32_t Word(size_t offset)
{
    uint32_t value;
    std::memcpy(&value, FirmwareImage + offset, sizeof(value));
    return value;
}

// The STM32 CRC unit one bit at a time, as a reference independent of the
// driver's table-driven version.
uint32_t BitwiseCrc(const uint8_t* data, size_t length)
{
    uint32_t crc = 0xFFFFFFFF;
    for (size_t offset = 0; offset < length; offset += 4) {
        uint32_t word;
        std::memcpy(&word, data + offset, sizeof(word));
        crc ^= word;
        for (int bit = 0; bit < 32; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

TEST(FirmwareImage, StartsWithAVectorTableForItsLinkAddress)
{
    const uint32_t stack = Word(0);
    EXPECT_GE(stack, 0x20000000u);
    EXPECT_LE(stack, 0x20010000u);
    EXPECT_EQ(stack % 8, 0u);
    for (size_t vector = 1; vector < 16; ++vector) {
        const uint32_t handler = Word(vector * 4);
        EXPECT_EQ(handler & 1, 1u) << "vector " << vector << " is not a Thumb address";
        EXPECT_GE(handler & ~1u, kFirmwareAppAddress);
        EXPECT_LT(handler & ~1u, kFirmwareAppAddress + kFirmwareImageLength);
    }
}

TEST(FirmwareImage, CarriesTheVersionTextTheDriverKeepsBesideIt)
{
    const size_t textLength = sizeof(kFirmwareImageVersionText) - 1;
    bool found = false;
    for (size_t i = 0; i + textLength <= kFirmwareImageLength && !found; ++i) {
        found = std::memcmp(FirmwareImage + i, kFirmwareImageVersionText, textLength) == 0;
    }
    EXPECT_TRUE(found);
}

TEST(FirmwareImage, ChecksumMatchesTheBitwiseReference)
{
    EXPECT_EQ(FirmwareImageCrc(FirmwareImage, kFirmwareImageLength), BitwiseCrc(FirmwareImage, kFirmwareImageLength));
    const uint8_t zeroWord[4] = {};
    EXPECT_EQ(BitwiseCrc(zeroWord, 4), 0xC704DD7Bu);
}

}  // namespace
