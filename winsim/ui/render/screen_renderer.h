// The simulated screen in cells: top-level windows with their frames, title
// bars and children, overlapping in z-order, and the focus marked with '>'.
// The bench's `ui screen` prints it and the terminal draws it.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/render/cell_geometry.h"
#include "ui/render/char_grid.h"

namespace winsim::ui::render {

// One top-level window and everything in it, its top-left pixel at `at`.
void PaintWindow(CharGrid& grid, const Placement& at, HWND hwnd, bool active);

// Windows given topmost first, as a desktop of rows x cols: the bottom-most
// (a program's main window) at the top-left corner, shifted right to centre
// it when there is room, the others where they sit relative to it.
CharGrid RenderDesktop(const std::vector<HWND>& topmostFirst, HWND active, int rows, int cols);

// One window alone, its frame filling the grid.
CharGrid RenderWindow(HWND hwnd, bool active);

}  // namespace winsim::ui::render
