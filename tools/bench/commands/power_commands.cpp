#include "commands/power_commands.h"

#include <ostream>

#include "common/usb_ids.h"
#include "km/io_device_extension.h"
#include "script_values.h"
#include "um/um_status.h"

namespace bench {

namespace {

constexpr const char* kSystemStateNames[] = {"S?", "S0", "S1", "S2", "S3", "S4", "S5"};
constexpr const char* kDeviceStateNames[] = {"D?", "D0", "D1", "D2", "D3"};

const char* SystemStateName(SYSTEM_POWER_STATE state)
{
    return state >= PowerSystemUnspecified && state < PowerSystemMaximum ? kSystemStateNames[state] : "S?";
}

SYSTEM_POWER_STATE ParseSleepState(const std::string& text)
{
    for (int state = PowerSystemSleeping1; state < PowerSystemMaximum; ++state) {
        if (text == kSystemStateNames[state]) return static_cast<SYSTEM_POWER_STATE>(state);
    }
    throw CommandError("a sleep state is S1 to S5, not " + text);
}

// The device state the bus recorded for the adapter's own interface.
const char* DeviceStateOf(winsim::pnp::DeviceNode* device)
{
    const std::u16string suffix = u"" QTR_USB_MI_CONTROL;
    for (winsim::pnp::DeviceNode* child : device->Children()) {
        const std::u16string& id = child->HardwareIds().front();
        if (id.size() < suffix.size() || id.compare(id.size() - suffix.size(), suffix.size(), suffix) != 0) continue;
        PDEVICE_OBJECT pdo = child->Pdo();
        if (pdo == nullptr) break;
        const DEVICE_POWER_STATE state = pdo->DeviceObjectExtension->devicePowerState;
        return state >= PowerDeviceUnspecified && state < PowerDeviceMaximum ? kDeviceStateNames[state] : "D?";
    }
    return "D?";
}

}  // namespace

void RunSleep(Session& session, const Args& args)
{
    if (args.size() != 1) throw CommandError("usage: sleep S1|S2|S3|S4|S5");
    const SYSTEM_POWER_STATE state = ParseSleepState(args[0]);
    const NTSTATUS status = session.Machine().Sim().Sleep(state);
    if (!NT_SUCCESS(status)) throw CommandError("sleep " + winsim::FormatNtStatus(status));
    session.Out() << "sleep " << SystemStateName(state) << '\n';
}

void RunWake(Session& session, const Args& args)
{
    if (!args.empty()) throw CommandError("usage: wake");
    const NTSTATUS status = session.Machine().Sim().Wake();
    if (!NT_SUCCESS(status)) throw CommandError("wake " + winsim::FormatNtStatus(status));
    session.Out() << "wake S0\n";
}

void RunPower(Session& session, const Args& args)
{
    if (!args.empty()) throw CommandError("usage: power");
    session.Out() << "power system " << SystemStateName(session.Machine().Sim().SystemState()) << '\n';
    for (const auto& [name, adapter] : session.Machine().Adapters()) {
        if (adapter.plugging != BenchMachine::Plugging::kIn || adapter.node == nullptr) continue;
        session.Out() << "power " << name << ' ' << DeviceStateOf(adapter.node) << '\n';
    }
}

}  // namespace bench
