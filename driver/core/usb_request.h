// The USB request engine: synchronous URBs, asynchronous message-pipe
// transfers and the recovery steps after a refused transfer.
#pragma once

#include "core/adapter_extension.h"

constexpr ULONG kMessageBufferSize = 64;

struct MessageRequest;
typedef VOID (*MessageComplete)(MessageRequest* request);

// One message-pipe transfer. Created by the sender, freed by `complete`.
struct MessageRequest {
    NTSTATUS status;
    ULONG length;       // bytes to send, or room to receive into (at most 64)
    LONG transferred;   // bytes moved, 0 on failure
    PUCHAR buffer;      // 64 bytes
    UCHAR inbound;      // 1: read from message pipe 0; 0: write to pipe 1
    LONG port;          // port the message concerns, 0 for adapter-wide ones
    MessageComplete complete;
    PDEVICE_OBJECT device;
    UCHAR refusedAtOnce;  // failed inside the send, before it could pend
};

// A request with its zeroed 64-byte buffer (tag "BulK"), or null.
_Must_inspect_result_ _Ret_maybenull_ _IRQL_requires_max_(DISPATCH_LEVEL)
MessageRequest* AllocateMessageRequest(_In_ AdapterExtension* extension, _In_ UCHAR inbound, _In_ ULONG length,
                                       _In_ LONG port, _In_ MessageComplete complete);
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID FreeMessageRequest(_In_ MessageRequest* request);

// Sends the URB down and waits for it. PASSIVE_LEVEL.
_IRQL_requires_(PASSIVE_LEVEL)
NTSTATUS UsbSubmitUrbSynchronously(_In_ AdapterExtension* extension, _Inout_ PURB urb);

// Starts a transfer. STATUS_PENDING: under way. STATUS_CANCELLED,
// STATUS_DEVICE_NOT_CONNECTED, STATUS_UNSUCCESSFUL: refused by the stack, and
// the completion has already disposed of the request. Any other status: the
// transfer never started and the request still belongs to the caller.
// Up to DISPATCH_LEVEL.
_IRQL_requires_max_(DISPATCH_LEVEL)
NTSTATUS UsbSendMessage(_In_ AdapterExtension* extension, _Inout_ MessageRequest* request);

inline bool UsbMessageTransferStarted(NTSTATUS status)
{
    return status == STATUS_PENDING || status == STATUS_CANCELLED || status == STATUS_DEVICE_NOT_CONNECTED ||
           status == STATUS_UNSUCCESSFUL;
}

// Both resets need PASSIVE_LEVEL; above it they do nothing and succeed.
_IRQL_requires_max_(DISPATCH_LEVEL)
NTSTATUS UsbResetPipe(_In_ AdapterExtension* extension, _In_ PUSBD_PIPE_INFORMATION pipe);
_IRQL_requires_max_(DISPATCH_LEVEL)
NTSTATUS UsbResetPort(_In_ AdapterExtension* extension);

// After the stack refused a transfer at once: reset the pipe, and the port
// if that fails. Unplugging and cancelling need no recovery.
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID UsbRecoverFromRefusal(_In_ AdapterExtension* extension, _In_ PUSBD_PIPE_INFORMATION pipe, _In_ NTSTATUS status);
