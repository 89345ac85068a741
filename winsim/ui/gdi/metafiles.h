// Enhanced metafiles: a metafile DC is an ordinary DC whose drawing goes to
// a display list of its own (the same records a window's DC makes), which
// CloseEnhMetaFile freezes into the metafile. The records read back as EMF
// records: text as EMR_EXTTEXTOUTA, the text colour as EMR_SETTEXTCOLOR,
// rectangles as EMR_RECTANGLE.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/gdi/display_list.h"

namespace winsim::ui {

// What the metafile holds; false for a handle that is no metafile.
bool MetafileRecords(HENHMETAFILE metafile, std::vector<DisplayItem>* out);
// The clipboard takes a metafile over: it stops counting for its program
// and only ReleaseClipboardMetafile deletes it. False for a handle that is
// no metafile of a program.
bool AdoptMetafileForClipboard(HENHMETAFILE metafile);
void ReleaseClipboardMetafile(HENHMETAFILE metafile);

}  // namespace winsim::ui
