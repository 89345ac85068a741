#include "core/trace.h"

VOID TraceFailure(PCSTR what, NTSTATUS status)
{
    DbgPrintEx(DPFLTR_IHVDRIVER_ID, DPFLTR_ERROR_LEVEL, "84prusb: %s failed 0x%08X\n", what,
               static_cast<ULONG>(status));
}
