// Reads and writes on a pipe handle: the caller's request is sent down the
// USB stack again and again, 256 bytes of its buffer at a time.
#pragma once

#include "core/adapter_extension.h"

// The largest request a pipe handle takes.
constexpr ULONG kPipeTransferLimit = 65536;
// Bytes moved by each trip through the USB stack.
constexpr ULONG kPipeStageBytes = 256;

_Dispatch_type_(IRP_MJ_READ) _Dispatch_type_(IRP_MJ_WRITE) DRIVER_DISPATCH DispatchReadWrite;
