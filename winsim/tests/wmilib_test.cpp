// Tests of WMILIB: WmiSystemControl's dispatch to a driver's WMI callbacks and
// WmiCompleteRequest's WNODEs. Requests are real IRP_MJ_SYSTEM_CONTROL IRPs
// sent to an FDO attached over a PDO, and the FDO's dispatch acts on each
// disposition the way a WMI driver does.
#include <gtest/gtest.h>

#include <string.h>

#include <memory>

#include <ntddk.h>
#include <wmilib.h>
#include <wmistr.h>

#include "km/ob_object.h"
#include "machine/machine.h"
#include "verifier/pool.h"

namespace {

using winsim::Pool;

constexpr GUID kBlockGuid = {0xBBA21300, 0x6DD3, 0x11D2, {0xB8, 0x44, 0x00, 0xC0, 0x4F, 0xAD, 0x51, 0x71}};
constexpr GUID kOtherGuid = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr UCHAR kBlock[6] = {7, 0, 0, 0, 0, 0};  // value 7, empty text
WCHAR kRegistryPath[] = L"\\REGISTRY\\Machine\\System\\CurrentControlSet\\Services\\Test";
WCHAR kMofName[] = L"MofResourceName";

struct Calls {
    int query = 0;
    ULONG instanceIndex = 0;
    ULONG instanceCount = 0;
    PULONG lengths = nullptr;
    ULONG available = 0;
    int set = 0;
    ULONG itemId = 0;
    ULONG setSize = 0;
    PUCHAR setBuffer = nullptr;
};

class WmiLibTest;

// Both devices of the test driver carry it; the PDO has no lower device.
struct TestExtension {
    WmiLibTest* test;
    PDEVICE_OBJECT lower;
};

class WmiLibTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        machine_ = std::make_unique<winsim::Machine>();
        mark_ = Pool::Mark();
        driver_ = machine_->InstallAndLoadDriver("wmilibtest", Entry);
        ASSERT_NE(driver_, nullptr);
        pdo_ = CreateDevice();
        fdo_ = CreateDevice();
        ASSERT_NE(pdo_, nullptr);
        ASSERT_NE(fdo_, nullptr);
        lower_ = IoAttachDeviceToDeviceStack(fdo_, pdo_);
        ASSERT_EQ(lower_, pdo_);
        static_cast<TestExtension*>(fdo_->DeviceExtension)->lower = lower_;

        context_.GuidCount = 1;
        context_.GuidList = guids_;
        context_.QueryWmiRegInfo = QueryRegInfo;
        context_.QueryWmiDataBlock = QueryDataBlock;
        context_.SetWmiDataBlock = SetDataBlock;
        context_.SetWmiDataItem = SetDataItem;
    }

    void TearDown() override
    {
        if (lower_ != nullptr) IoDetachDevice(lower_);
        if (fdo_ != nullptr) IoDeleteDevice(fdo_);
        if (pdo_ != nullptr) IoDeleteDevice(pdo_);
        machine_.reset();  // unloads the driver
        for (const winsim::PoolBlock& block : Pool::LeaksSince(mark_)) {
            ADD_FAILURE() << "leaked " << block.bytes << " bytes of pool tagged " << block.tag;
        }
        for (const winsim::ViolationReport& report : capture_.Reports()) {
            ADD_FAILURE() << winsim::FormatViolation(report);
        }
    }

    static NTSTATUS Entry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
    {
        UNREFERENCED_PARAMETER(registryPath);
        driver->MajorFunction[IRP_MJ_SYSTEM_CONTROL] = DispatchSystemControl;
        driver->DriverUnload = Unload;
        return STATUS_SUCCESS;
    }

    static VOID Unload(PDRIVER_OBJECT driver) { UNREFERENCED_PARAMETER(driver); }

    PDEVICE_OBJECT CreateDevice()
    {
        PDEVICE_OBJECT device = nullptr;
        NTSTATUS status =
            IoCreateDevice(driver_, sizeof(TestExtension), nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
        EXPECT_EQ(status, STATUS_SUCCESS);
        if (!NT_SUCCESS(status)) return nullptr;
        *static_cast<TestExtension*>(device->DeviceExtension) = TestExtension{this, nullptr};
        device->Flags &= ~DO_DEVICE_INITIALIZING;
        return device;
    }

    // The FDO hands WMILIB every request and then does what the disposition
    // asks; the PDO completes what reaches it untouched, as a bus driver does
    // with WMI requests that are not its own.
    static NTSTATUS DispatchSystemControl(PDEVICE_OBJECT device, PIRP irp)
    {
        auto* extension = static_cast<TestExtension*>(device->DeviceExtension);
        WmiLibTest& test = *extension->test;
        if (extension->lower == nullptr) {
            ++test.pdoRequests_;
            const NTSTATUS status = irp->IoStatus.Status;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return status;
        }
        test.returned_ = WmiSystemControl(&test.context_, device, irp, &test.disposition_);
        test.completedByWmiLib_ = test.completions_ != 0;
        switch (test.disposition_) {
        case IrpProcessed:
            return test.returned_;
        case IrpNotCompleted: {
            const NTSTATUS status = irp->IoStatus.Status;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return status;
        }
        default:
            IoSkipCurrentIrpStackLocation(irp);
            return IoCallDriver(extension->lower, irp);
        }
    }

    static WmiLibTest* Self(PDEVICE_OBJECT device)
    {
        return static_cast<TestExtension*>(device->DeviceExtension)->test;
    }

    static NTSTATUS QueryRegInfo(PDEVICE_OBJECT device, PULONG regFlags, PUNICODE_STRING instanceName,
                                 PUNICODE_STRING* registryPath, PUNICODE_STRING mofResourceName,
                                 PDEVICE_OBJECT* pdo)
    {
        UNREFERENCED_PARAMETER(instanceName);
        static UNICODE_STRING path = {sizeof(kRegistryPath) - 2, sizeof(kRegistryPath), kRegistryPath};
        *regFlags = WMIREG_FLAG_INSTANCE_PDO;
        *registryPath = &path;
        *mofResourceName = UNICODE_STRING{sizeof(kMofName) - 2, sizeof(kMofName), kMofName};
        *pdo = Self(device)->pdo_;
        return STATUS_SUCCESS;
    }

    // Serves a 6-byte block the way a driver does, reporting the size it
    // needs when the buffer cannot take it.
    static NTSTATUS QueryDataBlock(PDEVICE_OBJECT device, PIRP irp, ULONG guidIndex, ULONG instanceIndex,
                                   ULONG instanceCount, PULONG instanceLengthArray, ULONG bufferAvail,
                                   PUCHAR buffer)
    {
        UNREFERENCED_PARAMETER(guidIndex);
        Calls& c = Self(device)->calls;
        ++c.query;
        c.instanceIndex = instanceIndex;
        c.instanceCount = instanceCount;
        c.lengths = instanceLengthArray;
        c.available = bufferAvail;
        if (instanceLengthArray == nullptr || bufferAvail < sizeof(kBlock)) {
            return WmiCompleteRequest(device, irp, STATUS_BUFFER_TOO_SMALL, sizeof(kBlock), IO_NO_INCREMENT);
        }
        memcpy(buffer, kBlock, sizeof(kBlock));
        instanceLengthArray[0] = sizeof(kBlock);
        return WmiCompleteRequest(device, irp, STATUS_SUCCESS, sizeof(kBlock), IO_NO_INCREMENT);
    }

    static NTSTATUS SetDataBlock(PDEVICE_OBJECT device, PIRP irp, ULONG guidIndex, ULONG instanceIndex,
                                 ULONG bufferSize, PUCHAR buffer)
    {
        return SetDataItem(device, irp, guidIndex, instanceIndex, 0, bufferSize, buffer);
    }

    static NTSTATUS SetDataItem(PDEVICE_OBJECT device, PIRP irp, ULONG guidIndex, ULONG instanceIndex,
                                ULONG dataItemId, ULONG bufferSize, PUCHAR buffer)
    {
        UNREFERENCED_PARAMETER(guidIndex);
        Calls& c = Self(device)->calls;
        ++c.set;
        c.instanceIndex = instanceIndex;
        c.itemId = dataItemId;
        c.setSize = bufferSize;
        c.setBuffer = buffer;
        return WmiCompleteRequest(device, irp, STATUS_SUCCESS, bufferSize, IO_NO_INCREMENT);
    }

    // The sender keeps its IRP to read the final status.
    static NTSTATUS Completed(PDEVICE_OBJECT device, PIRP irp, PVOID context)
    {
        UNREFERENCED_PARAMETER(device);
        UNREFERENCED_PARAMETER(irp);
        ++static_cast<WmiLibTest*>(context)->completions_;
        return STATUS_MORE_PROCESSING_REQUIRED;
    }

    // Sends a system-control request to the FDO as WMI does, keeps its final
    // IoStatus in status_ and returns WMILIB's disposition.
    SYSCTL_IRP_DISPOSITION Send(UCHAR minor, PVOID buffer, ULONG size, const GUID* guid = &kBlockGuid,
                                PDEVICE_OBJECT provider = nullptr)
    {
        completions_ = 0;
        completedByWmiLib_ = false;
        disposition_ = IrpNotWmi;
        returned_ = STATUS_UNSUCCESSFUL;
        PIRP irp = IoAllocateIrp(fdo_->StackSize, FALSE);
        if (irp == nullptr) {
            ADD_FAILURE() << "no IRP";
            return IrpNotWmi;
        }
        irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
        PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
        stack->MajorFunction = IRP_MJ_SYSTEM_CONTROL;
        stack->MinorFunction = minor;
        stack->Parameters.WMI.ProviderId = reinterpret_cast<ULONG_PTR>(provider != nullptr ? provider : fdo_);
        stack->Parameters.WMI.DataPath = const_cast<GUID*>(guid);
        stack->Parameters.WMI.BufferSize = size;
        stack->Parameters.WMI.Buffer = buffer;
        IoSetCompletionRoutine(irp, Completed, this, TRUE, TRUE, TRUE);
        const NTSTATUS sent = IoCallDriver(fdo_, irp);
        EXPECT_EQ(completions_, 1) << "the request completes once";
        status_ = irp->IoStatus;
        EXPECT_EQ(sent, status_.Status);
        IoFreeIrp(irp);
        return disposition_;
    }

    // A WNODE buffer of exactly `size` bytes, as WMI would prepare it.
    template <typename Wnode>
    std::unique_ptr<UCHAR[]> MakeWnode(ULONG size, ULONG dataBlockOffset = sizeof(Wnode))
    {
        std::unique_ptr<UCHAR[]> buffer(new UCHAR[size]());
        auto* wnode = reinterpret_cast<Wnode*>(buffer.get());
        wnode->WnodeHeader.BufferSize = size;
        wnode->WnodeHeader.Guid = kBlockGuid;
        wnode->WnodeHeader.Flags = WNODE_FLAG_STATIC_INSTANCE_NAMES;
        wnode->DataBlockOffset = dataBlockOffset;  // WMILIB sets its own for all-data queries
        return buffer;
    }

    Calls calls;
    PDEVICE_OBJECT fdo_ = nullptr;
    PDEVICE_OBJECT pdo_ = nullptr;
    WMIGUIDREGINFO guids_[1] = {{&kBlockGuid, 1, 0}};
    WMILIB_CONTEXT context_{};
    // What the last request came to.
    IO_STATUS_BLOCK status_{};
    SYSCTL_IRP_DISPOSITION disposition_ = IrpNotWmi;
    NTSTATUS returned_ = STATUS_UNSUCCESSFUL;
    bool completedByWmiLib_ = false;
    int completions_ = 0;
    int pdoRequests_ = 0;

private:
    winsim::Verifier::Capture capture_;
    std::unique_ptr<winsim::Machine> machine_;
    winsim::PoolMark mark_;
    PDRIVER_OBJECT driver_ = nullptr;
    PDEVICE_OBJECT lower_ = nullptr;
};

void ExpectCountedString(const UCHAR* regInfo, ULONG offset, const WCHAR* expected, size_t expectedBytes)
{
    ASSERT_NE(offset, 0u);
    USHORT length = 0;
    memcpy(&length, regInfo + offset, sizeof(length));
    EXPECT_EQ(length, expectedBytes);
    EXPECT_EQ(memcmp(regInfo + offset + sizeof(USHORT), expected, expectedBytes), 0);
}

TEST_F(WmiLibTest, RegistrationDescribesTheBlockByPdoWithCountedStrings)
{
    const ULONG needed = 24 + 32 + (2 + sizeof(kRegistryPath) - 2) + (2 + sizeof(kMofName) - 2);
    std::unique_ptr<UCHAR[]> buffer(new UCHAR[needed]);
    const LONG pdoReferences = winsim::ob::PointerCount(pdo_);

    EXPECT_EQ(Send(IRP_MN_REGINFO, buffer.get(), needed), IrpNotCompleted);

    EXPECT_EQ(status_.Status, STATUS_SUCCESS);
    EXPECT_EQ(status_.Information, needed);
    EXPECT_FALSE(completedByWmiLib_);  // the driver completes it
    EXPECT_EQ(winsim::ob::PointerCount(pdo_), pdoReferences);  // only REGINFO_EX hands over a reference
    auto* regInfo = reinterpret_cast<PWMIREGINFOW>(buffer.get());
    EXPECT_EQ(regInfo->BufferSize, needed);
    ASSERT_EQ(regInfo->GuidCount, 1u);
    EXPECT_TRUE(IsEqualGUID(regInfo->WmiRegGuid[0].Guid, kBlockGuid));
    EXPECT_EQ(regInfo->WmiRegGuid[0].InstanceCount, 1u);
    EXPECT_EQ(regInfo->WmiRegGuid[0].Flags & WMIREG_FLAG_INSTANCE_PDO, WMIREG_FLAG_INSTANCE_PDO);
    EXPECT_EQ(regInfo->WmiRegGuid[0].Pdo, reinterpret_cast<ULONG_PTR>(pdo_));
    ExpectCountedString(buffer.get(), regInfo->RegistryPath, kRegistryPath, sizeof(kRegistryPath) - 2);
    ExpectCountedString(buffer.get(), regInfo->MofResourceName, kMofName, sizeof(kMofName) - 2);
}

TEST_F(WmiLibTest, RegistrationExReferencesThePdoItHandsOver)
{
    std::unique_ptr<UCHAR[]> buffer(new UCHAR[512]);
    const LONG pdoReferences = winsim::ob::PointerCount(pdo_);

    EXPECT_EQ(Send(IRP_MN_REGINFO_EX, buffer.get(), 512), IrpNotCompleted);

    EXPECT_EQ(status_.Status, STATUS_SUCCESS);
    EXPECT_EQ(winsim::ob::PointerCount(pdo_), pdoReferences + 1);
    ObDereferenceObject(pdo_);  // as WMI does once it has read the registration
}

TEST_F(WmiLibTest, RegistrationIntoASmallBufferReportsTheSizeNeeded)
{
    std::unique_ptr<UCHAR[]> full(new UCHAR[512]);
    Send(IRP_MN_REGINFO, full.get(), 512);
    const ULONG needed = reinterpret_cast<PWMIREGINFOW>(full.get())->BufferSize;

    std::unique_ptr<UCHAR[]> small(new UCHAR[8]);
    EXPECT_EQ(Send(IRP_MN_REGINFO, small.get(), 8), IrpNotCompleted);
    EXPECT_EQ(status_.Status, STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(status_.Information, sizeof(ULONG));
    ULONG reported = 0;
    memcpy(&reported, small.get(), sizeof(reported));
    EXPECT_EQ(reported, needed);
}

TEST_F(WmiLibTest, QuerySingleInstanceFillsTheBlockAfterTheDataOffset)
{
    const ULONG offset = 80;  // instance name in between
    auto buffer = MakeWnode<WNODE_SINGLE_INSTANCE>(offset + 16, offset);

    EXPECT_EQ(Send(IRP_MN_QUERY_SINGLE_INSTANCE, buffer.get(), offset + 16), IrpProcessed);

    EXPECT_EQ(calls.query, 1);
    EXPECT_EQ(calls.instanceCount, 1u);
    EXPECT_EQ(calls.available, 16u);
    EXPECT_TRUE(completedByWmiLib_);
    EXPECT_EQ(status_.Status, STATUS_SUCCESS);
    EXPECT_EQ(status_.Information, offset + sizeof(kBlock));
    auto* wnode = reinterpret_cast<PWNODE_SINGLE_INSTANCE>(buffer.get());
    EXPECT_EQ(wnode->WnodeHeader.BufferSize, offset + sizeof(kBlock));
    EXPECT_EQ(wnode->SizeDataBlock, sizeof(kBlock));
    EXPECT_EQ(memcmp(buffer.get() + offset, kBlock, sizeof(kBlock)), 0);
}

TEST_F(WmiLibTest, QuerySingleInstanceIntoASmallBufferAnswersWnodeTooSmall)
{
    const ULONG size = sizeof(WNODE_SINGLE_INSTANCE) + 5;
    auto buffer = MakeWnode<WNODE_SINGLE_INSTANCE>(size);

    EXPECT_EQ(Send(IRP_MN_QUERY_SINGLE_INSTANCE, buffer.get(), size), IrpProcessed);

    EXPECT_EQ(calls.available, 5u);
    EXPECT_EQ(returned_, STATUS_SUCCESS);
    EXPECT_EQ(status_.Status, STATUS_SUCCESS);
    EXPECT_EQ(status_.Information, sizeof(WNODE_TOO_SMALL));
    auto* tooSmall = reinterpret_cast<PWNODE_TOO_SMALL>(buffer.get());
    EXPECT_EQ(tooSmall->WnodeHeader.Flags & WNODE_FLAG_TOO_SMALL, static_cast<ULONG>(WNODE_FLAG_TOO_SMALL));
    EXPECT_EQ(tooSmall->WnodeHeader.BufferSize, sizeof(WNODE_TOO_SMALL));
    EXPECT_EQ(tooSmall->SizeNeeded, sizeof(WNODE_SINGLE_INSTANCE) + sizeof(kBlock));
}

TEST_F(WmiLibTest, QueryAllDataDescribesEachInstanceByOffsetAndLength)
{
    const ULONG size = 128;
    auto buffer = MakeWnode<WNODE_ALL_DATA>(size);

    EXPECT_EQ(Send(IRP_MN_QUERY_ALL_DATA, buffer.get(), size), IrpProcessed);

    auto* wnode = reinterpret_cast<PWNODE_ALL_DATA>(buffer.get());
    const ULONG dataOffset = 72;  // 60 + one pair, 8-aligned
    EXPECT_EQ(calls.lengths, reinterpret_cast<PULONG>(buffer.get() + 60));
    EXPECT_EQ(calls.available, size - dataOffset);
    EXPECT_EQ(wnode->InstanceCount, 1u);
    EXPECT_EQ(wnode->DataBlockOffset, dataOffset);
    EXPECT_EQ(wnode->OffsetInstanceDataAndLength[0].OffsetInstanceData, dataOffset);
    EXPECT_EQ(wnode->OffsetInstanceDataAndLength[0].LengthInstanceData, sizeof(kBlock));
    EXPECT_EQ(wnode->WnodeHeader.BufferSize, dataOffset + sizeof(kBlock));
    EXPECT_EQ(status_.Information, dataOffset + sizeof(kBlock));
    EXPECT_EQ(memcmp(buffer.get() + dataOffset, kBlock, sizeof(kBlock)), 0);
}

TEST_F(WmiLibTest, QueryAllDataWithoutRoomForTheInstanceTableGivesTheCallbackNoBuffer)
{
    const ULONG size = 64;  // holds the WNODE but not its instance table
    auto buffer = MakeWnode<WNODE_ALL_DATA>(size);

    EXPECT_EQ(Send(IRP_MN_QUERY_ALL_DATA, buffer.get(), size), IrpProcessed);

    EXPECT_EQ(calls.lengths, nullptr);
    EXPECT_EQ(calls.available, 0u);
    EXPECT_EQ(status_.Information, sizeof(WNODE_TOO_SMALL));
    EXPECT_EQ(reinterpret_cast<PWNODE_TOO_SMALL>(buffer.get())->SizeNeeded, 72 + sizeof(kBlock));
}

TEST_F(WmiLibTest, ChangeSingleItemPassesTheItemAndItsData)
{
    const ULONG offset = sizeof(WNODE_SINGLE_ITEM);
    auto buffer = MakeWnode<WNODE_SINGLE_ITEM>(offset + 4, offset);
    auto* wnode = reinterpret_cast<PWNODE_SINGLE_ITEM>(buffer.get());
    wnode->ItemId = 1;
    wnode->SizeDataItem = 4;

    EXPECT_EQ(Send(IRP_MN_CHANGE_SINGLE_ITEM, buffer.get(), offset + 4), IrpProcessed);

    EXPECT_EQ(calls.set, 1);
    EXPECT_EQ(calls.itemId, 1u);
    EXPECT_EQ(calls.setSize, 4u);
    EXPECT_EQ(calls.setBuffer, buffer.get() + offset);
    EXPECT_EQ(status_.Information, 0u);  // changes return no data
}

TEST_F(WmiLibTest, ChangeWhoseDataRunsPastTheBufferIsRefused)
{
    const ULONG offset = sizeof(WNODE_SINGLE_INSTANCE);
    auto buffer = MakeWnode<WNODE_SINGLE_INSTANCE>(offset + 4, offset);
    reinterpret_cast<PWNODE_SINGLE_INSTANCE>(buffer.get())->SizeDataBlock = 8;

    EXPECT_EQ(Send(IRP_MN_CHANGE_SINGLE_INSTANCE, buffer.get(), offset + 4), IrpNotCompleted);
    EXPECT_EQ(calls.set, 0);
    EXPECT_EQ(status_.Status, STATUS_INVALID_PARAMETER);
}

TEST_F(WmiLibTest, UnknownGuidIsLeftForTheDriverToCompleteWithGuidNotFound)
{
    auto buffer = MakeWnode<WNODE_SINGLE_INSTANCE>(96);
    EXPECT_EQ(Send(IRP_MN_QUERY_SINGLE_INSTANCE, buffer.get(), 96, &kOtherGuid), IrpNotCompleted);
    EXPECT_EQ(status_.Status, STATUS_WMI_GUID_NOT_FOUND);
    EXPECT_EQ(calls.query, 0);
    EXPECT_FALSE(completedByWmiLib_);
}

TEST_F(WmiLibTest, InstanceOutsideTheRegisteredCountIsNotFound)
{
    auto buffer = MakeWnode<WNODE_SINGLE_INSTANCE>(96);
    reinterpret_cast<PWNODE_SINGLE_INSTANCE>(buffer.get())->InstanceIndex = 1;
    EXPECT_EQ(Send(IRP_MN_QUERY_SINGLE_INSTANCE, buffer.get(), 96), IrpNotCompleted);
    EXPECT_EQ(status_.Status, STATUS_WMI_INSTANCE_NOT_FOUND);
    EXPECT_EQ(calls.query, 0);
}

TEST_F(WmiLibTest, RequestForAnotherDeviceObjectIsForwardedUntouched)
{
    auto buffer = MakeWnode<WNODE_SINGLE_INSTANCE>(96);
    EXPECT_EQ(Send(IRP_MN_QUERY_SINGLE_INSTANCE, buffer.get(), 96, &kBlockGuid, pdo_), IrpForward);
    EXPECT_EQ(pdoRequests_, 1);
    EXPECT_EQ(status_.Status, STATUS_NOT_SUPPORTED);
    EXPECT_EQ(calls.query, 0);
    EXPECT_FALSE(completedByWmiLib_);
}

}  // namespace
