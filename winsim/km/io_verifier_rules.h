// The I/O and object manager rules the verifier enforces, with the bug check
// each one stands for. Tests name the rule they expect to fire.
#pragma once

#include "verifier/verifier.h"

namespace winsim::io {

// Bug checks the verifier's own list does not carry.
inline constexpr ViolationCode kReferenceByPointer = static_cast<ViolationCode>(0x18);
inline constexpr ViolationCode kNoMoreIrpStackLocations = static_cast<ViolationCode>(0x35);

namespace rule {
inline constexpr char kBadObjectReference[] = "reference count of an object that is not alive";
inline constexpr char kNoMoreStackLocations[] = "IoCallDriver with no stack location left";
inline constexpr char kDoubleCompletion[] = "IRP completed twice";
inline constexpr char kCompletedPending[] = "IRP completed with STATUS_PENDING";
inline constexpr char kCompletedWithCancelRoutine[] = "IRP completed with its cancel routine still set";
inline constexpr char kPendingWithoutMark[] = "STATUS_PENDING returned without IoMarkIrpPending";
inline constexpr char kMarkedWithoutPending[] = "IRP marked pending but STATUS_PENDING not returned";
inline constexpr char kStatusMismatch[] = "dispatch returned a status other than the one it completed the IRP with";
inline constexpr char kNeitherCompletedNorPending[] = "dispatch returned for an IRP it neither completed nor pended";
inline constexpr char kCompletionPastTop[] = "IRP without a thread completed past its last stack location";
inline constexpr char kRoutineCompletedAgain[] =
    "completion routine gave the IRP away without returning STATUS_MORE_PROCESSING_REQUIRED";
inline constexpr char kFreeInFlight[] = "IoFreeIrp of an IRP still in flight";
inline constexpr char kReuseInFlight[] = "IoReuseIrp of an IRP still in flight";
inline constexpr char kNotAnIrp[] = "IRP service called on something that is not a live IRP";
inline constexpr char kSendWhileCompleting[] = "IoCallDriver with an IRP that is being completed";
inline constexpr char kInformationOverrun[] = "IRP completed with Information larger than its buffer";
inline constexpr char kCancelLockHeld[] = "cancel routine returned holding the cancel spin lock";
inline constexpr char kDeleteWithIrpsOutstanding[] = "device object deleted with IRPs outstanding";
inline constexpr char kDeleteAttached[] = "device object deleted while still attached to a lower device";
inline constexpr char kDeleteWmiRegistered[] = "device object deleted while registered with WMI";
inline constexpr char kUnloadWithDevices[] = "driver unloaded while it still has device objects";
inline constexpr char kUnloadWithoutRoutine[] = "driver unloaded without an unload routine";
inline constexpr char kWorkItemQueuedTwice[] = "work item queued while already queued";
inline constexpr char kWorkItemFreedWhileQueued[] = "work item freed while queued";
inline constexpr char kPartialMdlOutsideSource[] = "IoBuildPartialMdl range outside the source MDL";
inline constexpr char kPassiveLevelOnly[] = "service needs PASSIVE_LEVEL";
}  // namespace rule

}  // namespace winsim::io
