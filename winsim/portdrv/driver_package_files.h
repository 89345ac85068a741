// The driver package's INF files (driver/inf), built into the machine so
// that it installs exactly what a Windows user installs.
#pragma once

#include <string_view>

namespace winsim::portdrv {

struct PackageFile {
    std::string_view name;  // "84pr.inf"
    std::string_view text;
};

// 84pr.inf (the USB driver), then 84prp.inf (the ports).
const PackageFile* DriverPackageFiles(size_t* count);

}  // namespace winsim::portdrv
