// Icon and cursor objects (one kind of object, as on Windows): the system's
// (never counted), the shared ones LoadIconA and LoadCursorA read from a
// module's groups (one per program and name, kept until the program ends),
// and the program's own (LoadImageA without LR_SHARED, CopyIcon), which
// DestroyIcon and DestroyCursor free. Shared and own ones count as the
// program's user objects.
#pragma once

#include <windows.h>

namespace winsim::ui {

// The size of an icon's or cursor's image; false for a handle that is neither.
bool IconSize(HICON icon, int* cx, int* cy);

}  // namespace winsim::ui
