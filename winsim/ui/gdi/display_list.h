// What a window last painted: the text and shapes its WM_PAINT drew, in
// drawing order, in its client coordinates. Renderers (the terminal, PNG)
// and tests read it; each BeginPaint starts the window's list afresh.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winsim::ui {

struct DisplayItem {
    enum class Kind { kText, kRectangle, kFill, kIcon };
    Kind kind;
    RECT rect;  // text: its cell box; icon: where it was drawn
    std::string text;
    COLORREF color = 0;
    HICON icon = nullptr;
};

std::vector<DisplayItem> DisplayListOf(HWND hwnd);

// Called by BeginPaint and when a window goes.
void StartDisplayList(HWND hwnd);
void ForgetDisplayList(HWND hwnd);
void Record(HWND hwnd, DisplayItem item);

}  // namespace winsim::ui
