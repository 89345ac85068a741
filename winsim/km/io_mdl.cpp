// Memory descriptor lists. Memory is flat in the simulation, so a mapping is
// the buffer's own address; what drivers can observe is kept exact: sizes,
// offsets, page frames and the flags that say what is locked and mapped.
#include <km_ex.h>
#include <km_io.h>

#include <cstring>

#include "km/io_pool_tags.h"
#include "km/io_verifier_rules.h"

namespace {

constexpr ULONG_PTR kPageSize = 4096;
constexpr int kPageShift = 12;
// Most pages an MDL can describe: its Size field is a CSHORT.
constexpr ULONG_PTR kMaximumPages = (0x7FFF - sizeof(MDL)) / sizeof(ULONG_PTR);

typedef ULONG_PTR PFN_NUMBER;

ULONG_PTR PageAlign(const void* va) { return reinterpret_cast<ULONG_PTR>(va) & ~(kPageSize - 1); }
ULONG ByteOffsetOf(const void* va) { return static_cast<ULONG>(reinterpret_cast<ULONG_PTR>(va) & (kPageSize - 1)); }

ULONG_PTR SpannedPages(const void* va, ULONG length)
{
    return (ByteOffsetOf(va) + static_cast<ULONG_PTR>(length) + kPageSize - 1) >> kPageShift;
}

PFN_NUMBER* PagesOf(PMDL mdl) { return reinterpret_cast<PFN_NUMBER*>(mdl + 1); }

// In flat memory the frame of a page is its address shifted.
void FillPages(PMDL mdl)
{
    ULONG_PTR count = SpannedPages(MmGetMdlVirtualAddress(mdl), mdl->ByteCount);
    ULONG_PTR first = reinterpret_cast<ULONG_PTR>(mdl->StartVa) >> kPageShift;
    for (ULONG_PTR i = 0; i < count; ++i) PagesOf(mdl)[i] = first + i;
}

}  // namespace

extern "C" {

PMDL IoAllocateMdl(PVOID virtualAddress, ULONG length, BOOLEAN secondaryBuffer, BOOLEAN chargeQuota, PIRP irp)
{
    UNREFERENCED_PARAMETER(chargeQuota);
    ULONG_PTR pages = SpannedPages(virtualAddress, length);
    if (pages > kMaximumPages) return nullptr;
    SIZE_T size = sizeof(MDL) + pages * sizeof(PFN_NUMBER);
    auto* mdl = static_cast<PMDL>(ExAllocatePoolWithTag(NonPagedPoolNx, size, winsim::io::kTagMdl));
    if (mdl == nullptr) return nullptr;
    std::memset(mdl, 0, size);
    mdl->Size = static_cast<CSHORT>(size);
    mdl->StartVa = reinterpret_cast<PVOID>(PageAlign(virtualAddress));
    mdl->ByteOffset = ByteOffsetOf(virtualAddress);
    mdl->ByteCount = length;
    if (irp != nullptr) {
        if (!secondaryBuffer || irp->MdlAddress == nullptr) {
            irp->MdlAddress = mdl;
        } else {
            PMDL last = irp->MdlAddress;
            while (last->Next != nullptr) last = last->Next;
            last->Next = mdl;
        }
    }
    return mdl;
}

VOID IoFreeMdl(PMDL mdl)
{
    MmPrepareMdlForReuse(mdl);
    ExFreePoolWithTag(mdl, winsim::io::kTagMdl);
}

VOID IoBuildPartialMdl(PMDL sourceMdl, PMDL targetMdl, PVOID virtualAddress, ULONG length)
{
    auto* sourceStart = static_cast<PUCHAR>(MmGetMdlVirtualAddress(sourceMdl));
    auto* start = static_cast<PUCHAR>(virtualAddress);
    ULONG_PTR offset = static_cast<ULONG_PTR>(start - sourceStart);
    if (start < sourceStart || offset > sourceMdl->ByteCount) {
        winsim::Verifier::Violation(winsim::ViolationCode::kDriverVerifierDetected,
                                    winsim::io::rule::kPartialMdlOutsideSource, "start outside the source");
        return;
    }
    if (length == 0) length = static_cast<ULONG>(sourceMdl->ByteCount - offset);
    if (offset + length > sourceMdl->ByteCount ||
        sizeof(MDL) + SpannedPages(start, length) * sizeof(PFN_NUMBER) > static_cast<SIZE_T>(targetMdl->Size)) {
        winsim::Verifier::Violation(winsim::ViolationCode::kDriverVerifierDetected,
                                    winsim::io::rule::kPartialMdlOutsideSource,
                                    "end outside the source or the target MDL too small");
        return;
    }
    targetMdl->StartVa = reinterpret_cast<PVOID>(PageAlign(start));
    targetMdl->ByteOffset = ByteOffsetOf(start);
    targetMdl->ByteCount = length;
    targetMdl->MdlFlags = static_cast<CSHORT>(
        (sourceMdl->MdlFlags & (MDL_SOURCE_IS_NONPAGED_POOL | MDL_MAPPED_TO_SYSTEM_VA)) | MDL_PARTIAL);
    targetMdl->MappedSystemVa =
        sourceMdl->MappedSystemVa != nullptr ? static_cast<PUCHAR>(sourceMdl->MappedSystemVa) + offset : nullptr;
    ULONG_PTR firstPage = (PageAlign(start) - reinterpret_cast<ULONG_PTR>(sourceMdl->StartVa)) >> kPageShift;
    std::memcpy(PagesOf(targetMdl), PagesOf(sourceMdl) + firstPage,
                SpannedPages(start, length) * sizeof(PFN_NUMBER));
}

VOID MmBuildMdlForNonPagedPool(PMDL mdl)
{
    mdl->MappedSystemVa = MmGetMdlVirtualAddress(mdl);
    mdl->MdlFlags |= MDL_SOURCE_IS_NONPAGED_POOL;
    FillPages(mdl);
}

VOID MmProbeAndLockPages(PMDL mdl, KPROCESSOR_MODE accessMode, LOCK_OPERATION operation)
{
    UNREFERENCED_PARAMETER(accessMode);
    UNREFERENCED_PARAMETER(operation);
    FillPages(mdl);
    mdl->MdlFlags |= MDL_PAGES_LOCKED;
}

VOID MmUnlockPages(PMDL mdl)
{
    if ((mdl->MdlFlags & MDL_MAPPED_TO_SYSTEM_VA) != 0 && (mdl->MdlFlags & MDL_SOURCE_IS_NONPAGED_POOL) == 0) {
        MmUnmapLockedPages(mdl->MappedSystemVa, mdl);
    }
    mdl->MdlFlags &= ~MDL_PAGES_LOCKED;
}

PVOID MmMapLockedPagesSpecifyCache(PMDL mdl, KPROCESSOR_MODE accessMode, ULONG cacheType, PVOID requestedAddress,
                                   ULONG bugCheckOnFailure, ULONG priority)
{
    UNREFERENCED_PARAMETER(accessMode);
    UNREFERENCED_PARAMETER(cacheType);
    UNREFERENCED_PARAMETER(requestedAddress);
    UNREFERENCED_PARAMETER(bugCheckOnFailure);
    UNREFERENCED_PARAMETER(priority);
    if ((mdl->MdlFlags & (MDL_MAPPED_TO_SYSTEM_VA | MDL_SOURCE_IS_NONPAGED_POOL)) != 0) return mdl->MappedSystemVa;
    mdl->MappedSystemVa = MmGetMdlVirtualAddress(mdl);
    mdl->MdlFlags |= MDL_MAPPED_TO_SYSTEM_VA;
    if ((mdl->MdlFlags & MDL_PARTIAL) != 0) mdl->MdlFlags |= MDL_PARTIAL_HAS_BEEN_MAPPED;
    return mdl->MappedSystemVa;
}

VOID MmUnmapLockedPages(PVOID baseAddress, PMDL mdl)
{
    UNREFERENCED_PARAMETER(baseAddress);
    mdl->MdlFlags &= ~(MDL_MAPPED_TO_SYSTEM_VA | MDL_PARTIAL_HAS_BEEN_MAPPED);
}

VOID MmPrepareMdlForReuse(PMDL mdl)
{
    if ((mdl->MdlFlags & MDL_PARTIAL_HAS_BEEN_MAPPED) != 0) MmUnmapLockedPages(mdl->MappedSystemVa, mdl);
}

}  // extern "C"
