// The object namespace the I/O system needs: device objects in \Device and
// symbolic links in \?? (reached also as \DosDevices and \GLOBAL??). Names
// compare without regard to case; links resolve when a name is opened, so a
// link may point at a name that does not exist yet.
#pragma once

#include <km_io.h>

#include <string>
#include <string_view>

namespace winsim::ob {

// The form names compare in ("\??\QTR84PR0" for "\DosDevices\qtr84pr0");
// empty for a name outside the two directories.
std::u16string CanonicalName(std::u16string_view name);

NTSTATUS InsertDeviceName(std::u16string_view name, PDEVICE_OBJECT device);
void RemoveDeviceName(std::u16string_view name);

NTSTATUS CreateSymbolicLink(std::u16string_view link, std::u16string_view target);
NTSTATUS DeleteSymbolicLink(std::u16string_view link);

// Name lookups for the rest of the machine are io::ReferenceDeviceByName and
// io::SymbolicLinkTarget (io_manager.h), implemented with these.

}  // namespace winsim::ob
