#include "hw/firmware/boot_loader.h"

#include <cstring>

#include "common/message_wire.h"

namespace winsim::hw {

namespace {

ULONG ReadU32(const UCHAR* bytes)
{
    ULONG value;
    std::memcpy(&value, bytes, sizeof(value));
    return value;
}

BootLoader::Answer Acknowledge(bool done, Ticks busy)
{
    // 0x41 when the flash did as told, 0x42 when it refused.
    return {{done ? kMsgAck : kMsgAckAlt, 0}, busy};
}

constexpr size_t kAddressAndCount = 8;

// Port traffic and the application's own commands mean nothing here.
bool IsBootLoaderCommand(UCHAR code)
{
    return code == kMsgGetVersion || code == kMsgFlashErase || code == kMsgFlashWrite || code == kMsgHeaderWritten ||
           code == kMsgRestart;
}

}  // namespace

BootLoader::BootLoader(FlashMemory& flash, std::string versionText)
    : flash_(flash), versionText_(versionText.substr(0, kMessagePayloadMax))
{
}

ULONG BootLoader::Erases() const
{
    std::lock_guard lk(lock_);
    return erases_;
}

ULONG BootLoader::Writes() const
{
    std::lock_guard lk(lock_);
    return writes_;
}

void BootLoader::HangAfter(ULONG commands)
{
    std::lock_guard lk(lock_);
    hangs_ = true;
    commandsLeft_ = commands;
}

BootLoader::Answer BootLoader::Handle(const std::vector<UCHAR>& message)
{
    if (message.size() < kMessageHeaderLength || !IsBootLoaderCommand(message[0])) return {};
    {
        std::lock_guard lk(lock_);
        if (hangs_) {
            if (commandsLeft_ == 0) return {};
            --commandsLeft_;
        }
    }
    const UCHAR* payload = message.data() + kMessageHeaderLength;
    const size_t length = message.size() - kMessageHeaderLength;
    switch (message[0]) {
    case kMsgGetVersion: {
        Answer answer;
        answer.message = {kMsgVersionText, 0};
        answer.message.insert(answer.message.end(), versionText_.begin(), versionText_.end());
        return answer;
    }
    case kMsgFlashErase:
        return Erase(payload, length);
    case kMsgFlashWrite:
        return Write(payload, length);
    case kMsgRestart: {
        Answer answer;
        answer.restart = true;
        return answer;
    }
    default:
        return {};
    }
}

BootLoader::Answer BootLoader::Erase(const UCHAR* payload, size_t length)
{
    {
        std::lock_guard lk(lock_);
        ++erases_;
    }
    if (length < kAddressAndCount) return Acknowledge(false, 0);
    const ULONG address = ReadU32(payload);
    const ULONG bytes = ReadU32(payload + 4);
    if (!flash_.Erase(address, bytes)) return Acknowledge(false, 0);
    const ULONG firstPage = address / FlashMemory::kPageSize;
    const ULONG lastPage = (address + bytes - 1) / FlashMemory::kPageSize;
    return Acknowledge(true, static_cast<Ticks>(lastPage - firstPage + 1) * kPageEraseTime);
}

BootLoader::Answer BootLoader::Write(const UCHAR* payload, size_t length)
{
    {
        std::lock_guard lk(lock_);
        ++writes_;
    }
    if (length < kAddressAndCount) return Acknowledge(false, 0);
    const ULONG address = ReadU32(payload);
    const ULONG count = ReadU32(payload + 4);
    // The count must lie within what the message carries.
    if (count > length - kAddressAndCount) return Acknowledge(false, 0);
    const bool done = flash_.Program(address, payload + kAddressAndCount, count);
    return Acknowledge(done, static_cast<Ticks>((count + 1) / 2) * kHalfWordProgramTime);
}

}  // namespace winsim::hw
