#include "pnp/inf_package.h"

#include <cstdlib>

#include "km/io_strings.h"

namespace winsim::pnp {

namespace {

constexpr const char* kArchitecture = "NTAMD64";
constexpr ULONG kAssociatedService = 0x2;  // SPSVCINST_ASSOCSERVICE
constexpr ULONG kMultiStringFlag = 0x00010000;  // FLG_ADDREG_TYPE_MULTI_SZ

ULONG Number(const std::string& text, ULONG fallback)
{
    if (text.empty()) return fallback;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    return end == text.c_str() ? fallback : static_cast<ULONG>(value);
}

// "%12%\name.sys" (the drivers directory) as the service's image path.
std::u16string ImagePath(const std::string& binary)
{
    std::string path = binary;
    const std::string drivers = "%12%";
    if (path.rfind(drivers, 0) == 0) path = "\\SystemRoot\\System32\\drivers" + path.substr(drivers.size());
    return io::FromAscii(path);
}

// The install section as the platform picks it: the most specific
// decoration the file has.
std::string DecoratedSection(const InfFile& inf, const std::string& name)
{
    for (const std::string& suffix : {std::string(".") + kArchitecture, std::string(".NT")}) {
        if (inf.HasSection(name + suffix)) return name + suffix;
    }
    return name;
}

// The models sections a manufacturer line names: "Models, NTamd64" means
// [Models.NTamd64] on this machine; without a matching decoration, [Models].
std::string ModelsSection(const InfFile& inf, const InfLine& line)
{
    if (line.values.empty()) return {};
    const std::string& base = line.values[0];
    for (size_t i = 1; i < line.values.size(); ++i) {
        const std::string decoration = InfUpper(line.values[i]);
        if (decoration.rfind(kArchitecture, 0) == 0 && inf.HasSection(base + "." + line.values[i])) {
            return base + "." + line.values[i];
        }
    }
    return base;
}

std::vector<std::string> UpperFilters(const InfFile& inf, const std::string& install)
{
    std::vector<std::string> filters;
    std::optional<std::vector<std::string>> addReg = inf.Values(install + ".HW", "AddReg");
    if (!addReg) return filters;
    for (const std::string& section : *addReg) {
        for (const InfLine& line : inf.Lines(section)) {
            const std::vector<std::string>& v = line.values;
            if (v.size() < 5 || InfUpper(v[0]) != "HKR" || InfUpper(v[2]) != "UPPERFILTERS") continue;
            if ((Number(v[3], 0) & kMultiStringFlag) == 0) continue;
            filters.assign(v.begin() + 4, v.end());
        }
    }
    return filters;
}

void ReadServices(const InfFile& inf, const std::string& install, InfModel& model)
{
    for (const InfLine& line : inf.Lines(install + ".Services")) {
        if (InfUpper(line.key) != "ADDSERVICE" || line.values.empty()) continue;
        InfService service;
        service.name = line.values[0];
        const ULONG flags = line.values.size() > 1 ? Number(line.values[1], 0) : 0;
        if (line.values.size() > 2) {
            const std::string& section = line.values[2];
            service.displayName = inf.Value(section, "DisplayName");
            service.type = Number(inf.Value(section, "ServiceType"), 1);
            service.start = Number(inf.Value(section, "StartType"), 3);
            service.errorControl = Number(inf.Value(section, "ErrorControl"), 1);
            service.imagePath = ImagePath(inf.Value(section, "ServiceBinary"));
        }
        if ((flags & kAssociatedService) != 0) model.package.service = service.name;
        model.services.push_back(std::move(service));
    }
}

}  // namespace

std::optional<InfPackage> ReadInfPackage(const InfFile& inf)
{
    const std::string signature = InfUpper(inf.Value("Version", "Signature"));
    if (signature != "$WINDOWS NT$" && signature != "$CHICAGO$") return std::nullopt;
    InfPackage package;
    package.classGuid = io::UpperCase(io::FromAscii(inf.Value("Version", "ClassGuid")));
    package.className = inf.Value("Version", "Class");
    if (package.classGuid.empty()) return std::nullopt;
    for (const InfLine& manufacturer : inf.Lines("Manufacturer")) {
        for (const InfLine& line : inf.Lines(ModelsSection(inf, manufacturer))) {
            if (line.values.size() < 2) continue;
            // The ids of one line share the install section: read it once.
            const std::string install = DecoratedSection(inf, line.values[0]);
            InfModel model;
            model.package.classGuid = package.classGuid;
            model.package.description = io::FromAscii(line.key);
            model.package.upperFilters = UpperFilters(inf, install);
            ReadServices(inf, install, model);
            for (size_t i = 1; i < line.values.size(); ++i) {
                model.hardwareId = io::FromAscii(line.values[i]);
                package.models.push_back(model);
            }
        }
    }
    return package;
}

const InfModel* FindModel(const InfPackage& package, std::u16string_view hardwareId)
{
    const std::u16string wanted = io::UpperCase(hardwareId);
    for (const InfModel& model : package.models) {
        if (io::UpperCase(model.hardwareId) == wanted) return &model;
    }
    return nullptr;
}

}  // namespace winsim::pnp
