// Bitmaps read from a module's BITMAP resources (a BITMAPINFOHEADER, its
// colour table and the pixel rows, as the resource compiler stores them).
// Each is a GDI object of the program that loaded it until DeleteObject.
#pragma once

#include <windows.h>

namespace winsim::ui {

// What GetObjectA reports for a bitmap; false for a handle that is no bitmap.
bool BitmapInfoOf(HGDIOBJ object, BITMAP* out);
// DeleteObject's part for bitmaps; false for a handle that is no bitmap.
bool DeleteBitmap(HGDIOBJ object);

}  // namespace winsim::ui
