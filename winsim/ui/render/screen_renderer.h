// The simulated screen in cells: top-level windows with their frames, title
// bars and children, overlapping in z-order, and the focus marked with '>'.
// The bench's `ui screen` prints it and the terminal draws it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/render/cell_geometry.h"
#include "ui/render/char_grid.h"
#include "ui/render/window_facts.h"

namespace winsim::ui::render {

// One top-level window and everything in it, its top-left pixel at `at`.
void PaintWindow(CharGrid& grid, const Placement& at, HWND hwnd, bool active);

// Windows given topmost first, as a desktop of rows x cols, where they sit
// relative to each other: all of them when they fit (centred across),
// otherwise from the active window's top-left corner.
CharGrid RenderDesktop(const std::vector<HWND>& topmostFirst, HWND active, int rows, int cols);

// One window alone, its frame filling the grid.
CharGrid RenderWindow(HWND hwnd, bool active);

}  // namespace winsim::ui::render
