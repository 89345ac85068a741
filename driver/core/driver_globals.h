// Driver-wide state set up at driver entry.
#pragma once

#include "kernel.h"

// The service key path, kept for WMI registration.
extern UNICODE_STRING DriverRegistryPath;
