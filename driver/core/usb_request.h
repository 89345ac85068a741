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
};

// A request with its zeroed 64-byte buffer (tag "BulK"), or null.
MessageRequest* AllocateMessageRequest(AdapterExtension* extension, UCHAR inbound, ULONG length, LONG port,
                                       MessageComplete complete);
VOID FreeMessageRequest(MessageRequest* request);

// Sends the URB down and waits for it. PASSIVE_LEVEL.
NTSTATUS UsbSubmitUrbSynchronously(AdapterExtension* extension, PURB urb);

// Starts a transfer. STATUS_PENDING: under way. STATUS_CANCELLED,
// STATUS_DEVICE_NOT_CONNECTED, STATUS_UNSUCCESSFUL: refused by the stack, and
// the completion has already disposed of the request. Any other status: the
// transfer never started and the request still belongs to the caller.
// Up to DISPATCH_LEVEL.
NTSTATUS UsbSendMessage(AdapterExtension* extension, MessageRequest* request);

inline bool UsbMessageTransferStarted(NTSTATUS status)
{
    return status == STATUS_PENDING || status == STATUS_CANCELLED || status == STATUS_DEVICE_NOT_CONNECTED ||
           status == STATUS_UNSUCCESSFUL;
}

// Both resets need PASSIVE_LEVEL; above it they do nothing and succeed.
NTSTATUS UsbResetPipe(AdapterExtension* extension, PUSBD_PIPE_INFORMATION pipe);
NTSTATUS UsbResetPort(AdapterExtension* extension);

// After the stack refused a transfer at once: reset the pipe, and the port
// if that fails. Unplugging and cancelling need no recovery.
VOID UsbRecoverFromRefusal(AdapterExtension* extension, PUSBD_PIPE_INFORMATION pipe, NTSTATUS status);
