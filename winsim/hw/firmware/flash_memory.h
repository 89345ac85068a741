// The flash of the adapter's STM32: 2048-byte pages, 0xFF when erased. The
// boot loader owns the pages below the application area and keeps them
// write-protected, so only the header page and the application pages above
// it can be erased and programmed. Programming only clears bits: a byte that
// is not erased keeps its value, as does anything outside the area.
#pragma once

#include <ntdef.h>

#include <mutex>
#include <vector>

#include "common/firmware_protocol.h"

namespace winsim::hw {

class FlashMemory {
public:
    static constexpr ULONG kPageSize = kFlashPageSize;
    static constexpr ULONG kAreaStart = kFirmwareHeaderAddress;
    static constexpr ULONG kAreaEnd = 0x08040000;  // 256 KiB part: the top 128 KiB for the application
    static constexpr ULONG kAreaSize = kAreaEnd - kAreaStart;
    static constexpr UCHAR kErased = 0xFF;

    // Every page of the area erased.
    FlashMemory();
    FlashMemory(const FlashMemory& other);
    FlashMemory& operator=(const FlashMemory&) = delete;

    // Erases each page that [address, address + length) touches. Refused,
    // erasing nothing, when the range is empty or leaves the area.
    bool Erase(ULONG address, ULONG length);
    // Programs count bytes at address. Bytes that are not erased, or lie
    // outside the area, keep their value and make the write fail; the
    // others are written.
    bool Program(ULONG address, const UCHAR* data, ULONG count);

    // Reads [address, address + length) of the area; empty when the range
    // leaves it.
    std::vector<UCHAR> Read(ULONG address, ULONG length) const;

    // Fault knob: the nth Program from now (1: the next) clears one bit of
    // the first byte it writes that has a bit to clear, and still reports
    // success. 0 turns it off.
    void CorruptProgram(ULONG nth);
    // Program calls so far.
    ULONG Programs() const;

private:
    static bool InArea(ULONG address, ULONG length);

    mutable std::mutex lock_;
    std::vector<UCHAR> area_;
    ULONG programs_ = 0;
    ULONG corruptAt_ = 0;
};

}  // namespace winsim::hw
