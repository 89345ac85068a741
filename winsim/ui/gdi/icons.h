// Icon objects: the system's (never counted) and those LoadIconA reads from
// a module's icon groups, shared per program as Windows shares them, counted
// as the program's user objects until it ends.
#pragma once

#include <windows.h>

namespace winsim::ui {

// The size of an icon's image; false for a handle that is no icon.
bool IconSize(HICON icon, int* cx, int* cy);

}  // namespace winsim::ui
