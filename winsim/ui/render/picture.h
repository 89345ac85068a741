// A picture of a window at the layout winsim computed: real pixels, the
// dialog font's fixed metrics (a monospaced face whose advance is the
// font's average width), colours, focus and what the controls show of
// their state, drawn with cairo from the same window tree and display
// lists the terminal renderer reads.
#pragma once

#include <windows.h>

#include <string>

namespace winsim::ui::render {

// Writes the window and everything in it as a PNG file; false with a
// reason when cairo could not write it.
bool SavePicture(HWND hwnd, bool active, const std::string& path, std::string* error);

}  // namespace winsim::ui::render
