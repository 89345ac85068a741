// Compiled against the kernel layer: the PnP manager sits above it, so
// this include must not be found.
#include "pnp/pnp_manager.h"
