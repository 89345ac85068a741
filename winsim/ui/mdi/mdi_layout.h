// Where WM_MDICASCADE and WM_MDITILE put the children of an MDI client
// whose client area is `area` (origin 0, 0), as Windows arranges them.
#pragma once

#include <windows.h>

#include <vector>

namespace winsim::ui {

// Cascade: the k-th window from the bottom of the z-order steps down and
// right by a caption and a frame; the steps start over when the next would
// leave less than two thirds of the height. Every window gets the size
// that keeps the last step inside the area.
std::vector<RECT> CascadeRects(size_t count, const RECT& area);

// Tile: columns side by side, each of the square root of the count in
// windows, the last column taking the windows left over; MDITILE_HORIZONTAL
// swaps the numbers of rows and columns, so two or three windows lie one
// above the other. Topmost window first, down the first column.
std::vector<RECT> TileRects(size_t count, const RECT& area, bool horizontal);

}  // namespace winsim::ui
