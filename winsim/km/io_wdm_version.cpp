// IoIsWdmVersionAvailable, answered from the simulated system's version.
#include <atomic>

#include "km/io_manager.h"

namespace winsim::io {

namespace {

std::atomic<USHORT> g_wdmVersion{static_cast<USHORT>(kDefaultWdmMajorVersion << 8 | kDefaultWdmMinorVersion)};

}  // namespace

void SetWdmVersion(UCHAR major, UCHAR minor) { g_wdmVersion.store(static_cast<USHORT>(major << 8 | minor)); }

}  // namespace winsim::io

extern "C" BOOLEAN IoIsWdmVersionAvailable(UCHAR majorVersion, UCHAR minorVersion)
{
    return static_cast<USHORT>(majorVersion << 8 | minorVersion) <= winsim::io::g_wdmVersion.load() ? TRUE : FALSE;
}
