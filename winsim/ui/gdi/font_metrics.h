// The fixed font metrics of the simulated machine (96 dots per inch). Every
// font is laid out in whole pixels and every character of it is its average
// width wide:
//   - a font asked for by character height (lfHeight < 0) gets an internal
//     leading of a fifth of that height (at least 1) on top of it: tmHeight;
//     a font asked for by cell height (lfHeight > 0) has that tmHeight; a
//     height of 0 means 13 pixels (8 points);
//   - tmAveCharWidth = (tmHeight * 6 + 6) / 13 unless lfWidth asks for one,
//     so an 8-point dialog font (lfHeight -11) is 6 x 13 pixels, as
//     "MS Shell Dlg" at 8 points is on Windows;
//   - the system font (no font selected, dialogs without DS_SETFONT) is
//     8 x 16.
// A dialog's base units are its font's average width and height, so four
// horizontal and eight vertical dialog units make one character cell.
#pragma once

#include <windows.h>

#include <string_view>

namespace winsim::ui {

TEXTMETRICA MetricsOf(const LOGFONTA& font);
TEXTMETRICA SystemFontMetrics();
// Pixels of a point size at 96 dots per inch (negative: a character height).
LONG HeightForPoints(int points);
LONG TextWidth(const TEXTMETRICA& metrics, std::string_view text);

}  // namespace winsim::ui
