// What the library asks of the platform it runs on.
#pragma once

#include "common/win32_user.h"

// GetVersionExA's answer; zeroed when it fails.
OSVERSIONINFOA PlatformVersion();
bool IsNtPlatform();
