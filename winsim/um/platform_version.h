// The Windows version the simulated PC reports through GetVersionExA.
#pragma once

namespace winsim::um {

enum class PlatformVersion {
    kNt61,   // Windows 7 SP1, the default
    kNt40,   // Windows NT 4.0 SP6
    kWin9x,  // Windows 98 SE, the non-NT platform
};

void SetPlatformVersion(PlatformVersion version);
PlatformVersion CurrentPlatformVersion();

}  // namespace winsim::um
