#include "pnp/com_database.h"

#include <km_zw.h>

#include <mutex>

#include "registry/registry_store.h"

namespace winsim::pnp {

namespace {

constexpr std::u16string_view kValueName = u"ComDB";

// Serialises read-modify-write of the bitmap, as the database's own mutex
// does on Windows.
std::mutex& DatabaseLock()
{
    static std::mutex lock;
    return lock;
}

std::vector<UCHAR> LoadLocked()
{
    std::vector<UCHAR> bits;
    if (auto value = registry::Store::Instance().GetValue(kComNameArbiterPath, kValueName)) bits = value->data;
    if (bits.size() < kComDatabaseMinimumPorts / 8) bits.resize(kComDatabaseMinimumPorts / 8, 0);
    return bits;
}

void StoreLocked(const std::vector<UCHAR>& bits)
{
    registry::Store::Instance().SetValue(kComNameArbiterPath, kValueName, REG_BINARY, bits);
}

bool InRange(const std::vector<UCHAR>& bits, ULONG comNumber)
{
    return comNumber >= 1 && comNumber <= bits.size() * 8;
}

bool TestBit(const std::vector<UCHAR>& bits, ULONG comNumber)
{
    return (bits[(comNumber - 1) / 8] & (1u << ((comNumber - 1) % 8))) != 0;
}

void SetBit(std::vector<UCHAR>& bits, ULONG comNumber, bool claimed)
{
    UCHAR& byte = bits[(comNumber - 1) / 8];
    const UCHAR mask = static_cast<UCHAR>(1u << ((comNumber - 1) % 8));
    byte = static_cast<UCHAR>(claimed ? (byte | mask) : (byte & ~mask));
}

}  // namespace

bool ComDatabase::IsClaimed(ULONG comNumber)
{
    std::lock_guard lk(DatabaseLock());
    std::vector<UCHAR> bits = LoadLocked();
    return InRange(bits, comNumber) && TestBit(bits, comNumber);
}

ULONG ComDatabase::Size()
{
    std::lock_guard lk(DatabaseLock());
    return static_cast<ULONG>(LoadLocked().size() * 8);
}

bool ComDatabase::Claim(ULONG comNumber)
{
    std::lock_guard lk(DatabaseLock());
    std::vector<UCHAR> bits = LoadLocked();
    if (!InRange(bits, comNumber) || TestBit(bits, comNumber)) return false;
    SetBit(bits, comNumber, true);
    StoreLocked(bits);
    return true;
}

void ComDatabase::Release(ULONG comNumber)
{
    std::lock_guard lk(DatabaseLock());
    std::vector<UCHAR> bits = LoadLocked();
    if (!InRange(bits, comNumber)) return;
    SetBit(bits, comNumber, false);
    StoreLocked(bits);
}

ULONG ComDatabase::ClaimLowestFree(ULONG first)
{
    std::lock_guard lk(DatabaseLock());
    std::vector<UCHAR> bits = LoadLocked();
    for (ULONG n = first < 1 ? 1 : first; InRange(bits, n); ++n) {
        if (TestBit(bits, n)) continue;
        SetBit(bits, n, true);
        StoreLocked(bits);
        return n;
    }
    return 0;
}

std::vector<ULONG> ComDatabase::Claimed()
{
    std::lock_guard lk(DatabaseLock());
    std::vector<UCHAR> bits = LoadLocked();
    std::vector<ULONG> claimed;
    for (ULONG n = 1; InRange(bits, n); ++n) {
        if (TestBit(bits, n)) claimed.push_back(n);
    }
    return claimed;
}

}  // namespace winsim::pnp
