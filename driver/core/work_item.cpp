#include "core/work_item.h"

#include "core/pool_tags.h"

namespace {

struct AdapterWork {
    PIO_WORKITEM item;
    AdapterWorkRoutine routine;
    PVOID context;
};

IO_WORKITEM_ROUTINE RunAdapterWork;
VOID RunAdapterWork(PDEVICE_OBJECT device, PVOID context)
{
    auto* work = static_cast<AdapterWork*>(context);
    work->routine(ExtensionOf(device), work->context);
    IoFreeWorkItem(work->item);
    ExFreePoolWithTag(work, kDriverPoolTag);
}

}  // namespace

NTSTATUS QueueAdapterWork(AdapterExtension* extension, AdapterWorkRoutine routine, PVOID context)
{
    auto* work = static_cast<AdapterWork*>(ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(AdapterWork), kDriverPoolTag));
    if (work == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    work->item = IoAllocateWorkItem(extension->self);
    if (work->item == nullptr) {
        ExFreePoolWithTag(work, kDriverPoolTag);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    work->routine = routine;
    work->context = context;
    IoQueueWorkItem(work->item, RunAdapterWork, DelayedWorkQueue, work);
    return STATUS_SUCCESS;
}
