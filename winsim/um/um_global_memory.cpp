// GlobalAlloc and its family: fixed blocks (the handle is the address) and
// moveable ones (a handle that GlobalLock turns into the address, counting
// locks), as the clipboard's data formats hand memory around.
#include <windows.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

namespace {

struct Block {
    std::vector<char> bytes;  // at least one, so that every block has an address of its own
    SIZE_T size = 0;
    bool moveable = false;
    UINT locks = 0;
};

struct GlobalTable {
    std::mutex lock;
    std::map<HGLOBAL, Block> blocks;
    ULONG_PTR nextMoveable = 0x7FFE0000;
};

GlobalTable& Table()
{
    static GlobalTable table;
    return table;
}

// Lock held; null (with ERROR_INVALID_HANDLE) for what is no live block.
Block* FindLocked(HGLOBAL handle)
{
    auto it = Table().blocks.find(handle);
    if (it != Table().blocks.end()) return &it->second;
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

}  // namespace

extern "C" {

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes)
{
    if ((uFlags & ~static_cast<UINT>(GMEM_MOVEABLE | GMEM_ZEROINIT)) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Block block;
    block.moveable = (uFlags & GMEM_MOVEABLE) != 0;
    // The contents start zeroed whether or not GMEM_ZEROINIT asked for it.
    block.bytes.assign(std::max<SIZE_T>(dwBytes, 1), '\0');
    block.size = dwBytes;
    std::lock_guard<std::mutex> guard(Table().lock);
    HGLOBAL handle = block.moveable ? reinterpret_cast<HGLOBAL>(Table().nextMoveable += 16)
                                    : static_cast<HGLOBAL>(block.bytes.data());
    Table().blocks.emplace(handle, std::move(block));
    return handle;
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    Block* block = FindLocked(hMem);
    if (block == nullptr) return nullptr;
    if (block->moveable) block->locks++;
    return block->bytes.data();
}

// Nonzero while the block stays locked; FALSE with NO_ERROR once it is not.
BOOL WINAPI GlobalUnlock(HGLOBAL hMem)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    Block* block = FindLocked(hMem);
    if (block == nullptr) return FALSE;
    if (!block->moveable || block->locks == 0) {
        SetLastError(block->moveable ? ERROR_NOT_LOCKED : NO_ERROR);
        return FALSE;
    }
    block->locks--;
    SetLastError(NO_ERROR);
    return block->locks != 0;
}

SIZE_T WINAPI GlobalSize(HGLOBAL hMem)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    Block* block = FindLocked(hMem);
    return block != nullptr ? block->size : 0;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem)
{
    if (hMem == nullptr) return nullptr;
    std::lock_guard<std::mutex> guard(Table().lock);
    if (FindLocked(hMem) == nullptr) return hMem;
    Table().blocks.erase(hMem);
    return nullptr;
}

}  // extern "C"
