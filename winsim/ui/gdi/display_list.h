// What a window last painted: the text and shapes its WM_PAINT drew, in
// drawing order, in its client coordinates. Renderers (the terminal, PNG)
// and tests read it; each BeginPaint starts the window's list afresh.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/gdi/icons.h"

namespace winsim::ui {

struct DisplayItem {
    enum class Kind { kText, kRectangle, kFill, kIcon, kImage };
    Kind kind;
    RECT rect;  // text: its cell box; icon, image: where it was drawn
    std::string text;
    COLORREF color = 0;
    HICON icon = nullptr;
    std::shared_ptr<const IconPixels> image;  // an image list's or a bitmap's pixels, at their size
};

std::vector<DisplayItem> DisplayListOf(HWND hwnd);

// Called by BeginPaint and when a window goes.
void StartDisplayList(HWND hwnd);
void ForgetDisplayList(HWND hwnd);
void Record(HWND hwnd, DisplayItem item);

}  // namespace winsim::ui
