#include "pnp/system_power.h"

#include <vector>

#include "pnp/pnp_irp.h"

namespace winsim::pnp {

namespace {

POWER_ACTION ActionFor(SYSTEM_POWER_STATE state)
{
    switch (state) {
    case PowerSystemWorking: return PowerActionNone;
    case PowerSystemHibernate: return PowerActionHibernate;
    case PowerSystemShutdown: return PowerActionShutdown;
    default: return PowerActionSleep;
    }
}

// Stacks that take power requests now: started nodes still present.
std::vector<PDEVICE_OBJECT> StartedStacks(PnpManager& pnp)
{
    std::vector<PDEVICE_OBJECT> stacks;
    for (DeviceNode* node : PostOrder(pnp.Root())) {
        if (node == pnp.Root() || node->State() != NodeState::kStarted || !node->Present()) continue;
        if (PDEVICE_OBJECT pdo = node->Pdo()) stacks.push_back(pdo);
    }
    return stacks;
}

}  // namespace

NTSTATUS SendSystemPowerIrp(PDEVICE_OBJECT pdo, UCHAR minor, SYSTEM_POWER_STATE state)
{
    return SendPowerIrp(pdo, minor, [state](IO_STACK_LOCATION& next) {
        next.Parameters.Power.SystemContext = 0;
        next.Parameters.Power.Type = SystemPowerState;
        next.Parameters.Power.State.SystemState = state;
        next.Parameters.Power.ShutdownType = ActionFor(state);
    });
}

NTSTATUS SystemPower::Sleep(SYSTEM_POWER_STATE state)
{
    if (state <= PowerSystemWorking || state >= PowerSystemMaximum) return STATUS_INVALID_PARAMETER;
    return pnp_.RunSerialised([this, state] {
        if (state_.load() != PowerSystemWorking) return STATUS_INVALID_DEVICE_STATE;
        const std::vector<PDEVICE_OBJECT> stacks = StartedStacks(pnp_);
        for (size_t queried = 0; queried < stacks.size(); ++queried) {
            const NTSTATUS status = SendSystemPowerIrp(stacks[queried], IRP_MN_QUERY_POWER, state);
            if (NT_SUCCESS(status)) continue;
            // Vetoed: those that agreed hear that the system stays in S0.
            for (size_t i = queried; i-- > 0;) SendSystemPowerIrp(stacks[i], IRP_MN_SET_POWER, PowerSystemWorking);
            return status;
        }
        state_.store(state);
        NTSTATUS result = STATUS_SUCCESS;
        for (PDEVICE_OBJECT pdo : stacks) {
            const NTSTATUS status = SendSystemPowerIrp(pdo, IRP_MN_SET_POWER, state);
            if (!NT_SUCCESS(status) && NT_SUCCESS(result)) result = status;
        }
        return result;
    });
}

NTSTATUS SystemPower::Wake()
{
    return pnp_.RunSerialised([this] {
        if (state_.load() == PowerSystemWorking) return STATUS_INVALID_DEVICE_STATE;
        std::vector<PDEVICE_OBJECT> stacks = StartedStacks(pnp_);
        NTSTATUS result = STATUS_SUCCESS;
        for (auto it = stacks.rbegin(); it != stacks.rend(); ++it) {
            const NTSTATUS status = SendSystemPowerIrp(*it, IRP_MN_SET_POWER, PowerSystemWorking);
            if (!NT_SUCCESS(status) && NT_SUCCESS(result)) result = status;
        }
        state_.store(PowerSystemWorking);
        return result;
    });
}

}  // namespace winsim::pnp
