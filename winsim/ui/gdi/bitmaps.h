// Bitmaps read from a module's BITMAP resources (a BITMAPINFOHEADER, its
// colour table and the pixel rows, as the resource compiler stores them).
// Each is a GDI object of the program that loaded it until DeleteObject.
#pragma once

#include <windows.h>

#include <memory>

#include "ui/gdi/icons.h"

namespace winsim::ui {

// What GetObjectA reports for a bitmap; false for a handle that is no bitmap.
bool BitmapInfoOf(HGDIOBJ object, BITMAP* out);
// Its pixels as the resource holds them (alpha 0xFF unless 32-bit rows
// carry their own); null for a handle that is no bitmap.
std::shared_ptr<const IconPixels> BitmapPixelsOf(HGDIOBJ object);
// DeleteObject's part for bitmaps; false for a handle that is no bitmap.
bool DeleteBitmap(HGDIOBJ object);

}  // namespace winsim::ui
