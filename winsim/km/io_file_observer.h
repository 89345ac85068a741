// Who hears of file objects opened on a device and closed again. The layer
// above the I/O manager (the PnP manager, which removes a surprise-removed
// device only once the last file on its stack is closed) registers here.
#pragma once

#include <km_io.h>

namespace winsim::io {

class FileObserver {
public:
    virtual void FileOpened(PDEVICE_OBJECT device) = 0;
    virtual void FileClosed(PDEVICE_OBJECT device) = 0;

protected:
    ~FileObserver() = default;
};

// One observer at a time; null unregisters it.
void SetFileObserver(FileObserver* observer);

}  // namespace winsim::io
