// GDI objects: fonts and device contexts, counted per program. Stock
// objects are the machine's and never counted or deleted.
#pragma once

#include <windows.h>

namespace winsim::ui {

// A device context for drawing into a window (BeginPaint, GetDC).
HDC CreateWindowDc(HWND hwnd);
bool ReleaseWindowDc(HDC dc);

// What drawing through a DC needs: its window, the selected font's metrics
// and the text colour. False for a handle that is no DC.
struct DcState {
    HWND window = nullptr;
    TEXTMETRICA metrics{};
    COLORREF textColor = 0;
};
bool DcStateOf(HDC dc, DcState* out);

// The index GetStockObject gave the object; -1 for any other object.
int StockIndexOf(HGDIOBJ object);

}  // namespace winsim::ui
