// Internals the I/O manager's parts share: IRP and device flags the DDK keeps
// for the system, the file object's hidden part and the device database.
#pragma once

#include <km_io.h>

#include <mutex>
#include <string>

#include "km/io_device_extension.h"
#include "km/io_strings.h"

namespace winsim::io {

// IRP.Flags set by the I/O manager, with the values of Windows.
inline constexpr ULONG kIrpSynchronousApi = 0x00000004;
inline constexpr ULONG kIrpBufferedIo = 0x00000010;
inline constexpr ULONG kIrpDeallocateBuffer = 0x00000020;
inline constexpr ULONG kIrpInputOperation = 0x00000040;
inline constexpr ULONG kIrpCreateOperation = 0x00000080;
inline constexpr ULONG kIrpReadOperation = 0x00000100;
inline constexpr ULONG kIrpWriteOperation = 0x00000200;
inline constexpr ULONG kIrpCloseOperation = 0x00000400;
// The issuer finishes an IRP its driver completed without pending it.
inline constexpr ULONG kIrpDeferIoCompletion = 0x00000800;

inline constexpr ULONG kDoDeviceHasName = 0x00000040;

inline constexpr CSHORT kIoTypeDriver = 4;
inline constexpr CSHORT kIoTypeFile = 5;
inline constexpr CSHORT kIoTypeIrp = 6;
inline constexpr CSHORT kIoTypeDevice = 3;
inline constexpr CSHORT kIoTypeDeviceObjectExtension = 13;

inline constexpr SIZE_T AlignUp(SIZE_T n) { return (n + 15) & ~static_cast<SIZE_T>(15); }

// The part of a file object drivers do not see.
struct FileBookkeeping {
    // Signalled when an I/O on the file completes (FILE_OBJECT.Event).
    KEVENT event;
    WideBuffer fileName;
    // What the open asked for, checked by every read, write and control.
    ACCESS_MASK desiredAccess;
    // IRP_MJ_CREATE succeeded, so deleting the file sends IRP_MJ_CLOSE.
    bool opened;
};

inline FileBookkeeping* FileBookkeepingOf(PFILE_OBJECT file)
{
    return reinterpret_cast<FileBookkeeping*>(reinterpret_cast<char*>(file) + AlignUp(sizeof(FILE_OBJECT)));
}

// Guards device stacks, reference counts, driver device lists and the
// bookkeeping in DEVOBJ_EXTENSION. Never held while calling a driver or
// dropping an object reference.
std::mutex& DatabaseLock();

PDEVICE_OBJECT AttachedDeviceLocked(PDEVICE_OBJECT device);

// An open holds the named device through DEVICE_OBJECT.ReferenceCount; a
// device deleted meanwhile is freed when the last open goes.
NTSTATUS AcquireDeviceForOpen(PDEVICE_OBJECT device);
void ReleaseDeviceForOpen(PDEVICE_OBJECT device);

// A stack location of a live IRP points at the device: it stays allocated.
void NoteIrpArrived(PDEVICE_OBJECT device);
void NoteIrpLeft(PDEVICE_OBJECT device);

// A PDO going away takes its enabled interfaces' links with it.
void DropDeviceInterfaces(PDEVICE_OBJECT pdo);

// The handler of every major function a driver leaves unset.
NTSTATUS InvalidDeviceRequest(PDEVICE_OBJECT device, PIRP irp);

// "\Device\X of \Driver\Y" for reports.
std::string DescribeDevice(PDEVICE_OBJECT device);

}  // namespace winsim::io
