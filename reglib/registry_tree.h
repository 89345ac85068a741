// Deleting a registry key with everything below it, children first.
#pragma once

#include "common/win32_user.h"

// ERROR_BADKEY for an empty or missing name; otherwise the first error met.
LONG DeleteKeyTree(HKEY parent, const char* name);
