// The COM-port database of the ports class installer, kept where Windows
// keeps it: the REG_BINARY value "ComDB" under
// HKLM\System\CurrentControlSet\Control\COM Name Arbiter, one bit per COM
// number (bit 0 of byte 0 is COM1). Every operation reads and writes the
// registry afresh, so other writers of the value are seen.
#pragma once

#include <ntdef.h>

#include <string_view>
#include <vector>

namespace winsim::pnp {

inline constexpr std::u16string_view kComNameArbiterPath =
    u"\\Registry\\Machine\\System\\CurrentControlSet\\Control\\COM Name Arbiter";
// The database arbitrates at least this many names, as Windows' does.
inline constexpr ULONG kComDatabaseMinimumPorts = 256;
// COM1 and COM2 belong to the board's own ports.
inline constexpr ULONG kFirstDynamicComNumber = 3;

class ComDatabase {
public:
    static bool IsClaimed(ULONG comNumber);
    // How many COM numbers the database arbitrates.
    static ULONG Size();
    // False if the number was claimed already or is out of range.
    static bool Claim(ULONG comNumber);
    static void Release(ULONG comNumber);
    // Claims the lowest free number from `first` up; 0 when none is free.
    static ULONG ClaimLowestFree(ULONG first = kFirstDynamicComNumber);
    // The claimed numbers in ascending order.
    static std::vector<ULONG> Claimed();
};

}  // namespace winsim::pnp
