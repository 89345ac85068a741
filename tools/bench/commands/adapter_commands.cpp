#include "commands/adapter_commands.h"

#include <ostream>

#include "commands/com_commands.h"
#include "commands/firmware_option.h"
#include "commands/line_command.h"
#include "common/device_tables.h"
#include "common/usb_ids.h"
#include "script_values.h"
#include "um/um_status.h"

namespace bench {

namespace {

using Adapter = BenchMachine::Adapter;
using Plugging = BenchMachine::Plugging;

const std::string& AdapterName(const Args& args, const char* usage)
{
    if (args.empty()) throw CommandError(usage);
    const std::string& name = args[0];
    for (char c : name) {
        const bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!letterOrDigit) throw CommandError("an adapter name is letters and digits, not " + name);
    }
    return name;
}

Adapter& PluggedAdapter(Session& session, const std::string& name)
{
    Adapter* adapter = session.Machine().FindAdapter(name);
    if (adapter == nullptr || adapter->plugging == Plugging::kOut) throw CommandError(name + " is not plugged");
    return *adapter;
}

// The node the driver serves: the adapter's own interface.
winsim::pnp::DeviceNode* ControlInterfaceNode(winsim::pnp::DeviceNode* device)
{
    const std::u16string suffix = u"" QTR_USB_MI_CONTROL;
    for (winsim::pnp::DeviceNode* child : device->Children()) {
        for (const std::u16string& id : child->HardwareIds()) {
            if (id.size() >= suffix.size() && id.compare(id.size() - suffix.size(), suffix.size(), suffix) == 0) {
                return child;
            }
        }
    }
    return nullptr;
}

// The adapter as built, with only the first ports' interfaces.
winsim::hw::DescriptorLayout LayoutWithPorts(ULONG ports)
{
    winsim::hw::DescriptorLayout layout = winsim::hw::DescriptorLayout::Adapter();
    std::erase_if(layout.interfaces, [ports](const winsim::hw::InterfaceLayout& i) { return i.number > ports; });
    return layout;
}

// What became of the start, when it did not work out.
void ReportStart(Session& session, const std::string& name, winsim::pnp::DeviceNode* device)
{
    winsim::pnp::DeviceNode* control = ControlInterfaceNode(device);
    if (control == nullptr) return;
    switch (control->State()) {
    case winsim::pnp::NodeState::kStartFailed:
        session.Out() << "adapter " << name << " start-failed " << winsim::FormatNtStatus(control->LastStatus())
                      << '\n';
        break;
    case winsim::pnp::NodeState::kNoDriver:
        session.Out() << "adapter " << name << " no-driver " << winsim::FormatNtStatus(control->LastStatus())
                      << '\n';
        break;
    default:
        break;
    }
}

// Each re-enumeration after the adapter restarted; its device node is new.
void ReportRestarts(Session& session, const std::string& name, Adapter& adapter)
{
    if (adapter.microcontroller == nullptr) return;
    const ULONG restarts = adapter.microcontroller->Restarts();
    if (adapter.restartsReported == restarts) return;
    for (; adapter.restartsReported < restarts; ++adapter.restartsReported) {
        session.Out() << "adapter " << name << " restarted\n";
    }
    ReconnectLines(session, name);
    PDEVICE_OBJECT pdo = session.Machine().Sim().Usb().FunctionPdo(*adapter.model, 0);
    winsim::pnp::DeviceNode* control = pdo == nullptr ? nullptr : session.Machine().Sim().Pnp().FindNode(pdo);
    adapter.node = control == nullptr ? nullptr : control->Parent();
}

void PullOut(Session& session, Adapter& adapter)
{
    adapter.microcontroller->Unplug();
    adapter.node = nullptr;
    adapter.plugging = Plugging::kOut;
    session.Machine().RunUntilQuiet();
}

}  // namespace

void ReportRestartedAdapters(Session& session)
{
    for (auto& [name, adapter] : session.Machine().Adapters()) ReportRestarts(session, name, adapter);
}

void RunPlug(Session& session, const Args& args)
{
    const std::string& name = AdapterName(args, "usage: plug NAME");
    const std::string* firmware = nullptr;
    ULONG ports = kPortsPerAdapter;
    for (size_t i = 1; i < args.size(); ++i) {
        const KeyValue option = SplitKeyValue(args[i]);
        if (option.key == "firmware") {
            firmware = &args[i];
        } else if (option.key == "ports") {
            ports = static_cast<ULONG>(ParseNumber(option.value, kPortsPerAdapter));
        } else {
            throw CommandError("plug has no option " + option.key);
        }
    }
    Adapter& adapter = session.Machine().AdapterNamed(name);
    if (adapter.plugging == Plugging::kIn) throw CommandError(name + " is already plugged");
    // An ejected adapter is still in its port: plugging it again means
    // pulling it out first, as a person would.
    if (adapter.plugging == Plugging::kEjected) PullOut(session, adapter);
    adapter.model->ReplaceDescriptors(LayoutWithPorts(ports));
    // Without firmware= an adapter seen before keeps what its flash holds.
    if (firmware != nullptr || adapter.microcontroller == nullptr) {
        const std::string choice = firmware != nullptr ? SplitKeyValue(*firmware).value : kDefaultFirmware;
        const FirmwareChoice parsed = ParseFirmwareChoice(choice);
        adapter.microcontroller.reset();
        adapter.microcontroller = MakeMicrocontroller(session.Machine().Sim(), *adapter.model, parsed);
        adapter.restartsReported = 0;
    }

    adapter.node = adapter.microcontroller->Plug();
    if (adapter.node == nullptr) throw CommandError("the USB bus could not take " + name);
    adapter.plugging = Plugging::kIn;
    session.Out() << "plugged " << name << '\n';
    ReconnectLines(session, name);
    session.Machine().RunUntilQuiet();
    ReportRestartedAdapters(session);
    if (adapter.node != nullptr) ReportStart(session, name, adapter.node);
    ReportComPorts(session, name, *adapter.model);
}

void RunUnplug(Session& session, const Args& args)
{
    const std::string& name = AdapterName(args, "usage: unplug NAME");
    if (args.size() != 1) throw CommandError("usage: unplug NAME");
    PullOut(session, PluggedAdapter(session, name));
    session.Out() << "unplugged " << name << '\n';
}

void RunEject(Session& session, const Args& args)
{
    const std::string& name = AdapterName(args, "usage: eject NAME");
    if (args.size() != 1) throw CommandError("usage: eject NAME");
    Adapter& adapter = PluggedAdapter(session, name);
    if (adapter.plugging == Plugging::kEjected) throw CommandError(name + " is already ejected");
    const NTSTATUS status = session.Machine().Sim().Pnp().Eject(adapter.node);
    if (!NT_SUCCESS(status)) throw CommandError("query-remove " + winsim::FormatNtStatus(status));
    adapter.plugging = Plugging::kEjected;
    session.Out() << "ejected " << name << '\n';
}

}  // namespace bench
