// The Assistant's installation folder, from its App Paths entry.
#pragma once

#include <string>

// The folder's "driver\" subfolder, ending in a backslash; prints the
// library's diagnostics and returns false when the entry cannot be read.
bool DriverFolder(std::string* folder);
