// Run-time behaviour of the shared wire definitions: code splitting, the
// firmware CRC and build-number parsing, GUID byte order, and records read
// back from raw bytes the way the other side of a request sees them.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/device_tables.h"
#include "common/event_records.h"
#include "common/firmware_protocol.h"
#include "common/guids.h"
#include "common/message_wire.h"
#include "common/monitor_record.h"

namespace {

const uint8_t kPortAddressedIn[] = {kMsgReceiveData, kMsgStatus, kMsgSetCredits, kMsgReceiveFramingError,
                                    kMsgReceiveParityError};
const uint8_t kPortAddressedOut[] = {kMsgTransmitData, kMsgConfigure, kMsgPortInit, kMsgModemControl};
const uint8_t kUnaddressed[] = {
    kMsgLoopbackData, kMsgVersionText, kMsgAck,           kMsgAckAlt,  kMsgAccepted,       kMsgGetVersion,
    kMsgFlashErase,   kMsgFlashWrite,  kMsgHeaderWritten, kMsgRestart, kMsgEnterBootLoader};

TEST(MessageCodes, EveryCodeSplitsAndRecomposes)
{
    for (unsigned c = 0; c < 256; ++c) {
        const uint8_t code = static_cast<uint8_t>(c);
        const uint8_t base = MessageBaseCode(code);
        const uint32_t port = MessagePort(code);
        if (code < 0x40) {
            EXPECT_EQ(base & 0x03, 0) << "code " << c;
            EXPECT_EQ(port, code & 0x03u) << "code " << c;
        } else {
            EXPECT_EQ(base, code) << "code " << c;
            EXPECT_EQ(port, 0u) << "code " << c;
        }
        EXPECT_EQ(ComposeMessageCode(base, port), code) << "code " << c;
    }
}

TEST(MessageCodes, PortAddressedCodesCarryThePortAndKeepTheirDirection)
{
    for (uint32_t port = 0; port < 4; ++port) {
        for (uint8_t base : kPortAddressedIn) {
            const uint8_t code = ComposeMessageCode(base, port);
            EXPECT_EQ(MessageBaseCode(code), base);
            EXPECT_EQ(MessagePort(code), port);
            EXPECT_TRUE(IsAdapterToHostCode(MessageBaseCode(code))) << int(code);
            EXPECT_FALSE(IsHostToAdapterCode(MessageBaseCode(code))) << int(code);
        }
        for (uint8_t base : kPortAddressedOut) {
            const uint8_t code = ComposeMessageCode(base, port);
            EXPECT_EQ(MessageBaseCode(code), base);
            EXPECT_EQ(MessagePort(code), port);
            EXPECT_TRUE(IsHostToAdapterCode(MessageBaseCode(code))) << int(code);
            EXPECT_FALSE(IsAdapterToHostCode(MessageBaseCode(code))) << int(code);
        }
    }
}

TEST(MessageCodes, CodesWithoutPortBitsIgnoreThePort)
{
    for (uint8_t code : kUnaddressed) {
        for (uint32_t port = 0; port < 4; ++port) {
            EXPECT_EQ(ComposeMessageCode(code, port), code);
        }
        EXPECT_EQ(MessagePort(code), 0u);
    }
    // An out-of-range port must not leak into the code byte.
    EXPECT_EQ(ComposeMessageCode(kMsgConfigure, 4), kMsgConfigure);
    EXPECT_EQ(ComposeMessageCode(kMsgTransmitData, 7), kMsgTransmitData);
}

TEST(MessageCodes, NoCodeIsAcceptedInBothDirections)
{
    for (unsigned c = 0; c < 256; ++c) {
        const uint8_t base = MessageBaseCode(static_cast<uint8_t>(c));
        EXPECT_FALSE(IsAdapterToHostCode(base) && IsHostToAdapterCode(base)) << "code " << c;
    }
    EXPECT_FALSE(IsAdapterToHostCode(0x44));
    EXPECT_FALSE(IsHostToAdapterCode(0x04));
}

// Bit at a time, straight from the definition.
uint32_t ReferenceCrc(const std::vector<uint8_t>& image)
{
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i + 4 <= image.size(); i += 4) {
        uint32_t word;
        std::memcpy(&word, &image[i], 4);
        crc ^= word;
        for (int bit = 0; bit < 32; ++bit) {
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        }
    }
    return crc;
}

TEST(FirmwareCrc, MatchesBitwiseCrcOverAFullSizeImage)
{
    std::vector<uint8_t> image(kFirmwareImageLength);
    uint32_t x = 0x12345678;
    for (auto& b : image) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    EXPECT_EQ(FirmwareImageCrc(image.data(), kFirmwareImageLength), ReferenceCrc(image));
}

TEST(FirmwareCrc, ReadsWordsLittleEndianAndSkipsAPartialTail)
{
    const uint8_t one[] = {0x01, 0x00, 0x00, 0x00, 0xAA, 0xBB};
    EXPECT_EQ(FirmwareImageCrc(one, sizeof(one)), FirmwareCrcWord(kFirmwareCrcInitial, 1));
    const uint8_t zero[] = {0, 0, 0, 0};
    EXPECT_EQ(FirmwareImageCrc(zero, 4), 0xC704DD7Bu);
    EXPECT_EQ(FirmwareImageCrc(zero, 3), kFirmwareCrcInitial);
}

TEST(FirmwareBuild, TakesTheNumberAfterTheLastDot)
{
    const char app[] = "Oct 14 2013 11:10:11 Ver 1.0.772";
    EXPECT_EQ(ParseFirmwareBuild(app, sizeof(app)).number, 772u);

    const char boot[] = "Boot Loader 2.1.771 ready";
    const FirmwareBuild b = ParseFirmwareBuild(boot, sizeof(boot));
    EXPECT_TRUE(b.found);
    EXPECT_EQ(b.number, 771u);
}

TEST(FirmwareBuild, NoDotMeansNoNumberAndNoDigitsMeansZero)
{
    EXPECT_FALSE(ParseFirmwareBuild("", 64).found);
    EXPECT_FALSE(ParseFirmwareBuild("Ver 772", 64).found);

    const FirmwareBuild trailing = ParseFirmwareBuild("Ver 1.0.", 64);
    EXPECT_TRUE(trailing.found);
    EXPECT_EQ(trailing.number, 0u);
    EXPECT_EQ(ParseFirmwareBuild("1.0.x772", 64).number, 0u);
}

TEST(FirmwareBuild, StopsAtTheBufferEndAndSaturates)
{
    // A reply need not be terminated inside the buffer.
    const char unterminated[] = {'1', '.', '7', '7', '2'};
    EXPECT_EQ(ParseFirmwareBuild(unterminated, 4).number, 77u);
    EXPECT_EQ(ParseFirmwareBuild("1.99999999999999", 64).number, 0xFFFFFFFFu);
}

TEST(WireGuids, LieInMemoryInThePlatformByteOrder)
{
    const uint8_t expected[16] = {0x0E, 0x06, 0x61, 0x92, 0x0E, 0x0C, 0xE9, 0x46,
                                  0xA2, 0x28, 0xDB, 0xCC, 0x8B, 0x39, 0xFD, 0x72};
    EXPECT_EQ(std::memcmp(&kPortServicesGuid, expected, 16), 0);
    EXPECT_TRUE(WireGuidMatches(expected, kPortServicesGuid));
}

TEST(WireGuids, MatchesAnyGuidShapedObjectByContent)
{
    struct PlatformLikeGuid {
        unsigned int Data1;
        unsigned short Data2, Data3;
        unsigned char Data4[8];
    };
    PlatformLikeGuid guid = QTR_CONTROL_INTERFACE_CLASS_GUID_INIT;
    EXPECT_TRUE(WireGuidMatches(&guid, kControlInterfaceClassGuid));
    EXPECT_FALSE(WireGuidMatches(&guid, kWmiDataBlockGuid));
    guid.Data4[7] ^= 1;
    EXPECT_FALSE(WireGuidMatches(&guid, kControlInterfaceClassGuid));
    EXPECT_FALSE(WireGuidEqual(kPortServicesGuid, kControlInterfaceClassGuid));
}

uint32_t ReadLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint64_t ReadLe64(const uint8_t* p)
{
    return uint64_t(ReadLe32(p)) | uint64_t(ReadLe32(p + 4)) << 32;
}

TEST(WireRecords, DeviceInfoTableRecordsSitAtTheirByteOffsets)
{
    DeviceInfoTable table{};
    for (int k = 0; k < 8; ++k) {
        table.adapters[k].slot = k;
        table.adapters[k].present = 1;
        for (int j = 0; j < 4; ++j) {
            table.adapters[k].ports[j] = PortInfo{j, 100 * k + j + 1, (k + j) % 2};
        }
    }
    table.count = 8;
    std::vector<uint8_t> bytes(sizeof(table));
    std::memcpy(bytes.data(), &table, sizeof(table));

    EXPECT_EQ(ReadLe32(&bytes[0]), 8u);
    for (int k = 0; k < 8; ++k) {
        const uint8_t* rec = &bytes[4 + 157 * k];
        EXPECT_EQ(ReadLe32(rec + 0), uint32_t(k));
        EXPECT_EQ(ReadLe32(rec + 105), 1u);
        for (int j = 0; j < 4; ++j) {
            const uint8_t* port = rec + 109 + 12 * j;
            EXPECT_EQ(ReadLe32(port + 0), uint32_t(j));
            EXPECT_EQ(ReadLe32(port + 4), uint32_t(100 * k + j + 1));
            EXPECT_EQ(ReadLe32(port + 8), uint32_t((k + j) % 2));
        }
    }
}

TEST(WireRecords, ConfigTableReadFromBytesKeepsModelIndexAndPortValues)
{
    std::vector<uint8_t> bytes(sizeof(DeviceConfigTable), 0);
    bytes[0] = 2;
    bytes[8] = kModelIndexDefault;
    const size_t record1 = 4 + 193;
    bytes[record1] = 255;                      // updateFlag
    bytes[record1 + 109] = 1;                  // bulkEndpoints
    bytes[record1 + 113 + 20 * 3 + 4] = 0x2A;  // port 3 comNumber, low byte
    bytes[record1 + 113 + 20 * 3 + 16] = 1;    // port 3 remoteWakeup

    DeviceConfigTable table;
    std::memcpy(&table, bytes.data(), sizeof(table));
    // Packed fields are copied out (+) before the comparison binds them.
    EXPECT_EQ(+table.count, 2);
    EXPECT_EQ(+table.adapters[0].modelIndex, kModelIndexDefault);
    EXPECT_EQ(+table.adapters[1].updateFlag, kConfigUpdateFlag);
    EXPECT_EQ(+table.adapters[1].bulkEndpoints, 1);
    EXPECT_EQ(+table.adapters[1].highPower, 0);
    EXPECT_EQ(+table.adapters[1].ports[3].comNumber, 0x2A);
    EXPECT_EQ(+table.adapters[1].ports[3].remoteWakeup, 1);
    EXPECT_EQ(+table.adapters[1].ports[2].remoteWakeup, 0);
}

TEST(WireRecords, SixtyFourBitTimesSurviveTheirUnalignedOffsets)
{
    MonitorRecord monitor{};
    monitor.time = 0x01D9A1B2C3D4E5F6ull;
    monitor.length = 11;
    monitor.data[1] = 0x55;
    std::vector<uint8_t> mbytes(sizeof(monitor));
    std::memcpy(mbytes.data(), &monitor, sizeof(monitor));
    EXPECT_EQ(ReadLe64(&mbytes[4]), 0x01D9A1B2C3D4E5F6ull);
    EXPECT_EQ(ReadLe32(&mbytes[36]), 11u);
    EXPECT_EQ(mbytes[41], 0x55);

    static EventLog log{};
    log.entries[kEventLogCapacity - 1].time = 0x0123456789ABCDEFull;
    log.entries[kEventLogCapacity - 1].seq = 499;
    std::vector<uint8_t> lbytes(sizeof(log));
    std::memcpy(lbytes.data(), &log, sizeof(log));
    const uint8_t* last = &lbytes[12 + 52 * (kEventLogCapacity - 1)];
    EXPECT_EQ(ReadLe64(last + 40), 0x0123456789ABCDEFull);
    EXPECT_EQ(ReadLe32(last + 48), 499u);

    EventRecord record{};
    record.entry = log.entries[kEventLogCapacity - 1];
    record.gap = 1;
    uint8_t rbytes[sizeof(EventRecord)];
    std::memcpy(rbytes, &record, sizeof(record));
    EXPECT_EQ(ReadLe64(rbytes + 40), 0x0123456789ABCDEFull);
    EXPECT_EQ(ReadLe32(rbytes + 52), 1u);
}

}  // namespace
