#include "assistant/diag/view_fonts.h"

namespace diag {

namespace {

HFONT FixedFont(const char* face, int height)
{
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_DONTCARE, face);
}

}  // namespace

ViewFonts::~ViewFonts()
{
    if (courier != nullptr) {
        DeleteObject(courier);
    }
    if (terminal != nullptr) {
        DeleteObject(terminal);
    }
}

void ViewFonts::Create(HWND window, int courierHeight)
{
    courier = FixedFont("courier", courierHeight);
    terminal = FixedFont("terminal", 12);
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, courier);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    charWidth = metrics.tmAveCharWidth;
    lineHeight = metrics.tmHeight + metrics.tmExternalLeading;
    SelectObject(dc, old);
    ReleaseDC(window, dc);
}

}  // namespace diag
