#include "pnp/inf_install.h"

#include "km/io_strings.h"
#include "registry/registry_store.h"

namespace winsim::pnp {

namespace {

constexpr std::u16string_view kServicesPath = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\";

void WriteServiceKey(const InfService& service)
{
    registry::Store& store = registry::Store::Instance();
    const std::u16string key = std::u16string(kServicesPath) + io::FromAscii(service.name);
    store.SetDword(key, u"Type", service.type);
    store.SetDword(key, u"Start", service.start);
    store.SetDword(key, u"ErrorControl", service.errorControl);
    if (!service.imagePath.empty()) store.SetString(key, u"ImagePath", service.imagePath);
    if (!service.displayName.empty()) store.SetString(key, u"DisplayName", io::FromAscii(service.displayName));
}

}  // namespace

void InstallInfPackage(PnpManager& pnp, const InfPackage& package)
{
    for (const InfModel& model : package.models) {
        for (const InfService& service : model.services) WriteServiceKey(service);
        pnp.RegisterPackage(model.hardwareId, model.package);
    }
}

}  // namespace winsim::pnp
