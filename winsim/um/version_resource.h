// Version resources (VS_VERSIONINFO, the 32-bit layout the resource
// compiler writes).
#pragma once

#include <windows.h>

#include <string_view>

namespace winsim::um {

struct VersionValue {
    const BYTE* data = nullptr;
    size_t bytes = 0;   // of the value as stored
    bool text = false;  // UTF-16, its terminating NUL within `bytes` if stored
};

// The value at SUBBLOCK ("\" for the root's VS_FIXEDFILEINFO,
// "\StringFileInfo\040904b0\FileVersion", ...); keys compare without regard
// to case. False for a path not there or a resource that does not hold
// together (every length is checked against its enclosing block).
bool FindVersionValue(const BYTE* resource, size_t size, std::string_view subBlock, VersionValue* value);

// The root block's length, 0 when the resource has no valid root.
size_t VersionResourceLength(const BYTE* resource, size_t size);

}  // namespace winsim::um
