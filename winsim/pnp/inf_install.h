// Installs a driver INF's package on the machine: each service's key as its
// AddService section gives it, and for each model's hardware id what a
// device with that id gets (service, setup class, description, filters).
#pragma once

#include "pnp/inf_package.h"
#include "pnp/pnp_manager.h"

namespace winsim::pnp {

void InstallInfPackage(PnpManager& pnp, const InfPackage& package);

}  // namespace winsim::pnp
