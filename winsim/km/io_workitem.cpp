// I/O work items: a routine run at PASSIVE_LEVEL on a system worker thread,
// with its device object referenced while it is queued so that neither the
// device nor its driver can go away under it.
#include <km_ex.h>

#include "km/io_objects.h"
#include "km/io_pool_tags.h"
#include "km/io_verifier_rules.h"
#include "sched/scheduler.h"

struct _IO_WORKITEM {
    PDEVICE_OBJECT DeviceObject;
    PIO_WORKITEM_ROUTINE Routine;
    PVOID Context;
    LONG Queued;
};

namespace {

void RunWorkItem(void* parameter)
{
    auto* item = static_cast<PIO_WORKITEM>(parameter);
    // The routine may free the item: take what is needed first.
    PDEVICE_OBJECT device = item->DeviceObject;
    PIO_WORKITEM_ROUTINE routine = item->Routine;
    PVOID context = item->Context;
    InterlockedExchange(&item->Queued, 0);
    routine(device, context);
    winsim::Verifier::CheckIrqlAfterCallback(PASSIVE_LEVEL, "work item routine");
    ObDereferenceObject(device);
}

}  // namespace

extern "C" {

PIO_WORKITEM IoAllocateWorkItem(PDEVICE_OBJECT deviceObject)
{
    auto* item = static_cast<PIO_WORKITEM>(
        ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(_IO_WORKITEM), winsim::io::kTagWorkItem));
    if (item == nullptr) return nullptr;
    item->DeviceObject = deviceObject;
    item->Routine = nullptr;
    item->Context = nullptr;
    item->Queued = 0;
    return item;
}

VOID IoQueueWorkItem(PIO_WORKITEM ioWorkItem, PIO_WORKITEM_ROUTINE workerRoutine, WORK_QUEUE_TYPE queueType,
                     PVOID context)
{
    if (InterlockedCompareExchange(&ioWorkItem->Queued, 1, 0) != 0) {
        winsim::Verifier::Violation(winsim::ViolationCode::kDriverVerifierDetected,
                                    winsim::io::rule::kWorkItemQueuedTwice,
                                    winsim::io::DescribeDevice(ioWorkItem->DeviceObject).c_str());
        return;
    }
    ioWorkItem->Routine = workerRoutine;
    ioWorkItem->Context = context;
    ObReferenceObject(ioWorkItem->DeviceObject);
    winsim::Scheduler::Instance().QueueWork(queueType, RunWorkItem, ioWorkItem);
}

VOID IoFreeWorkItem(PIO_WORKITEM ioWorkItem)
{
    if (InterlockedCompareExchange(&ioWorkItem->Queued, 0, 0) != 0) {
        winsim::Verifier::Violation(winsim::ViolationCode::kDriverVerifierDetected,
                                    winsim::io::rule::kWorkItemFreedWhileQueued,
                                    winsim::io::DescribeDevice(ioWorkItem->DeviceObject).c_str());
        return;
    }
    ExFreePoolWithTag(ioWorkItem, winsim::io::kTagWorkItem);
}

}  // extern "C"
