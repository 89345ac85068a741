// The adapter's flash, the header check in front of the application, and the
// boot loader's answers to the host's commands.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/message_wire.h"
#include "hw/firmware/boot_loader.h"
#include "hw/firmware/flash_image.h"
#include "hw/firmware/flash_memory.h"

namespace winsim::hw {
namespace {

constexpr ULONG kHeader = kFirmwareHeaderAddress;
constexpr ULONG kApp = kFirmwareAppAddress;

// The CRC unit one bit at a time: a reference independent of the nibble table.
uint32_t BitwiseCrc(const std::vector<UCHAR>& data)
{
    uint32_t crc = 0xFFFFFFFF;
    for (size_t offset = 0; offset + 4 <= data.size(); offset += 4) {
        uint32_t word;
        std::memcpy(&word, data.data() + offset, sizeof(word));
        crc ^= word;
        for (int bit = 0; bit < 32; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// A small image in the generator's shape: a few vectors, the build record, filler.
std::vector<UCHAR> TestImage(const std::string& text = "Jan  1 2020 00:00:00 Ver 1.0.900", size_t length = 4096)
{
    std::vector<UCHAR> image(length);
    uint32_t state = 0x1234567;
    for (size_t i = 0; i < length; ++i) {
        state = state * 1103515245u + 12345u;
        image[i] = static_cast<UCHAR>(state >> 16);
    }
    std::string record = std::string(kBuildRecordTag) + text;
    std::memcpy(image.data() + 64, record.c_str(), record.size() + 1);
    return image;
}

std::vector<UCHAR> Message(UCHAR code, std::vector<UCHAR> payload = {})
{
    std::vector<UCHAR> message = {code, 0};
    message.insert(message.end(), payload.begin(), payload.end());
    return message;
}

std::vector<UCHAR> AddressAndCount(ULONG address, ULONG count)
{
    std::vector<UCHAR> bytes(8);
    std::memcpy(bytes.data(), &address, 4);
    std::memcpy(bytes.data() + 4, &count, 4);
    return bytes;
}

void WriteHeader(FlashMemory& flash, const FirmwareHeader& header)
{
    flash.Erase(kHeader, sizeof(header));
    ASSERT_TRUE(flash.Program(kHeader, reinterpret_cast<const UCHAR*>(&header), sizeof(header)));
}

TEST(FlashMemory, ErasesWholePagesInsideTheApplicationAreaOnly)
{
    FlashMemory flash;
    const std::vector<UCHAR> zeros(FlashMemory::kPageSize * 2, 0);
    ASSERT_TRUE(flash.Program(kHeader, zeros.data(), static_cast<ULONG>(zeros.size())));

    // Twelve bytes of the header page take the whole page, and only it.
    EXPECT_TRUE(flash.Erase(kHeader + 4, 12));
    EXPECT_EQ(flash.Read(kHeader, FlashMemory::kPageSize), std::vector<UCHAR>(FlashMemory::kPageSize, 0xFF));
    EXPECT_EQ(flash.Read(kApp, FlashMemory::kPageSize), std::vector<UCHAR>(FlashMemory::kPageSize, 0));

    // The boot loader's own pages, a range running off the end, and nothing at all are refused.
    EXPECT_FALSE(flash.Erase(kHeader - FlashMemory::kPageSize, FlashMemory::kPageSize));
    EXPECT_FALSE(flash.Erase(kApp, FlashMemory::kAreaEnd - kApp + 1));
    EXPECT_FALSE(flash.Erase(kApp, 0));
    EXPECT_EQ(flash.Read(kApp, 4), std::vector<UCHAR>(4, 0));
    EXPECT_TRUE(flash.Erase(FlashMemory::kAreaEnd - 1, 1));
}

TEST(FlashMemory, ProgrammingOnlyChangesErasedBytesInsideTheArea)
{
    FlashMemory flash;
    const UCHAR first[4] = {0x11, 0x22, 0x33, 0x44};
    ASSERT_TRUE(flash.Program(kApp, first, 4));

    // Over programmed bytes the write fails; the erased bytes beside them still take theirs.
    const UCHAR second[6] = {0xAA, 0xBB, 0xCC, 0xDD, 0x55, 0x66};
    EXPECT_FALSE(flash.Program(kApp + 2, second, 6));
    EXPECT_EQ(flash.Read(kApp, 8), (std::vector<UCHAR>{0x11, 0x22, 0x33, 0x44, 0xCC, 0xDD, 0x55, 0x66}));

    // Outside the area nothing changes, and an area byte next to it still is written.
    EXPECT_FALSE(flash.Program(kHeader - 1, first, 2));
    EXPECT_EQ(flash.Read(kHeader, 1), std::vector<UCHAR>{0x22});
    EXPECT_FALSE(flash.Program(0xFFFFFFFE, first, 4));
    EXPECT_TRUE(flash.Read(kHeader - 1, 2).empty());
}

TEST(FlashMemory, ACorruptedProgramClearsABitAndStillReportsSuccess)
{
    FlashMemory flash;
    flash.CorruptProgram(2);
    const UCHAR data[3] = {0x00, 0x06, 0x07};
    EXPECT_TRUE(flash.Program(kApp, data, 3));
    EXPECT_EQ(flash.Read(kApp, 3), (std::vector<UCHAR>{0x00, 0x06, 0x07}));
    EXPECT_TRUE(flash.Program(kApp + 3, data, 3));
    // The zero byte has no bit to lose; the next one loses its lowest.
    EXPECT_EQ(flash.Read(kApp + 3, 3), (std::vector<UCHAR>{0x00, 0x04, 0x07}));
    EXPECT_TRUE(flash.Program(kApp + 6, data, 3));
    EXPECT_EQ(flash.Read(kApp + 6, 3), (std::vector<UCHAR>{0x00, 0x06, 0x07}));
    EXPECT_EQ(flash.Programs(), 3u);
}

TEST(FirmwareHeaderCheck, AcceptsTheHeaderBuiltFromTheBitwiseReference)
{
    const std::vector<UCHAR> image = TestImage();
    FlashMemory flash = FlashHoldingImage(image);
    EXPECT_TRUE(HeaderValidates(flash));
    FirmwareHeader header;
    std::memcpy(&header, flash.Read(kHeader, sizeof(header)).data(), sizeof(header));
    EXPECT_EQ(header.magic, 0x12349876u);
    EXPECT_EQ(header.length, image.size());
    EXPECT_EQ(header.crc, BitwiseCrc(image));

    FlashMemory erased;
    EXPECT_FALSE(HeaderValidates(erased));
}

TEST(FirmwareHeaderCheck, RefusesAChangedImageOrAMalformedHeader)
{
    const std::vector<UCHAR> image = TestImage();
    const FirmwareHeader good = MakeFirmwareHeader(image.data(), static_cast<uint32_t>(image.size()));

    FlashMemory corrupted;
    corrupted.CorruptProgram(1);
    ASSERT_TRUE(corrupted.Program(kApp, image.data(), static_cast<ULONG>(image.size())));
    WriteHeader(corrupted, good);
    EXPECT_FALSE(HeaderValidates(corrupted));

    const FirmwareHeader bad[] = {
        {good.magic ^ 1, good.length, good.crc},
        {good.magic, 0, MakeFirmwareHeader(image.data(), 0).crc},
        {good.magic, good.length - 2, MakeFirmwareHeader(image.data(), good.length - 2).crc},
        {good.magic, FlashMemory::kAreaEnd - kApp + 4, good.crc},
        {good.magic, good.length, good.crc + 1},
    };
    for (const FirmwareHeader& header : bad) {
        FlashMemory flash = FlashHoldingImage(image);
        WriteHeader(flash, header);
        EXPECT_FALSE(HeaderValidates(flash)) << "length " << header.length << " crc " << header.crc;
    }
}

TEST(FirmwareHeaderCheck, FindsTheBuildTextAndTakesAReplacement)
{
    const std::vector<UCHAR> image = TestImage("Oct 14 2013 11:10:11 Ver 1.0.772");
    EXPECT_EQ(BuildTextInFlash(FlashHoldingImage(image)), "Oct 14 2013 11:10:11 Ver 1.0.772");

    const std::string longer = "Feb  2 2012 09:00:00 Ver 1.0.771 with a longer tail to it";
    const std::vector<UCHAR> changed = ImageWithBuildText(image, longer);
    ASSERT_EQ(changed.size(), image.size());
    FlashMemory flash = FlashHoldingImage(changed);
    EXPECT_TRUE(HeaderValidates(flash));
    EXPECT_EQ(BuildTextInFlash(flash), longer);

    // No more than one reply carries.
    EXPECT_EQ(BuildTextInFlash(FlashHoldingImage(ImageWithBuildText(image, std::string(80, 'x')))),
              std::string(kMessagePayloadMax, 'x'));
    EXPECT_EQ(BuildTextInFlash(FlashMemory()), "");
}

class BootLoaderTest : public ::testing::Test {
protected:
    FlashMemory flash;
    BootLoader loader{flash, BootLoader::kDefaultVersionText};
};

TEST_F(BootLoaderTest, AnswersTheVersionRequestWithItsBootText)
{
    const BootLoader::Answer answer = loader.Handle(Message(kMsgGetVersion));
    const std::string text(answer.message.begin() + 2, answer.message.end());
    EXPECT_EQ(answer.message[0], kMsgVersionText);
    EXPECT_EQ(text, "Boot Ver 1.0.1");
    EXPECT_EQ(answer.after, 0);
    EXPECT_FALSE(answer.restart);
}

TEST_F(BootLoaderTest, ErasesAndWritesAsCommandedAndAcknowledgesAfterTheFlashTime)
{
    const UCHAR data[4] = {1, 2, 3, 4};
    flash.Program(kApp, data, 4);

    BootLoader::Answer erase = loader.Handle(Message(kMsgFlashErase, AddressAndCount(kApp, 4096)));
    EXPECT_EQ(erase.message, (std::vector<UCHAR>{kMsgAck, 0}));
    EXPECT_EQ(erase.after, 2 * BootLoader::kPageEraseTime);
    EXPECT_EQ(flash.Read(kApp, 4), std::vector<UCHAR>(4, 0xFF));

    std::vector<UCHAR> payload = AddressAndCount(kApp + 8, 5);
    payload.insert(payload.end(), {9, 8, 7, 6, 5, 0xEE, 0xEE});
    BootLoader::Answer write = loader.Handle(Message(kMsgFlashWrite, payload));
    EXPECT_EQ(write.message, (std::vector<UCHAR>{kMsgAck, 0}));
    EXPECT_EQ(write.after, 3 * BootLoader::kHalfWordProgramTime);
    // Only the count is written; what follows it in the payload is not.
    EXPECT_EQ(flash.Read(kApp + 8, 6), (std::vector<UCHAR>{9, 8, 7, 6, 5, 0xFF}));

    // The same bytes again: not erased, so refused.
    EXPECT_EQ(loader.Handle(Message(kMsgFlashWrite, payload)).message, (std::vector<UCHAR>{kMsgAckAlt, 0}));
    EXPECT_EQ(loader.Erases(), 1u);
    EXPECT_EQ(loader.Writes(), 2u);
}

TEST_F(BootLoaderTest, RefusesCommandsTheFlashOrTheMessageCannotCarry)
{
    // The boot loader's own page.
    EXPECT_EQ(loader.Handle(Message(kMsgFlashErase, AddressAndCount(0x08000000, 2048))).message[0], kMsgAckAlt);
    // A count beyond the data the message carries.
    std::vector<UCHAR> payload = AddressAndCount(kApp, 10);
    payload.insert(payload.end(), {1, 2, 3});
    EXPECT_EQ(loader.Handle(Message(kMsgFlashWrite, payload)).message[0], kMsgAckAlt);
    EXPECT_EQ(flash.Read(kApp, 3), std::vector<UCHAR>(3, 0xFF));
    // Too short to hold an address and a count.
    EXPECT_EQ(loader.Handle(Message(kMsgFlashErase, {1, 2, 3})).message[0], kMsgAckAlt);
}

TEST_F(BootLoaderTest, RestartsOnCommandAndIgnoresPortTraffic)
{
    EXPECT_TRUE(loader.Handle(Message(kMsgRestart)).restart);
    for (UCHAR code : {kMsgPortInit, static_cast<UCHAR>(kMsgConfigure | 2), kMsgEnterBootLoader, kMsgHeaderWritten}) {
        const BootLoader::Answer answer = loader.Handle(Message(code, {1}));
        EXPECT_TRUE(answer.message.empty()) << int(code);
        EXPECT_FALSE(answer.restart) << int(code);
    }
    EXPECT_TRUE(loader.Handle({kMsgGetVersion}).message.empty());
}

TEST_F(BootLoaderTest, AHungBootLoaderNeitherAnswersNorActs)
{
    loader.HangAfter(1);
    EXPECT_FALSE(loader.Handle(Message(kMsgGetVersion)).message.empty());
    EXPECT_TRUE(loader.Handle(Message(kMsgGetVersion)).message.empty());
    EXPECT_TRUE(loader.Handle(Message(kMsgFlashErase, AddressAndCount(kApp, 4))).message.empty());
    EXPECT_FALSE(loader.Handle(Message(kMsgRestart)).restart);
    EXPECT_EQ(loader.Erases(), 0u);
}

}  // namespace
}  // namespace winsim::hw
