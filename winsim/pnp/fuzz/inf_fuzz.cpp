// A hostile setup information file through the INF reader, as SetupAPI's
// copy and driver update read the package's files: the file's sections and
// lines, then the driver package it describes. Whatever the text (quotes
// left open, continuations at the end, %names% without entries, sections
// named by nothing), reading finishes, and every model the package lists
// is found again by its own hardware id.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "pnp/inf_file.h"
#include "pnp/inf_package.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The reader looks sections up by name for every model: a long file of
    // models costs its square, which says nothing about robustness.
    if (size > 8192) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const winsim::pnp::InfFile inf = winsim::pnp::InfFile::Parse(text);
    for (const char* section : {"Version", "Manufacturer", "Strings"}) {
        for (const winsim::pnp::InfLine& line : inf.Lines(section)) {
            if (line.key.empty()) continue;
            // A key the section lists is found by its name, whatever its case.
            if (!inf.Values(section, winsim::pnp::InfUpper(line.key))) std::abort();
            inf.Value(section, line.key);
        }
    }
    const std::optional<winsim::pnp::InfPackage> package = winsim::pnp::ReadInfPackage(inf);
    if (!package) return 0;
    if (package->classGuid.empty()) std::abort();
    for (const winsim::pnp::InfModel& model : package->models) {
        if (winsim::pnp::FindModel(*package, model.hardwareId) == nullptr) std::abort();
        if (model.package.classGuid != package->classGuid) std::abort();
    }
    return 0;
}
