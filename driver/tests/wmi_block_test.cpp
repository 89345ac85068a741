// The adapter's WMI data block on plugged adapters: registration, query,
// set block and set item through the system-control dispatch.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "adapter_fixture.h"
#include "common/guids.h"
#include "services/wmi_block.h"

namespace driver_test {
namespace {

const GUID kBlockGuid = QTR_WMI_DATA_BLOCK_GUID_INIT;

struct Answer {
    NTSTATUS status;
    ULONG_PTR information;
};

NTSTATUS KeepIrp(PDEVICE_OBJECT, PIRP, PVOID) { return STATUS_MORE_PROCESSING_REQUIRED; }

class WmiBlockTest : public AdapterTest {
protected:
    // One IRP_MJ_SYSTEM_CONTROL request to the adapter's stack, as WMI sends it.
    Answer Send(const PluggedAdapter& adapter, UCHAR minor, void* buffer, ULONG size,
                PDEVICE_OBJECT provider = nullptr)
    {
        PDEVICE_OBJECT fdo = Fdo(adapter);
        PIRP irp = IoAllocateIrp(fdo->StackSize, FALSE);
        EXPECT_NE(irp, nullptr);
        if (irp == nullptr) return {STATUS_INSUFFICIENT_RESOURCES, 0};
        irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
        PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
        stack->MajorFunction = IRP_MJ_SYSTEM_CONTROL;
        stack->MinorFunction = minor;
        stack->Parameters.WMI.ProviderId = reinterpret_cast<ULONG_PTR>(provider != nullptr ? provider : fdo);
        stack->Parameters.WMI.DataPath = const_cast<GUID*>(&kBlockGuid);
        stack->Parameters.WMI.BufferSize = size;
        stack->Parameters.WMI.Buffer = buffer;
        IoSetCompletionRoutine(irp, KeepIrp, nullptr, TRUE, TRUE, TRUE);
        IoCallDriver(fdo, irp);
        Answer answer = {irp->IoStatus.Status, irp->IoStatus.Information};
        IoFreeIrp(irp);
        return answer;
    }
    static std::unique_ptr<UCHAR[]> SingleInstance(ULONG dataBytes)
    {
        const ULONG size = sizeof(WNODE_SINGLE_INSTANCE) + dataBytes;
        std::unique_ptr<UCHAR[]> buffer(new UCHAR[size]());
        auto* wnode = reinterpret_cast<PWNODE_SINGLE_INSTANCE>(buffer.get());
        wnode->WnodeHeader.BufferSize = size;
        wnode->WnodeHeader.Guid = kBlockGuid;
        wnode->WnodeHeader.Flags = WNODE_FLAG_STATIC_INSTANCE_NAMES;
        wnode->DataBlockOffset = sizeof(WNODE_SINGLE_INSTANCE);
        wnode->SizeDataBlock = dataBytes;
        return buffer;
    }
    ULONG QueryValue(const PluggedAdapter& adapter)
    {
        auto buffer = SingleInstance(256);
        Answer answer = Send(adapter, IRP_MN_QUERY_SINGLE_INSTANCE, buffer.get(), sizeof(WNODE_SINGLE_INSTANCE) + 256);
        EXPECT_EQ(answer.status, STATUS_SUCCESS);
        ULONG value = 0;
        std::memcpy(&value, buffer.get() + sizeof(WNODE_SINGLE_INSTANCE), sizeof(value));
        return value;
    }
    Answer SetBlock(const PluggedAdapter& adapter, const void* data, ULONG bytes)
    {
        auto buffer = SingleInstance(bytes);
        std::memcpy(buffer.get() + sizeof(WNODE_SINGLE_INSTANCE), data, bytes);
        return Send(adapter, IRP_MN_CHANGE_SINGLE_INSTANCE, buffer.get(), sizeof(WNODE_SINGLE_INSTANCE) + bytes);
    }
    Answer SetItem(const PluggedAdapter& adapter, ULONG itemId, const void* data, ULONG bytes)
    {
        const ULONG size = sizeof(WNODE_SINGLE_ITEM) + bytes;
        std::unique_ptr<UCHAR[]> buffer(new UCHAR[size]());
        auto* wnode = reinterpret_cast<PWNODE_SINGLE_ITEM>(buffer.get());
        wnode->WnodeHeader.BufferSize = size;
        wnode->WnodeHeader.Guid = kBlockGuid;
        wnode->WnodeHeader.Flags = WNODE_FLAG_STATIC_INSTANCE_NAMES;
        wnode->DataBlockOffset = sizeof(WNODE_SINGLE_ITEM);
        wnode->ItemId = itemId;
        wnode->SizeDataItem = bytes;
        std::memcpy(buffer.get() + sizeof(WNODE_SINGLE_ITEM), data, bytes);
        return Send(adapter, IRP_MN_CHANGE_SINGLE_ITEM, buffer.get(), size);
    }
};

TEST_F(WmiBlockTest, RegistrationNamesThePdoTheServiceKeyAndTheMofResource)
{
    PluggedAdapter adapter = Plug("QTR6000");
    std::unique_ptr<UCHAR[]> buffer(new UCHAR[1024]());
    Answer answer = Send(adapter, IRP_MN_REGINFO, buffer.get(), 1024);
    ASSERT_EQ(answer.status, STATUS_SUCCESS);
    auto* info = reinterpret_cast<PWMIREGINFOW>(buffer.get());
    ASSERT_EQ(info->GuidCount, 1u);
    EXPECT_TRUE(IsEqualGUID(info->WmiRegGuid[0].Guid, kBlockGuid));
    EXPECT_EQ(info->WmiRegGuid[0].InstanceCount, 1u);
    EXPECT_EQ(info->WmiRegGuid[0].Flags & WMIREG_FLAG_INSTANCE_PDO, static_cast<ULONG>(WMIREG_FLAG_INSTANCE_PDO));
    EXPECT_EQ(info->WmiRegGuid[0].Pdo, reinterpret_cast<ULONG_PTR>(adapter.control->Pdo()));
    USHORT length = 0;
    std::memcpy(&length, buffer.get() + info->MofResourceName, sizeof(length));
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(buffer.get() + info->MofResourceName + 2), length / 2),
              u"MofResourceName");
    std::memcpy(&length, buffer.get() + info->RegistryPath, sizeof(length));
    const std::u16string path(reinterpret_cast<const char16_t*>(buffer.get() + info->RegistryPath + 2), length / 2);
    EXPECT_EQ(path.substr(path.size() - 8), u"\\84prusb");
}

TEST_F(WmiBlockTest, QueryReturnsTheValueAndTheCountedText)
{
    PluggedAdapter adapter = Plug("QTR6001");
    auto buffer = SingleInstance(256);
    Answer answer = Send(adapter, IRP_MN_QUERY_SINGLE_INSTANCE, buffer.get(), sizeof(WNODE_SINGLE_INSTANCE) + 256);
    ASSERT_EQ(answer.status, STATUS_SUCCESS);
    auto* wnode = reinterpret_cast<PWNODE_SINGLE_INSTANCE>(buffer.get());
    const UCHAR* block = buffer.get() + wnode->DataBlockOffset;
    ULONG value = 0;
    USHORT textBytes = 0;
    std::memcpy(&value, block, sizeof(value));
    std::memcpy(&textBytes, block + 4, sizeof(textBytes));
    EXPECT_EQ(value, 3u);  // as every load starts
    EXPECT_GT(textBytes, 0u);
    EXPECT_EQ(textBytes % 2, 0u);
    EXPECT_EQ(wnode->SizeDataBlock, 6u + textBytes);
    // Text without a terminator.
    EXPECT_NE(block[6 + textBytes - 2] | block[6 + textBytes - 1], 0);

    // Five bytes of room: the WMI library answers with the size needed.
    auto small = SingleInstance(5);
    answer = Send(adapter, IRP_MN_QUERY_SINGLE_INSTANCE, small.get(), sizeof(WNODE_SINGLE_INSTANCE) + 5);
    ASSERT_EQ(answer.status, STATUS_SUCCESS);
    auto* tooSmall = reinterpret_cast<PWNODE_TOO_SMALL>(small.get());
    EXPECT_NE(tooSmall->WnodeHeader.Flags & WNODE_FLAG_TOO_SMALL, 0u);
    EXPECT_EQ(tooSmall->SizeNeeded, sizeof(WNODE_SINGLE_INSTANCE) + 6u + textBytes);
}

TEST_F(WmiBlockTest, ASetValueIsSharedByEveryAdapterAndWrongSizesChangeNothing)
{
    PluggedAdapter first = Plug("QTR6002");
    PluggedAdapter second = Plug("QTR6003");
    const ULONG seven = 7;
    Answer answer = SetBlock(first, &seven, sizeof(seven));
    EXPECT_EQ(answer.status, STATUS_SUCCESS);
    EXPECT_EQ(QueryValue(first), 7u);
    EXPECT_EQ(QueryValue(second), 7u);

    const ULONG64 eight = 8;
    EXPECT_EQ(SetBlock(second, &eight, sizeof(eight)).status, STATUS_INFO_LENGTH_MISMATCH);
    EXPECT_EQ(QueryValue(first), 7u);

    const ULONG nine = 9;
    EXPECT_EQ(SetItem(second, 2, &nine, sizeof(nine)).status, STATUS_WMI_ITEMID_NOT_FOUND);
    EXPECT_EQ(SetItem(second, 1, &eight, sizeof(eight)).status, STATUS_INFO_LENGTH_MISMATCH);
    EXPECT_EQ(QueryValue(first), 7u);
    EXPECT_EQ(SetItem(second, 1, &nine, sizeof(nine)).status, STATUS_SUCCESS);
    EXPECT_EQ(QueryValue(first), 9u);
}

TEST_F(WmiBlockTest, RequestsForAnotherProviderGoDownTheStack)
{
    PluggedAdapter adapter = Plug("QTR6004");
    auto buffer = SingleInstance(16);
    const LONG before = Extension(adapter)->outstandingIo;
    Answer answer = Send(adapter, IRP_MN_QUERY_SINGLE_INSTANCE, buffer.get(), sizeof(WNODE_SINGLE_INSTANCE) + 16,
                         adapter.control->Pdo());
    // The bus driver completes what is not its own with the status it came with.
    EXPECT_EQ(answer.status, STATUS_NOT_SUPPORTED);
    EXPECT_EQ(Extension(adapter)->outstandingIo, before);  // counted while handled only
}

}  // namespace
}  // namespace driver_test
