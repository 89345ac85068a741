// A hostile version resource on a file: the sizes and blocks version.dll's
// functions read, and the strings VerQueryValueA converts into the caller's
// buffer. Nothing may read or write outside the input or that buffer (the
// fuzz build runs under ASan).
#include <windows.h>

#include <cstdint>
#include <vector>

#include "um/file_system.h"

namespace {

constexpr const char* kFile = "C:\\fuzz.dll";
constexpr const char* kQueries[] = {
    "\\",
    "\\VarFileInfo\\Translation",
    "\\StringFileInfo\\040904b0\\FileVersion",
    "\\StringFileInfo\\040904B0\\ProductVersion",
    "StringFileInfo\\\\040904b0\\CompanyName\\",
    "\\StringFileInfo",
    "",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto& fs = winsim::um::FileSystem::Instance();
    fs.PutFile(kFile, {});
    fs.SetVersionResource(kFile, std::vector<BYTE>(data, data + size));
    DWORD handle = 0;
    const DWORD needed = GetFileVersionInfoSizeA(kFile, &handle);
    if (needed == 0) return 0;
    std::vector<BYTE> info(needed);
    if (!GetFileVersionInfoA(kFile, handle, needed, info.data())) return 0;
    for (const char* query : kQueries) {
        LPVOID value = nullptr;
        UINT length = 0;
        if (VerQueryValueA(info.data(), query, &value, &length) && length != 0) {
            const auto* bytes = static_cast<const BYTE*>(value);
            // Touch every byte reported, so ASan sees a value reaching past the buffer.
            volatile BYTE sum = 0;
            for (UINT i = 0; i < length; ++i) sum = static_cast<BYTE>(sum + bytes[i]);
        }
    }
    return 0;
}
