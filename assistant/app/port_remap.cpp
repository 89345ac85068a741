#include "assistant/app/port_remap.h"

#include "assistant/app/table_counts.h"
#include "cl84prreg64.h"

namespace assistant {

namespace {

struct PortPlace {
    int adapter = -1;
    int port = -1;
};

PortPlace FindConfiguredPort(const DeviceConfigTable& table, int comNumber)
{
    for (int i = 0; i < RecordCount(table); ++i) {
        for (int j = 0; j < kPorts; ++j) {
            if (table.adapters[i].ports[j].comNumber == comNumber) {
                return {i, j};
            }
        }
    }
    return {};
}

void MarkNewNumber(AdapterConfig& adapter, int port, int comNumber)
{
    adapter.ports[port].comNumber = comNumber;
    adapter.updateFlag = kConfigUpdateFlag;
}

}  // namespace

RemapOutcome RemapComPort(DriverAccess& driver, DeviceConfigTable& snapshot, DeviceConfigTable& working, int oldCom,
                          int newCom)
{
    driver.RefreshDeviceConfigTableGUI(snapshot);
    const PortPlace place = FindConfiguredPort(snapshot, oldCom);
    if (place.adapter < 0) {
        return RemapOutcome::kRecordNotFound;
    }
    // A number another device holds is not claimed, and so not given back below.
    const bool claimedNew = fnClaimComPort(static_cast<unsigned>(newCom)) != 0;
    fnReleaseComPort(static_cast<unsigned>(oldCom));
    AdapterConfig& entry = snapshot.adapters[place.adapter];
    const AdapterConfig before = entry;
    MarkNewNumber(entry, place.port, newCom);
    if (driver.UpdateDeviceConfigTable(snapshot) != kRequestDone) {
        // The port keeps its old name, so the database and the snapshot must say so too.
        entry = before;
        if (claimedNew) {
            fnReleaseComPort(static_cast<unsigned>(newCom));
        }
        fnClaimComPort(static_cast<unsigned>(oldCom));
        return RemapOutcome::kDriverRefused;
    }
    MarkNewNumber(working.adapters[place.adapter], place.port, newCom);
    return RemapOutcome::kDone;
}

}  // namespace assistant
