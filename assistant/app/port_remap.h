// Giving an adapter port another COM number: the COM-port database, the
// driver's configuration and the Assistant's working copy of it move
// together, or not at all.
#pragma once

#include "assistant/app/driver_access.h"
#include "common/device_tables.h"

namespace assistant {

enum class RemapOutcome {
    kDone,
    kRecordNotFound,  // no port of the driver's configuration carries the old number
    kDriverRefused,   // the configuration was not taken; database and tables are as before
};

// Reads the driver's configuration into snapshot, claims newCom and releases
// oldCom in the database, sends the port's new number and marks the same
// change in working so that it does not count as unsent.
RemapOutcome RemapComPort(DriverAccess& driver, DeviceConfigTable& snapshot, DeviceConfigTable& working, int oldCom,
                          int newCom);

}  // namespace assistant
