// The text of a window's display list placed into cells.
#pragma once

#include <windows.h>

#include "ui/render/cell_geometry.h"
#include "ui/render/char_grid.h"

namespace winsim::ui::render {

// The ink a text colour shows in; the highlight text colour marks a
// selected item.
CellStyle StyleOfColor(COLORREF color);

// Text where its pixels put it: the row holding the middle of each text
// line. Returns the row of the first text, or -1 when there is none.
int PlaceText(CharGrid& grid, const Placement& at, HWND hwnd, const CellRect& clip);

// Text as lines of a box: each distinct line of the list on the next row of
// `inside`, from its top (lists, trees, multi-line edits, and whatever
// else draws lines into a framed window). A selected line is highlighted
// across the box.
void PlaceLines(CharGrid& grid, HWND hwnd, const CellRect& inside, const CellRect& clip);

}  // namespace winsim::ui::render
