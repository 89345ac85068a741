// How the I/O manager hands a caller's buffers to a driver: a system buffer
// copy (buffered), a locked MDL (direct), or the caller's own addresses
// (neither). The buffers are set up in the IRP's next stack location and
// released by FinishThreadedIrp.
#pragma once

#include <km_io.h>

namespace winsim::io {

// IRP_MJ_DEVICE_CONTROL / IRP_MJ_INTERNAL_DEVICE_CONTROL, by the method in
// the control code.
NTSTATUS PrepareControlBuffers(PIRP irp, ULONG ioControlCode, PVOID input, ULONG inputLength, PVOID output,
                               ULONG outputLength);

// IRP_MJ_READ / IRP_MJ_WRITE, by the device's DO_BUFFERED_IO or DO_DIRECT_IO.
NTSTATUS PrepareTransferBuffers(PIRP irp, PDEVICE_OBJECT device, bool read, PVOID buffer, ULONG length);

// Undoes a preparation when the request never gets sent.
void DiscardBuffers(PIRP irp);

}  // namespace winsim::io
