// The adapter's life under the PnP manager: slots and DOS names, opens by
// pipe number, stop, query-remove, surprise removal and removal, and what
// arrives after each.
#include <vector>

#include "adapter_fixture.h"
#include "core/io_count.h"
#include "km/io_manager.h"

namespace driver_test {
namespace {

using winsim::pnp::NodeState;

bool DosNameExists(ULONG slot) { return winsim::io::SymbolicLinkTarget(DosName(slot)).has_value(); }

std::string Serial(int n) { return "QTR" + std::to_string(1000 + n); }

// Interface 0 with the message pipes first and `pipes` bulk endpoints in all.
winsim::hw::DescriptorLayout WithPipes(UCHAR pipes)
{
    winsim::hw::DescriptorLayout layout = winsim::hw::DescriptorLayout::Adapter();
    auto& endpoints = layout.interfaces[0].endpoints;
    endpoints.clear();
    for (UCHAR i = 0; i < pipes; ++i) {
        const UCHAR number = static_cast<UCHAR>(1 + i / 2);
        endpoints.push_back({static_cast<UCHAR>(i % 2 == 0 ? 0x80 | number : number), USB_ENDPOINT_TYPE_BULK, 64, 0});
    }
    return layout;
}

NTSTATUS KeepIrp(PDEVICE_OBJECT, PIRP, PVOID) { return STATUS_MORE_PROCESSING_REQUIRED; }

class LifecycleTest : public AdapterTest {};

TEST_F(LifecycleTest, EightAdaptersGetSlotsAndNamesAndANinthWorksWithoutOne)
{
    std::vector<PluggedAdapter> adapters;
    for (int i = 0; i < 9; ++i) adapters.push_back(Plug(Serial(i)));
    for (int i = 0; i < 8; ++i) {
        ASSERT_NE(Extension(adapters[i])->adapterEntry, nullptr) << i;
        EXPECT_EQ(Extension(adapters[i])->adapterEntry->index, static_cast<ULONG>(i));
        EXPECT_TRUE(DosNameExists(static_cast<ULONG>(i)));
    }
    AdapterExtension* ninth = Extension(adapters[8]);
    EXPECT_EQ(adapters[8].control->State(), NodeState::kStarted);
    EXPECT_EQ(CurrentState(ninth), Working);
    EXPECT_EQ(ninth->adapterEntry, nullptr);
    EXPECT_FALSE(DosNameExists(8));

    // The third adapter leaves; the next one takes its slot and its name.
    Unplug(adapters[2]);
    EXPECT_FALSE(DosNameExists(2));
    PluggedAdapter next = Plug(Serial(9));
    ASSERT_NE(Extension(next)->adapterEntry, nullptr);
    EXPECT_EQ(Extension(next)->adapterEntry->index, 2u);
    EXPECT_TRUE(DosNameExists(2));
    PFILE_OBJECT file = nullptr;
    ASSERT_EQ(Open(DosName(2), &file), STATUS_SUCCESS);
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(file->DeviceObject);
    EXPECT_EQ(top, Fdo(next));
    ObDereferenceObject(top);
    Close(file);
}

TEST_F(LifecycleTest, OpensNameAPipeByTheLastNumberOfTheFileName)
{
    PluggedAdapter adapter = Plug(Serial(0), WithPipes(6));
    AdapterExtension* extension = Extension(adapter);
    ASSERT_EQ(extension->interfaceInfo->NumberOfPipes, 6u);

    PFILE_OBJECT control = nullptr, pipe = nullptr, rejected = nullptr;
    ASSERT_EQ(Open(DosName(0), &control), STATUS_SUCCESS);
    EXPECT_EQ(control->FsContext, nullptr);
    ASSERT_EQ(Open(DosName(0) + u"\\PIPE05", &pipe), STATUS_SUCCESS);
    EXPECT_EQ(pipe->FsContext, &extension->interfaceInfo->Pipes[5]);
    EXPECT_EQ(extension->pipeOpen[5], 1);
    EXPECT_EQ(extension->openHandles, 2);

    EXPECT_EQ(Open(DosName(0) + u"\\x6", &rejected), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Open(DosName(0) + u"\\x7", &rejected), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Open(DosName(0) + u"\\pipe", &rejected), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(extension->openHandles, 2);

    Close(pipe);
    EXPECT_EQ(extension->pipeOpen[5], 0);
    Close(control);
    EXPECT_EQ(extension->openHandles, 0);
}

TEST_F(LifecycleTest, NoPipeAboveFiveOpensHoweverManyTheInterfaceHas)
{
    PluggedAdapter adapter = Plug(Serial(0), WithPipes(14));
    ASSERT_EQ(Extension(adapter)->interfaceInfo->NumberOfPipes, 14u);
    PFILE_OBJECT file = nullptr;
    EXPECT_EQ(Open(DosName(0) + u"\\x12", &file), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Open(DosName(0) + u"\\x6", &file), STATUS_INVALID_PARAMETER);
    ASSERT_EQ(Open(DosName(0) + u"\\x5", &file), STATUS_SUCCESS);
    Close(file);
}

TEST_F(LifecycleTest, AfterStopOpensFailUntilTheNextStart)
{
    PluggedAdapter adapter = Plug(Serial(0));
    AdapterExtension* extension = Extension(adapter);
    ASSERT_EQ(pnp().SendPnp(adapter.control, IRP_MN_QUERY_STOP_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(CurrentState(extension), PendingStop);
    PFILE_OBJECT file = nullptr;
    EXPECT_EQ(Open(DosName(0), &file), STATUS_DELETE_PENDING);
    ASSERT_EQ(pnp().SendPnp(adapter.control, IRP_MN_STOP_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(CurrentState(extension), Stopped);
    EXPECT_EQ(extension->interfaceInfo, nullptr);
    EXPECT_EQ(Open(DosName(0), &file), STATUS_DELETE_PENDING);

    ASSERT_TRUE(NT_SUCCESS(pnp().SendPnp(adapter.control, IRP_MN_START_DEVICE)));
    EXPECT_EQ(CurrentState(extension), Working);
    ASSERT_EQ(Open(DosName(0), &file), STATUS_SUCCESS);
    Close(file);
}

TEST_F(LifecycleTest, AStopSucceedsWhenTheDeviceRefusesToBeDeconfigured)
{
    PluggedAdapter adapter = Plug(Serial(0));
    ASSERT_EQ(pnp().SendPnp(adapter.control, IRP_MN_QUERY_STOP_DEVICE), STATUS_SUCCESS);
    adapter.model->RefuseRequests(URB_FUNCTION_SELECT_CONFIGURATION, STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(pnp().SendPnp(adapter.control, IRP_MN_STOP_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(CurrentState(Extension(adapter)), Stopped);

    adapter.model->RefuseRequests(URB_FUNCTION_SELECT_CONFIGURATION, STATUS_SUCCESS);
    ASSERT_TRUE(NT_SUCCESS(pnp().SendPnp(adapter.control, IRP_MN_START_DEVICE)));
    EXPECT_EQ(CurrentState(Extension(adapter)), Working);
}

TEST_F(LifecycleTest, CancelledQueryStopAndQueryRemoveGoBackToWork)
{
    PluggedAdapter adapter = Plug(Serial(0));
    AdapterExtension* extension = Extension(adapter);
    ASSERT_EQ(pnp().SendPnp(adapter.control, IRP_MN_QUERY_STOP_DEVICE), STATUS_SUCCESS);
    ASSERT_EQ(pnp().SendPnp(adapter.control, IRP_MN_CANCEL_STOP_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(CurrentState(extension), Working);
    ASSERT_EQ(pnp().SendPnp(adapter.control, IRP_MN_QUERY_REMOVE_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(CurrentState(extension), PendingRemove);
    ASSERT_EQ(pnp().SendPnp(adapter.control, IRP_MN_CANCEL_REMOVE_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(CurrentState(extension), Working);
    // A cancel-remove that follows no query changes nothing.
    ASSERT_EQ(pnp().SendPnp(adapter.control, IRP_MN_CANCEL_REMOVE_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(CurrentState(extension), Working);
}

TEST_F(LifecycleTest, QueryRemoveIsRefusedWhileThePortInterfaceIsReferenced)
{
    PluggedAdapter adapter = Plug(Serial(0));
    AdapterExtension* extension = Extension(adapter);
    InterfaceReference(extension);
    EXPECT_EQ(pnp().Eject(adapter.device), STATUS_DEVICE_BUSY);
    EXPECT_EQ(CurrentState(extension), Working);
    EXPECT_EQ(adapter.control->State(), NodeState::kStarted);

    InterfaceDereference(extension);
    EXPECT_EQ(pnp().Eject(adapter.device), STATUS_SUCCESS);
    EXPECT_EQ(adapter.control->State(), NodeState::kRemoved);
    EXPECT_FALSE(DosNameExists(0));
}

TEST_F(LifecycleTest, EveryPnpRequestAfterRemoveFindsNoDevice)
{
    PluggedAdapter adapter = Plug(Serial(0));
    PDEVICE_OBJECT fdo = Fdo(adapter);
    // Keeps the deleted device object readable, as an outstanding reference does.
    ObReferenceObject(fdo);
    ASSERT_EQ(pnp().Eject(adapter.device), STATUS_SUCCESS);

    for (UCHAR minor : {IRP_MN_START_DEVICE, IRP_MN_QUERY_REMOVE_DEVICE, IRP_MN_REMOVE_DEVICE,
                        IRP_MN_CANCEL_REMOVE_DEVICE, IRP_MN_STOP_DEVICE, IRP_MN_QUERY_STOP_DEVICE,
                        IRP_MN_CANCEL_STOP_DEVICE, IRP_MN_QUERY_INTERFACE, IRP_MN_QUERY_CAPABILITIES,
                        IRP_MN_SURPRISE_REMOVAL, IRP_MN_QUERY_PNP_DEVICE_STATE}) {
        PIRP irp = IoAllocateIrp(fdo->StackSize, FALSE);
        irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
        next->MajorFunction = IRP_MJ_PNP;
        next->MinorFunction = minor;
        IoSetCompletionRoutine(irp, KeepIrp, nullptr, TRUE, TRUE, TRUE);
        EXPECT_EQ(IoCallDriver(fdo, irp), STATUS_NO_SUCH_DEVICE) << static_cast<int>(minor);
        EXPECT_EQ(irp->IoStatus.Status, STATUS_NO_SUCH_DEVICE);
        IoFreeIrp(irp);
    }
    ObDereferenceObject(fdo);
}

TEST_F(LifecycleTest, AHandleOpenAtSurpriseRemovalClosesAndThenTheRemoveFinishes)
{
    PluggedAdapter adapter = Plug(Serial(0), WithPipes(6));
    PFILE_OBJECT control = nullptr, pipe = nullptr;
    ASSERT_EQ(Open(DosName(0), &control), STATUS_SUCCESS);
    ASSERT_EQ(Open(DosName(0) + u"\\x3", &pipe), STATUS_SUCCESS);
    Unplug(adapter);
    EXPECT_EQ(adapter.control->State(), NodeState::kSurpriseRemoved);
    EXPECT_EQ(CurrentState(Extension(adapter)), SurpriseRemoved);
    PFILE_OBJECT late = nullptr;
    EXPECT_EQ(Open(DosName(0), &late), STATUS_OBJECT_NAME_NOT_FOUND);

    Close(pipe);
    Close(control);
    pnp().WaitIdle();
    EXPECT_EQ(adapter.control->State(), NodeState::kDeleted);
}

TEST_F(LifecycleTest, RemoveWaitsForTheRequestsStillOutstanding)
{
    PluggedAdapter adapter = Plug(Serial(0));
    AdapterExtension* extension = Extension(adapter);
    // A request in progress holds a count, as every dispatch routine does.
    IoCountIncrement(extension);
    machine().Usb().Unplug(*adapter.model);
    machine().RunUntilQuiet();
    EXPECT_EQ(adapter.control->State(), NodeState::kSurpriseRemoved);
    EXPECT_NE(adapter.control->Pdo(), nullptr);
    // The remove is under way and waiting; the rings are still there for the
    // request that holds the count.
    EXPECT_NE(extension->ports[0].transmitRing, nullptr);

    IoCountDecrement(extension);
    pnp().WaitIdle();
    EXPECT_EQ(adapter.control->State(), NodeState::kDeleted);
}

TEST_F(LifecycleTest, InterfaceNumbersWithGapsAreAllFound)
{
    winsim::hw::DescriptorLayout layout = winsim::hw::DescriptorLayout::Adapter();
    layout.interfaces.resize(3);
    layout.interfaces[1].number = 2;
    layout.interfaces[2].number = 7;
    PluggedAdapter adapter = Plug(Serial(0), layout);
    EXPECT_EQ(CurrentState(Extension(adapter)), Working);
    EXPECT_EQ(Extension(adapter)->interfaceInfo->InterfaceNumber, 0);
}

TEST_F(LifecycleTest, DescriptorsThatPromiseMoreThanTheyHoldFailTheStart)
{
    winsim::hw::DescriptorLayout lying = winsim::hw::DescriptorLayout::Adapter();
    lying.claimedInterfaces = 9;
    winsim::hw::DescriptorLayout broken = winsim::hw::DescriptorLayout::Adapter();
    broken.zeroLengthAfterInterface = 0;
    for (const winsim::hw::DescriptorLayout& layout : {lying, broken}) {
        PluggedAdapter adapter = Plug(Serial(layout.claimedInterfaces ? 1 : 2), layout);
        EXPECT_EQ(adapter.control->State(), NodeState::kStartFailed);
        EXPECT_EQ(adapter.control->LastStatus(), STATUS_DEVICE_DATA_ERROR);
        Unplug(adapter);
    }
}

}  // namespace
}  // namespace driver_test
