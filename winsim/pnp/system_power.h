// The power manager's system transitions: sleep sends query-power and then
// set-power for the sleep state to every started device stack, leaves
// before their parents, and waits for each; a refused query ends the
// attempt with set-power S0 to the stacks already queried. Wake sends
// set-power S0, parents first. Device power follows from what each stack's
// power policy owner requests in turn. A transition holds the device tree:
// it runs on the PnP manager's worker, between PnP sequences.
#pragma once

#include <km_io.h>

#include <atomic>

#include "pnp/pnp_manager.h"

namespace winsim::pnp {

class SystemPower {
public:
    explicit SystemPower(PnpManager& pnp) : pnp_(pnp) {}

    // S1..S5. STATUS_INVALID_PARAMETER for S0 or an unknown state,
    // STATUS_INVALID_DEVICE_STATE while asleep; else the first refused query
    // (the machine stays in S0) or the first failed set-power (it sleeps
    // all the same).
    NTSTATUS Sleep(SYSTEM_POWER_STATE state);
    // Back to S0; STATUS_INVALID_DEVICE_STATE when not asleep.
    NTSTATUS Wake();

    SYSTEM_POWER_STATE State() const { return state_.load(); }

private:
    PnpManager& pnp_;
    std::atomic<SYSTEM_POWER_STATE> state_{PowerSystemWorking};
};

// One system power request (IRP_MN_QUERY_POWER or IRP_MN_SET_POWER) to the
// top of the PDO's stack, waited for at PASSIVE_LEVEL; its final status.
NTSTATUS SendSystemPowerIrp(PDEVICE_OBJECT pdo, UCHAR minor, SYSTEM_POWER_STATE state);

}  // namespace winsim::pnp
