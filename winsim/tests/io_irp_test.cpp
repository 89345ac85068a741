// IRPs through a stack of three devices: completion routines, pending,
// STATUS_MORE_PROCESSING_REQUIRED, completion at DISPATCH_LEVEL, cancel,
// IoBuildDeviceIoControlRequest and work items.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "km/io_pool_tags.h"
#include "io_test_driver.h"
#include "verifier/pool.h"

namespace winsim::test {
namespace {

struct RoutineCall {
    std::string who;
    PDEVICE_OBJECT device;
    KIRQL irql;
    bool pendingReturned;
};

struct Probe {
    std::string who;
    std::vector<RoutineCall>* calls;
    NTSTATUS result = STATUS_SUCCESS;
    PKEVENT signal = nullptr;
};

NTSTATUS ProbeRoutine(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    auto* probe = static_cast<Probe*>(context);
    probe->calls->push_back({probe->who, device, KeGetCurrentIrql(), irp->PendingReturned != FALSE});
    const NTSTATUS result = probe->result;
    if (result != STATUS_MORE_PROCESSING_REQUIRED && irp->PendingReturned) IoMarkIrpPending(irp);
    // The waiter may free the probe as soon as the event is set.
    if (probe->signal != nullptr) KeSetEvent(probe->signal, IO_NO_INCREMENT, FALSE);
    return result;
}

Dispatch ForwardWithRoutine(PDEVICE_OBJECT* lower, Probe* probe)
{
    return [lower, probe](PDEVICE_OBJECT, PIRP irp) {
        IoCopyCurrentIrpStackLocationToNext(irp);
        IoSetCompletionRoutine(irp, ProbeRoutine, probe, TRUE, TRUE, TRUE);
        return IoCallDriver(*lower, irp);
    };
}

// Hands the IRP on with a copied location and no routine of its own.
Dispatch ForwardWithoutRoutine(PDEVICE_OBJECT* lower)
{
    return [lower](PDEVICE_OBJECT, PIRP irp) {
        IoCopyCurrentIrpStackLocationToNext(irp);
        return IoCallDriver(*lower, irp);
    };
}

// Keeps the IRP pending until the test completes it.
Dispatch Hold(PIRP* held)
{
    return [held](PDEVICE_OBJECT, PIRP irp) {
        IoMarkIrpPending(irp);
        *held = irp;
        return STATUS_PENDING;
    };
}

class IrpTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        driver_ = std::make_unique<TestDriver>("irptest");
    }
    void TearDown() override
    {
        if (topLower_ != nullptr) IoDetachDevice(topLower_);
        if (middleLower_ != nullptr) IoDetachDevice(middleLower_);
        for (PDEVICE_OBJECT device : devices_) TestDriver::DeleteDevice(device);
        driver_.reset();
        MachineTest::TearDown();
    }

    // top over middle over bottom.
    void BuildStack(Dispatch top, Dispatch middle, Dispatch bottom)
    {
        bottom_ = Add(std::move(bottom));
        middle_ = Add(std::move(middle));
        middleLower_ = IoAttachDeviceToDeviceStack(middle_, bottom_);
        top_ = Add(std::move(top));
        topLower_ = IoAttachDeviceToDeviceStack(top_, bottom_);
    }

    PDEVICE_OBJECT Add(Dispatch dispatch)
    {
        devices_.push_back(driver_->CreateDevice(nullptr, std::move(dispatch)));
        return devices_.back();
    }

    // An IRP of the test's own, with a routine that keeps it.
    PIRP AllocateOwnedIrp(Probe* owner)
    {
        PIRP irp = IoAllocateIrp(top_->StackSize, FALSE);
        IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
        owner->result = STATUS_MORE_PROCESSING_REQUIRED;
        IoSetCompletionRoutine(irp, ProbeRoutine, owner, TRUE, TRUE, TRUE);
        return irp;
    }

    std::unique_ptr<TestDriver> driver_;
    std::vector<PDEVICE_OBJECT> devices_;
    PDEVICE_OBJECT top_ = nullptr, middle_ = nullptr, bottom_ = nullptr;
    PDEVICE_OBJECT topLower_ = nullptr, middleLower_ = nullptr;
    std::vector<RoutineCall> calls_;
};

TEST_F(IrpTest, CompletionRoutinesRunBottomUpEachWithItsOwnDevice)
{
    Probe top{"top", &calls_}, middle{"middle", &calls_}, owner{"owner", &calls_};
    BuildStack(ForwardWithRoutine(&topLower_, &top), ForwardWithRoutine(&middleLower_, &middle),
               [](PDEVICE_OBJECT, PIRP irp) { return Complete(irp, STATUS_SUCCESS, 7); });
    ASSERT_EQ(topLower_, middle_);
    ASSERT_EQ(top_->StackSize, 3);

    PIRP irp = AllocateOwnedIrp(&owner);
    ASSERT_EQ(irp->CurrentLocation, 4);
    EXPECT_EQ(IoCallDriver(top_, irp), STATUS_SUCCESS);

    ASSERT_EQ(calls_.size(), 3u);
    EXPECT_EQ(calls_[0].who, "middle");
    EXPECT_EQ(calls_[0].device, middle_);
    EXPECT_EQ(calls_[1].who, "top");
    EXPECT_EQ(calls_[1].device, top_);
    EXPECT_EQ(calls_[2].who, "owner");
    EXPECT_EQ(calls_[2].device, nullptr);
    EXPECT_EQ(irp->IoStatus.Information, 7u);
    IoFreeIrp(irp);
}

TEST_F(IrpTest, MoreProcessingRequiredStopsCompletionUntilTheOwnerCompletesAgain)
{
    Probe top{"top", &calls_}, owner{"owner", &calls_};
    size_t callsWhenMiddleResumed = 0;
    Dispatch middle = [&](PDEVICE_OBJECT, PIRP irp) {
        KEVENT done;
        KeInitializeEvent(&done, NotificationEvent, FALSE);
        Probe keep{"middle", &calls_, STATUS_MORE_PROCESSING_REQUIRED, &done};
        IoCopyCurrentIrpStackLocationToNext(irp);
        IoSetCompletionRoutine(irp, ProbeRoutine, &keep, TRUE, TRUE, TRUE);
        if (IoCallDriver(middleLower_, irp) == STATUS_PENDING) {
            KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
        }
        callsWhenMiddleResumed = calls_.size();
        irp->IoStatus.Information = 42;
        NTSTATUS status = irp->IoStatus.Status;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return status;
    };
    BuildStack(ForwardWithRoutine(&topLower_, &top), middle,
               [](PDEVICE_OBJECT, PIRP irp) { return Complete(irp, STATUS_SUCCESS); });

    PIRP irp = AllocateOwnedIrp(&owner);
    EXPECT_EQ(IoCallDriver(top_, irp), STATUS_SUCCESS);

    // Nothing above the middle ran before the middle completed the IRP again.
    EXPECT_EQ(callsWhenMiddleResumed, 1u);
    ASSERT_EQ(calls_.size(), 3u);
    EXPECT_EQ(calls_[0].who, "middle");
    EXPECT_EQ(calls_[1].who, "top");
    EXPECT_EQ(calls_[2].who, "owner");
    EXPECT_EQ(irp->IoStatus.Information, 42u);
    IoFreeIrp(irp);
}

struct DeferredCompletion {
    KDPC dpc;
    PIRP irp = nullptr;
};

void CompleteFromDpc(PKDPC, PVOID context, PVOID, PVOID)
{
    auto* deferred = static_cast<DeferredCompletion*>(context);
    Complete(deferred->irp, STATUS_SUCCESS);
}

TEST_F(IrpTest, CompletionAtDispatchLevelRunsEveryRoutineAtDispatchLevel)
{
    DeferredCompletion deferred;
    KeInitializeDpc(&deferred.dpc, CompleteFromDpc, &deferred);
    KEVENT finished;
    KeInitializeEvent(&finished, NotificationEvent, FALSE);
    Probe top{"top", &calls_}, middle{"middle", &calls_}, owner{"owner", &calls_};
    BuildStack(ForwardWithRoutine(&topLower_, &top), ForwardWithRoutine(&middleLower_, &middle),
               [&](PDEVICE_OBJECT, PIRP irp) {
                   // The bus answers from its DPC, as a USB host controller does.
                   IoMarkIrpPending(irp);
                   deferred.irp = irp;
                   KeInsertQueueDpc(&deferred.dpc, nullptr, nullptr);
                   return STATUS_PENDING;
               });

    PIRP irp = AllocateOwnedIrp(&owner);
    owner.signal = &finished;
    EXPECT_EQ(IoCallDriver(top_, irp), STATUS_PENDING);
    KeWaitForSingleObject(&finished, Executive, KernelMode, FALSE, nullptr);

    ASSERT_EQ(calls_.size(), 3u);
    for (const RoutineCall& call : calls_) {
        EXPECT_EQ(call.irql, DISPATCH_LEVEL) << call.who;
        EXPECT_TRUE(call.pendingReturned) << call.who;
    }
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
    IoFreeIrp(irp);
}

TEST_F(IrpTest, PendingMovesUpThroughALevelWithoutRoutine)
{
    PIRP held = nullptr;
    Probe top{"top", &calls_}, owner{"owner", &calls_};
    // The middle returns the bottom's STATUS_PENDING without marking its
    // own location: completion marks it on the way up, so that is no fault.
    BuildStack(ForwardWithRoutine(&topLower_, &top), ForwardWithoutRoutine(&middleLower_), Hold(&held));

    PIRP irp = AllocateOwnedIrp(&owner);
    EXPECT_EQ(IoCallDriver(top_, irp), STATUS_PENDING);
    ASSERT_NE(held, nullptr);
    EXPECT_TRUE(calls_.empty());
    Complete(held, STATUS_SUCCESS);

    ASSERT_EQ(calls_.size(), 2u);
    EXPECT_EQ(calls_[0].who, "top");
    EXPECT_TRUE(calls_[0].pendingReturned);
    EXPECT_TRUE(calls_[1].pendingReturned);
    IoFreeIrp(irp);
}

TEST_F(IrpTest, BuiltControlRequestCopiesTheOutputBackAndIsFreed)
{
    PIRP held = nullptr;
    ULONG code = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x801, METHOD_BUFFERED, FILE_ANY_ACCESS);
    std::string seenInput;
    UCHAR seenMajor = 0xFF;
    PDEVICE_OBJECT device = Add([&](PDEVICE_OBJECT, PIRP irp) {
        PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
        seenMajor = location->MajorFunction;
        auto* buffer = static_cast<char*>(irp->AssociatedIrp.SystemBuffer);
        seenInput.assign(buffer, location->Parameters.DeviceIoControl.InputBufferLength);
        std::memcpy(buffer, "abc", 3);
        return Hold(&held)(nullptr, irp);
    });

    const PoolMark mark = Pool::Mark();
    char input[] = "ping";
    char output[8];
    std::memset(output, '#', sizeof output);
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus = {};
    PIRP irp = IoBuildDeviceIoControlRequest(code, device, input, 4, output, sizeof output, TRUE, &event, &ioStatus);
    ASSERT_NE(irp, nullptr);
    EXPECT_EQ(IoCallDriver(device, irp), STATUS_PENDING);
    EXPECT_EQ(seenMajor, IRP_MJ_INTERNAL_DEVICE_CONTROL);
    EXPECT_EQ(seenInput, "ping");
    EXPECT_EQ(std::string(output, 3), "###");  // nothing copied before completion

    Complete(held, STATUS_SUCCESS, 3);
    KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    EXPECT_EQ(ioStatus.Status, STATUS_SUCCESS);
    EXPECT_EQ(ioStatus.Information, 3u);
    // Information bytes, and not one more.
    EXPECT_EQ(std::string(output, sizeof output), "abc#####");
    EXPECT_TRUE(Pool::LeaksSince(mark).empty());
}

TEST_F(IrpTest, BuiltControlRequestFailedAtOnceLeavesStatusBlockAndEventAlone)
{
    PDEVICE_OBJECT device = Add([](PDEVICE_OBJECT, PIRP irp) { return Complete(irp, STATUS_INVALID_PARAMETER); });
    const PoolMark mark = Pool::Mark();
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus;
    ioStatus.Status = STATUS_ALERTED;
    ioStatus.Information = 99;
    char output[4];
    PIRP irp = IoBuildDeviceIoControlRequest(CTL_CODE(FILE_DEVICE_UNKNOWN, 0x802, METHOD_BUFFERED, FILE_ANY_ACCESS),
                                             device, nullptr, 0, output, sizeof output, FALSE, &event, &ioStatus);
    ASSERT_NE(irp, nullptr);
    EXPECT_EQ(IoCallDriver(device, irp), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(KeReadStateEvent(&event), 0);
    EXPECT_EQ(ioStatus.Status, STATUS_ALERTED);
    EXPECT_EQ(ioStatus.Information, 99u);
    EXPECT_TRUE(Pool::LeaksSince(mark).empty());
}

int g_cancelRoutineCalls = 0;

VOID CancelHeldIrp(PDEVICE_OBJECT device, PIRP irp)
{
    UNREFERENCED_PARAMETER(device);
    g_cancelRoutineCalls++;
    IoReleaseCancelSpinLock(irp->CancelIrql);
    Complete(irp, STATUS_CANCELLED);
}

TEST_F(IrpTest, CancelCallsTheCancelRoutineOnceAndTheIrpCompletesCancelled)
{
    g_cancelRoutineCalls = 0;
    PDEVICE_OBJECT seenDevice = nullptr;
    Probe top{"top", &calls_}, middle{"middle", &calls_}, owner{"owner", &calls_};
    BuildStack(ForwardWithRoutine(&topLower_, &top), ForwardWithRoutine(&middleLower_, &middle),
               [&](PDEVICE_OBJECT device, PIRP irp) {
                   seenDevice = device;
                   IoMarkIrpPending(irp);
                   IoSetCancelRoutine(irp, CancelHeldIrp);
                   return STATUS_PENDING;
               });
    PIRP irp = AllocateOwnedIrp(&owner);
    EXPECT_EQ(IoCallDriver(top_, irp), STATUS_PENDING);

    EXPECT_TRUE(IoCancelIrp(irp));
    EXPECT_FALSE(IoCancelIrp(irp));
    EXPECT_EQ(g_cancelRoutineCalls, 1);
    EXPECT_EQ(seenDevice, bottom_);
    EXPECT_EQ(irp->IoStatus.Status, STATUS_CANCELLED);
    EXPECT_TRUE(irp->Cancel);
    EXPECT_EQ(calls_.size(), 3u);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
    IoFreeIrp(irp);
}

struct WorkItemRun {
    PIO_WORKITEM item;
    KEVENT go;
    KEVENT done;
    ULONG64 devicesWhileRunning = 0;
    PDEVICE_OBJECT device = nullptr;
};

ULONG64 LiveDeviceObjects()
{
    ULONG64 count = 0;
    for (const PoolTagUsage& usage : Pool::Snapshot()) {
        if (usage.tag == "Devi") count = usage.count;
    }
    return count;
}

VOID RunHeldWorkItem(PDEVICE_OBJECT device, PVOID context)
{
    auto* run = static_cast<WorkItemRun*>(context);
    KeWaitForSingleObject(&run->go, Executive, KernelMode, FALSE, nullptr);
    run->device = device;
    run->devicesWhileRunning = LiveDeviceObjects();
    IoFreeWorkItem(run->item);
    KeSetEvent(&run->done, IO_NO_INCREMENT, FALSE);
}

TEST_F(IrpTest, QueuedWorkItemKeepsItsDeletedDeviceUntilItHasRun)
{
    PDEVICE_OBJECT device = driver_->CreateDevice(nullptr, [](PDEVICE_OBJECT, PIRP irp) {
        return Complete(irp, STATUS_SUCCESS);
    });
    WorkItemRun run;
    KeInitializeEvent(&run.go, NotificationEvent, FALSE);
    KeInitializeEvent(&run.done, NotificationEvent, FALSE);
    run.item = IoAllocateWorkItem(device);
    IoQueueWorkItem(run.item, RunHeldWorkItem, DelayedWorkQueue, &run);
    const ULONG64 before = LiveDeviceObjects();

    TestDriver::DeleteDevice(device);
    KeSetEvent(&run.go, IO_NO_INCREMENT, FALSE);
    KeWaitForSingleObject(&run.done, Executive, KernelMode, FALSE, nullptr);
    while (Scheduler::Instance().DeferredWorkPending()) Scheduler::Instance().Sleep(kTicksPerMillisecond);

    EXPECT_EQ(run.device, device);
    EXPECT_EQ(run.devicesWhileRunning, before);
    EXPECT_EQ(LiveDeviceObjects(), before - 1);
}

}  // namespace
}  // namespace winsim::test
