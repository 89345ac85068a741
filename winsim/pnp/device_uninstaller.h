// What the class installer's DIF_REMOVE does to a device instance: a present
// device is removed through PnP first (query-remove, remove: its stack is
// torn down), the ports class installer releases a port's COM name in the
// database, and the instance key and its software key go. A removal that a
// driver refuses leaves the stack until the device goes, as Windows does
// when it asks for a restart; the keys go all the same.
#pragma once

#include <string_view>

#include "pnp/pnp_manager.h"

namespace winsim::pnp {

// False when the instance has no key. On a simulation thread.
bool UninstallDevice(PnpManager* pnp, std::u16string_view instancePath);

}  // namespace winsim::pnp
