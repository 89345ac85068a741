// winsim user-mode headers: newdev.dll's driver update.
#pragma once

#include "setupapi.h"

#define INSTALLFLAG_FORCE 0x00000001
#define INSTALLFLAG_READONLY 0x00000002
#define INSTALLFLAG_NONINTERACTIVE 0x00000004

extern "C" {

// Installs the INF's driver again on every present device with that
// hardware id and restarts it; FALSE with ERROR_NO_SUCH_DEVINST when none
// is present.
BOOL WINAPI UpdateDriverForPlugAndPlayDevicesA(HWND hwndParent, LPCSTR HardwareId, LPCSTR FullInfPath,
                                               DWORD InstallFlags, PBOOL bRebootRequired);

}  // extern "C"
