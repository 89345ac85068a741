// The one header through which driver code reaches the kernel interfaces.
// On Windows it is the DDK; on the host the same names come from winsim.
#pragma once

#if defined(_WIN32)
// mingw-w64 declares these intrinsics in both its CRT and DDK headers.
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#endif

#include <ntddk.h>
#include <wmilib.h>
#include <wmistr.h>

#if defined(_WIN32)
// mingw-w64's USB headers lack C linkage of their own.
extern "C" {
#endif
#include <usb.h>
#include <usbdlib.h>
#include <usbioctl.h>
#if defined(_WIN32)
}
#endif

#if defined(_WIN32) && !defined(_Dispatch_type_)
// Names the major function a dispatch routine serves; mingw-w64's SAL lacks it.
#define _Dispatch_type_(type)
#endif

#if defined(_WIN32) && !defined(PAGED_CODE_SEG)
// The DDK names pageable C++ routines by their section (alloc_text takes C
// names only); gcc has no such section attribute for a driver image, so
// the routines stay resident there and PAGED_CODE() still guards them.
#if defined(_MSC_VER)
#define PAGED_CODE_SEG __declspec(code_seg("PAGE"))
#define INIT_CODE_SEG __declspec(code_seg("INIT"))
#else
#define PAGED_CODE_SEG
#define INIT_CODE_SEG
#endif
#endif

#if defined(_WIN32)
// The DDK's acquire/release accessors, which mingw-w64's headers lack. On
// x64 an aligned volatile access is atomic and the processor keeps loads
// and stores in order; only the compiler must not move accesses across.
#define QTR_READ_WRITE(Suffix, Type)                                   \
    FORCEINLINE Type Read##Suffix##Acquire(Type const volatile* p)     \
    {                                                                  \
        Type v = *p;                                                   \
        _ReadWriteBarrier();                                           \
        return v;                                                      \
    }                                                                  \
    FORCEINLINE Type Read##Suffix##NoFence(Type const volatile* p) { return *p; } \
    FORCEINLINE VOID Write##Suffix##Release(Type volatile* p, Type v)  \
    {                                                                  \
        _ReadWriteBarrier();                                           \
        *p = v;                                                        \
    }                                                                  \
    FORCEINLINE VOID Write##Suffix##NoFence(Type volatile* p, Type v) { *p = v; }
QTR_READ_WRITE(, LONG)
QTR_READ_WRITE(ULong, ULONG)
QTR_READ_WRITE(UChar, UCHAR)
QTR_READ_WRITE(Pointer, PVOID)
#undef QTR_READ_WRITE
#endif
