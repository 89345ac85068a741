// The ports of the platforms outside the NT family, read from the "portname"
// values of their Enum tree.
#pragma once

#include "common/win32_user.h"

// Byte n - 1 is set for COMn, n 1 to 99.
inline constexpr unsigned kLegacyPortMapSize = 100;

// Scans the key (closing it) into the map: a "portname" COMn ends the
// key's scan, otherwise each subkey is scanned in turn until one fails.
// True when the key and every subkey visited succeeded.
bool ScanPortNames(HKEY key, BYTE map[kLegacyPortMapSize]);
