// What the I/O manager tells the PnP manager: a file object was opened on a
// device, or closed again. A surprise-removed device is removed only once
// the last file on its stack is closed.
#pragma once

#include <km_io.h>

namespace winsim::pnp {

void NoteFileOpened(PDEVICE_OBJECT device);
void NoteFileClosed(PDEVICE_OBJECT device);

}  // namespace winsim::pnp
