// Compiled against the kernel layer: its own headers and those of the
// layers below it are in reach.
#include "km/io_manager.h"
#include "registry/registry_store.h"
#include "sched/scheduler.h"
#include "verifier/verifier.h"
