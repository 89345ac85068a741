// What pictures read of an image list.
#pragma once

#include <commctrl.h>

#include <memory>

#include "ui/gdi/icons.h"

namespace winsim::ui {

// The pixels of the list's image `index`: those of the icon it was copied
// from; null where they are not known or for no such image.
std::shared_ptr<const IconPixels> ImagePixelsOf(HIMAGELIST himl, int index);

}  // namespace winsim::ui
