// IoBuildDeviceIoControlRequest: a device control a driver sends to another
// driver and waits for, finished and freed by the I/O manager.
#include "km/io_buffers.h"
#include "km/io_irp_record.h"
#include "km/io_verifier_rules.h"

using namespace winsim::io;

extern "C" PIRP IoBuildDeviceIoControlRequest(ULONG ioControlCode, PDEVICE_OBJECT deviceObject, PVOID inputBuffer,
                                              ULONG inputBufferLength, PVOID outputBuffer, ULONG outputBufferLength,
                                              BOOLEAN internalDeviceIoControl, PKEVENT event,
                                              PIO_STATUS_BLOCK ioStatusBlock)
{
    if (KeGetCurrentIrql() != PASSIVE_LEVEL) {
        winsim::Verifier::Violation(winsim::ViolationCode::kIrqlNotLessOrEqual, rule::kPassiveLevelOnly,
                                    "IoBuildDeviceIoControlRequest");
    }
    PIRP irp = AllocateIrp(deviceObject->StackSize);
    if (irp == nullptr) return nullptr;
    IoGetNextIrpStackLocation(irp)->MajorFunction =
        internalDeviceIoControl ? IRP_MJ_INTERNAL_DEVICE_CONTROL : IRP_MJ_DEVICE_CONTROL;
    if (!NT_SUCCESS(PrepareControlBuffers(irp, ioControlCode, inputBuffer, inputBufferLength, outputBuffer,
                                          outputBufferLength))) {
        DiscardBuffers(irp);
        ReleaseIrp(irp);
        return nullptr;
    }
    irp->RequestorMode = KernelMode;
    irp->UserIosb = ioStatusBlock;
    irp->UserEvent = event;
    // A thread makes the IRP one the I/O manager finishes and frees.
    irp->Tail.Overlay.Thread = KeGetCurrentThread();
    return irp;
}
