// IoCancelIrp and the system-wide cancel spin lock.
#include "km/io_irp_record.h"
#include "km/io_verifier_rules.h"
#include "sched/scheduler.h"

namespace {

KSPIN_LOCK g_cancelSpinLock = 0;

bool HeldByCurrentThread(const KSPIN_LOCK* lock)
{
    auto self = reinterpret_cast<ULONG_PTR>(winsim::Scheduler::CurrentThread()) | 1;
    return __atomic_load_n(lock, __ATOMIC_ACQUIRE) == self;
}

}  // namespace

extern "C" {

VOID IoAcquireCancelSpinLock(PKIRQL irql) { KeAcquireSpinLock(&g_cancelSpinLock, irql); }

VOID IoReleaseCancelSpinLock(KIRQL irql) { KeReleaseSpinLock(&g_cancelSpinLock, irql); }

BOOLEAN IoCancelIrp(PIRP irp)
{
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    irp->Cancel = TRUE;
    // Whoever takes the routine out of the IRP owns the cancellation: the
    // driver clearing it to complete, or this call.
    PDRIVER_CANCEL cancelRoutine = IoSetCancelRoutine(irp, nullptr);
    if (cancelRoutine == nullptr) {
        IoReleaseCancelSpinLock(irql);
        return FALSE;
    }
    irp->CancelIrql = irql;
    // The routine releases the lock with IoReleaseCancelSpinLock(Irp->CancelIrql).
    cancelRoutine(irp->Tail.Overlay.CurrentStackLocation->DeviceObject, irp);
    if (HeldByCurrentThread(&g_cancelSpinLock)) {
        winsim::io::ReportIrpViolation(winsim::ViolationCode::kDriverVerifierDetected,
                                       winsim::io::rule::kCancelLockHeld, irp, nullptr);
        IoReleaseCancelSpinLock(irql);
    } else {
        winsim::Verifier::CheckIrqlAfterCallback(irql, "cancel routine");
    }
    return TRUE;
}

}  // extern "C"
