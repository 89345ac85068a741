// The I/O manager as the rest of the machine uses it: loading drivers, the
// names of devices, PDO identity for the PnP manager, device interfaces for
// SetupAPI, system facts drivers ask about, and the file operations the
// user-mode subset is built on (NtCreateFile, NtDeviceIoControlFile, ...).
#pragma once

#include <km_io.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "km/io_device_extension.h"

namespace winsim::io {

// NT_ERROR of the DDK: severity error, as opposed to success, information
// or warning (STATUS_BUFFER_OVERFLOW is a warning).
constexpr bool IsErrorStatus(NTSTATUS status) { return (static_cast<ULONG>(status) >> 30) == 3; }

// --- Drivers -------------------------------------------------------------

// Builds \Driver\<serviceName> with its extension (ServiceKeyName) and calls
// the entry with \Registry\Machine\System\CurrentControlSet\Services\<name>.
// Null when the entry fails; *status receives what the entry returned.
PDRIVER_OBJECT LoadDriver(std::string_view serviceName, PDRIVER_INITIALIZE entry, NTSTATUS* status = nullptr);

// Calls DriverUnload, has the pool report what the driver left allocated
// since its entry ran (its own tags, not the system's objects), and deletes
// the driver object. Refused, with a verifier report, while the driver still
// has device objects.
bool UnloadDriver(PDRIVER_OBJECT driver);

PDRIVER_OBJECT FindDriver(std::string_view serviceName);

// --- Names ---------------------------------------------------------------

// Resolves \Device\..., \??\..., \DosDevices\... through symbolic links. The
// device comes back referenced (ObDereferenceObject it); remainder is what
// follows the device's name.
NTSTATUS ReferenceDeviceByName(std::u16string_view path, PDEVICE_OBJECT* device, std::u16string* remainder);
std::optional<std::u16string> SymbolicLinkTarget(std::u16string_view link);
// \Device\... or empty.
std::u16string DeviceName(PDEVICE_OBJECT device);

// --- PnP identity --------------------------------------------------------

// The device instance path of a PDO, e.g. USB\VID_2B84&PID_0841\6&1a2b3c&0&1.
// Set by the PnP manager; a PDO without one gets ROOT\WINSIM\<n> when it
// first registers an interface.
void SetInstanceId(PDEVICE_OBJECT pdo, std::u16string_view instanceId);
std::u16string InstanceId(PDEVICE_OBJECT pdo);

// --- Device interfaces ---------------------------------------------------

struct DeviceInterface {
    GUID interfaceClass;
    // \??\<instance path with # for \>#{guid}[\<reference>]
    std::u16string symbolicLink;
    std::u16string referenceString;
    // Null once the PDO is gone; the registration itself stays, as it does
    // in the registry.
    PDEVICE_OBJECT pdo;
    bool enabled;
};
std::vector<DeviceInterface> DeviceInterfaces(const GUID& interfaceClass, bool enabledOnly);

// --- System facts --------------------------------------------------------

// Current Windows reports WDM 6.3, so every older level is available.
inline constexpr UCHAR kDefaultWdmMajorVersion = 6;
inline constexpr UCHAR kDefaultWdmMinorVersion = 3;
// Answers IoIsWdmVersionAvailable from now on (e.g. 1, 0x10 for Windows 2000).
void SetWdmVersion(UCHAR major, UCHAR minor);

bool IsWmiRegistered(PDEVICE_OBJECT device);

// --- Files ---------------------------------------------------------------

// NtCreateFile's dispositions and options, with their Windows values.
inline constexpr ULONG kFileSupersede = 0;
inline constexpr ULONG kFileOpen = 1;
inline constexpr ULONG kFileCreate = 2;
inline constexpr ULONG kFileOpenIf = 3;
inline constexpr ULONG kFileOverwrite = 4;
inline constexpr ULONG kFileOverwriteIf = 5;
inline constexpr ULONG kFileWriteThrough = 0x00000002;
inline constexpr ULONG kFileNoIntermediateBuffering = 0x00000008;
inline constexpr ULONG kFileSynchronousIoNonAlert = 0x00000020;
inline constexpr ULONG kFileNonDirectoryFile = 0x00000040;

struct OpenParameters {
    ACCESS_MASK desiredAccess = 0;
    USHORT shareAccess = 0;
    USHORT fileAttributes = 0;
    ULONG disposition = kFileOpen;
    // kFileSynchronousIoNonAlert makes every request on the file wait.
    ULONG createOptions = 0;
};

// Resolves the name, sends IRP_MJ_CREATE to the top of the device's stack
// with the rest of the path as the file name, and waits for it. On success
// the caller owns one reference to the file object.
NTSTATUS OpenFile(std::u16string_view ntPath, const OpenParameters& parameters, PFILE_OBJECT* file);

// IRP_MJ_CLEANUP, sent when the last handle to the file closes. The file's
// last reference sends IRP_MJ_CLOSE.
NTSTATUS CleanupFile(PFILE_OBJECT file);

// One read, write or device control on an open file, buffered the way the
// device asks (DO_BUFFERED_IO, DO_DIRECT_IO, the control code's method).
struct FileRequest {
    UCHAR majorFunction = IRP_MJ_DEVICE_CONTROL;
    ULONG ioControlCode = 0;
    // Device control input, or the data of a write.
    PVOID inputBuffer = nullptr;
    ULONG inputLength = 0;
    // Device control output, or the buffer of a read.
    PVOID outputBuffer = nullptr;
    ULONG outputLength = 0;
    LARGE_INTEGER byteOffset = {};
    // Reset when the request starts, signalled when it completes.
    PKEVENT event = nullptr;
    // Receives the final status and byte count.
    PIO_STATUS_BLOCK ioStatus = nullptr;
};

// On a synchronous file waits and returns the final status. Otherwise it
// may return STATUS_PENDING; completion then fills *ioStatus and signals the
// event and FileEvent(file). A request the driver fails at once leaves both
// untouched, as on Windows.
NTSTATUS IssueFileRequest(PFILE_OBJECT file, const FileRequest& request);

PKEVENT FileEvent(PFILE_OBJECT file);
bool IsSynchronousFile(PFILE_OBJECT file);

}  // namespace winsim::io
