// LocalAlloc and LocalFree: fixed blocks, counted in the process that
// allocated them.
#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "um/um_process.h"

extern "C" {

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes)
{
    if ((uFlags & ~static_cast<UINT>(LMEM_ZEROINIT)) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // A zero-byte request still gives a block of its own.
    const SIZE_T bytes = std::max<SIZE_T>(uBytes, 1);
    void* block = (uFlags & LMEM_ZEROINIT) != 0 ? std::calloc(1, bytes) : std::malloc(bytes);
    if (block == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    winsim::um::CurrentProcess().AddLocalBlock(block);
    return block;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem)
{
    if (hMem == nullptr) return nullptr;
    if (!winsim::um::CurrentProcess().RemoveLocalBlock(hMem)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    std::free(hMem);
    return nullptr;
}

}  // extern "C"
