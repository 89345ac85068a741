// Icon and cursor objects (one kind of object, as on Windows): the system's
// (never counted), the shared ones LoadIconA and LoadCursorA read from a
// module's groups (one per program and name, kept until the program ends),
// and the program's own (LoadImageA without LR_SHARED, CopyIcon), which
// DestroyIcon and DestroyCursor free. Shared and own ones count as the
// program's user objects.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace winsim::ui {

// The size of an icon's or cursor's image; false for a handle that is neither.
bool IconSize(HICON icon, int* cx, int* cy);

// An icon's pixels as its resource image holds them: 0xAARRGGBB, top row
// first, alpha 0 where the mask shows the background.
struct IconPixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;
};

// Null for a system icon, a PNG-compressed image (its pixels are not
// decoded) or a handle that is no icon.
std::shared_ptr<const IconPixels> PixelsOf(HICON icon);

}  // namespace winsim::ui
