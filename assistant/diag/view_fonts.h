// The two fixed fonts a diagnostics view paints with, and the character
// cell measured with the first.
#pragma once

#include "assistant/framework/win32.h"

namespace diag {

class ViewFonts {
public:
    ViewFonts() = default;
    ViewFonts(const ViewFonts&) = delete;
    ViewFonts& operator=(const ViewFonts&) = delete;
    ~ViewFonts();

    // Makes the fonts and measures the cell on the window's DC.
    void Create(HWND window, int courierHeight);

    HFONT courier = nullptr;
    HFONT terminal = nullptr;
    int charWidth = 15;
    int lineHeight = 15;
};

}  // namespace diag
