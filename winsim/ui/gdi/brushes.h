// Brushes: the stock brushes and the system colour brushes are the
// machine's (never counted; deleting one does nothing). FillRect also takes
// a system colour index plus one in place of a brush, as Windows does.
#pragma once

#include <windows.h>

namespace winsim::ui {

// The colour a brush paints; false for the null brush and for what is no
// brush.
bool BrushColor(HBRUSH brush, COLORREF* color);
bool IsSystemColorBrush(HGDIOBJ object);

}  // namespace winsim::ui
