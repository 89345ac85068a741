// MDLs: what they describe and the flags that say what is locked and mapped.
#include <cstring>

#include "km/io_verifier_rules.h"
#include "io_test_driver.h"

namespace winsim::test {
namespace {

class MdlTest : public MachineTest {
protected:
    // A buffer that starts 100 bytes into a page and crosses two boundaries.
    alignas(4096) UCHAR pages_[4 * 4096];
    PUCHAR buffer_ = pages_ + 100;
    static constexpr ULONG kLength = 2 * 4096 + 500;
};

TEST_F(MdlTest, AnMdlDescribesItsBufferByPageAndOffset)
{
    PMDL mdl = IoAllocateMdl(buffer_, kLength, FALSE, FALSE, nullptr);
    ASSERT_NE(mdl, nullptr);
    EXPECT_EQ(mdl->StartVa, pages_);
    EXPECT_EQ(mdl->ByteOffset, 100u);
    EXPECT_EQ(MmGetMdlByteCount(mdl), kLength);
    EXPECT_EQ(MmGetMdlVirtualAddress(mdl), buffer_);
    // Three pages spanned: three page frame entries after the header.
    EXPECT_EQ(static_cast<size_t>(mdl->Size), sizeof(MDL) + 3 * sizeof(ULONG_PTR));
    EXPECT_EQ(mdl->MdlFlags, 0);
    IoFreeMdl(mdl);
}

TEST_F(MdlTest, IrpMdlsChainAfterTheFirst)
{
    PIRP irp = IoAllocateIrp(1, FALSE);
    PMDL first = IoAllocateMdl(buffer_, 10, FALSE, FALSE, irp);
    PMDL second = IoAllocateMdl(buffer_ + 10, 10, TRUE, FALSE, irp);
    EXPECT_EQ(irp->MdlAddress, first);
    EXPECT_EQ(first->Next, second);
    IoFreeMdl(second);
    IoFreeMdl(first);
    irp->MdlAddress = nullptr;
    IoFreeIrp(irp);
}

TEST_F(MdlTest, LockingAndMappingSetTheirFlagsAndUnlockingClearsBoth)
{
    PMDL mdl = IoAllocateMdl(buffer_, kLength, FALSE, FALSE, nullptr);
    MmProbeAndLockPages(mdl, KernelMode, IoWriteAccess);
    EXPECT_EQ(mdl->MdlFlags, MDL_PAGES_LOCKED);
    EXPECT_EQ(MmGetSystemAddressForMdlSafe(mdl, NormalPagePriority), buffer_);
    EXPECT_EQ(mdl->MdlFlags, MDL_PAGES_LOCKED | MDL_MAPPED_TO_SYSTEM_VA);
    MmUnlockPages(mdl);
    EXPECT_EQ(mdl->MdlFlags, 0);
    IoFreeMdl(mdl);

    PMDL pool = IoAllocateMdl(buffer_, 64, FALSE, FALSE, nullptr);
    MmBuildMdlForNonPagedPool(pool);
    EXPECT_EQ(MmGetSystemAddressForMdlSafe(pool, NormalPagePriority), buffer_);
    // Nonpaged pool is mapped already: nothing new to record.
    EXPECT_EQ(pool->MdlFlags, MDL_SOURCE_IS_NONPAGED_POOL);
    IoFreeMdl(pool);
}

TEST_F(MdlTest, PartialMdlIsMappedOnDemandAndPreparedForReuse)
{
    PMDL source = IoAllocateMdl(buffer_, kLength, FALSE, FALSE, nullptr);
    MmProbeAndLockPages(source, KernelMode, IoReadAccess);
    PMDL partial = IoAllocateMdl(buffer_, 4096, FALSE, FALSE, nullptr);

    PUCHAR stage = buffer_ + 4096;
    IoBuildPartialMdl(source, partial, stage, 4096);
    EXPECT_EQ(MmGetMdlVirtualAddress(partial), stage);
    EXPECT_EQ(MmGetMdlByteCount(partial), 4096u);
    EXPECT_EQ(partial->MdlFlags, MDL_PARTIAL);
    EXPECT_EQ(MmGetSystemAddressForMdlSafe(partial, NormalPagePriority), stage);
    EXPECT_EQ(partial->MdlFlags, MDL_PARTIAL | MDL_MAPPED_TO_SYSTEM_VA | MDL_PARTIAL_HAS_BEEN_MAPPED);
    MmPrepareMdlForReuse(partial);
    EXPECT_EQ(partial->MdlFlags, MDL_PARTIAL);

    // Length 0 takes the rest of the source.
    IoBuildPartialMdl(source, partial, buffer_ + 2 * 4096, 0);
    EXPECT_EQ(MmGetMdlByteCount(partial), 500u);

    Verifier::Capture capture;
    IoBuildPartialMdl(source, partial, buffer_ + kLength - 10, 20);
    EXPECT_TRUE(capture.Saw(io::rule::kPartialMdlOutsideSource));
    EXPECT_EQ(MmGetMdlByteCount(partial), 500u);

    IoFreeMdl(partial);
    MmUnlockPages(source);
    IoFreeMdl(source);
}

}  // namespace
}  // namespace winsim::test
