// winsim kernel headers: debug output and assertions. DbgPrintEx lines go to
// the machine's debug log (winsim/km/debug_log.h) as a kernel debugger would
// show them; a failed NT_ASSERT is a bug check, as it is on a machine with no
// debugger attached (a test that captures violations goes on, as after a
// debugger's "go").
#pragma once

#include "ntdef.h"

#define DPFLTR_ERROR_LEVEL 0
#define DPFLTR_WARNING_LEVEL 1
#define DPFLTR_TRACE_LEVEL 2
#define DPFLTR_INFO_LEVEL 3
#define DPFLTR_IHVDRIVER_ID 77

extern "C" {
NTKERNELAPI ULONG DbgPrintEx(ULONG ComponentId, ULONG Level, PCSTR Format, ...)
    __attribute__((format(printf, 3, 4)));
NTKERNELAPI VOID WinsimAssertionFailed(PCSTR Expression, PCSTR File, ULONG Line);
}

#define NT_ASSERT(exp) ((VOID)((!(exp)) ? (WinsimAssertionFailed(#exp, __FILE__, __LINE__), FALSE) : TRUE))
