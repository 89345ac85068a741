#include "hw/firmware/flash_memory.h"

#include <algorithm>

namespace winsim::hw {

FlashMemory::FlashMemory() : area_(kAreaSize, kErased) {}

FlashMemory::FlashMemory(const FlashMemory& other)
{
    std::lock_guard lk(other.lock_);
    area_ = other.area_;
}

bool FlashMemory::InArea(ULONG address, ULONG length)
{
    return address >= kAreaStart && address < kAreaEnd && length <= kAreaEnd - address;
}

bool FlashMemory::Erase(ULONG address, ULONG length)
{
    if (length == 0 || !InArea(address, length)) return false;
    const ULONG first = (address - kAreaStart) / kPageSize;
    const ULONG last = (address - kAreaStart + length - 1) / kPageSize;
    std::lock_guard lk(lock_);
    std::fill(area_.begin() + first * kPageSize, area_.begin() + (last + 1) * kPageSize, kErased);
    return true;
}

bool FlashMemory::Program(ULONG address, const UCHAR* data, ULONG count)
{
    std::lock_guard lk(lock_);
    const bool corrupt = ++programs_ == corruptAt_;
    bool corrupted = false;
    bool written = true;
    for (ULONG i = 0; i < count; ++i) {
        const ULONG at = address + i;  // wraps past 4 GiB, and so leaves the area
        if (at < address || !InArea(at, 1)) {
            written = false;
            continue;
        }
        UCHAR& cell = area_[at - kAreaStart];
        if (cell != kErased) {
            written = false;
            continue;
        }
        UCHAR value = data[i];
        if (corrupt && !corrupted && value != 0) {
            value = static_cast<UCHAR>(value & (value - 1));  // lowest set bit cleared
            corrupted = true;
        }
        cell = value;
    }
    return written;
}

std::vector<UCHAR> FlashMemory::Read(ULONG address, ULONG length) const
{
    if (!InArea(address, length)) return {};
    std::lock_guard lk(lock_);
    const auto from = area_.begin() + (address - kAreaStart);
    return std::vector<UCHAR>(from, from + length);
}

void FlashMemory::CorruptProgram(ULONG nth)
{
    std::lock_guard lk(lock_);
    corruptAt_ = nth == 0 ? 0 : programs_ + nth;
}

ULONG FlashMemory::Programs() const
{
    std::lock_guard lk(lock_);
    return programs_;
}

}  // namespace winsim::hw
