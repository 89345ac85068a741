#include "commands/adapter_commands.h"

#include <ostream>

#include "commands/control_commands.h"
#include "commands/firmware_option.h"
#include "commands/line_command.h"
#include "common/device_tables.h"
#include "common/usb_ids.h"
#include "pnp/device_installer.h"
#include "registry/registry_store.h"
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

// The adapter's interface node with the given &MI_xx suffix.
winsim::pnp::DeviceNode* InterfaceNode(winsim::pnp::DeviceNode* device, std::u16string_view suffix)
{
    for (winsim::pnp::DeviceNode* child : device->Children()) {
        for (const std::u16string& id : child->HardwareIds()) {
            if (id.size() >= suffix.size() && id.compare(id.size() - suffix.size(), suffix.size(), suffix) == 0) {
                return child;
            }
        }
    }
    return nullptr;
}

// The node the driver serves: the adapter's own interface.
winsim::pnp::DeviceNode* ControlInterfaceNode(winsim::pnp::DeviceNode* device)
{
    return InterfaceNode(device, u"" QTR_USB_MI_CONTROL);
}

// "COMn" in a port instance's "PortName", as the ports class installer
// wrote it; 0 without one.
ULONG PortNameNumber(winsim::pnp::DeviceNode* port)
{
    if (port == nullptr) return 0;
    const std::optional<std::u16string> name = winsim::registry::Store::Instance().GetString(
        winsim::pnp::InstanceKeyPath(port->InstancePath()) + u"\\Device Parameters", u"PortName");
    if (!name || name->size() < 4 || name->compare(0, 3, u"COM") != 0) return 0;
    ULONG number = 0;
    for (size_t i = 3; i < name->size(); ++i) {
        if ((*name)[i] < u'0' || (*name)[i] > u'9') return 0;
        number = number * 10 + static_cast<ULONG>((*name)[i] - u'0');
    }
    return number;
}

// "adapter NAME slot=S com=a,b,c,d" once the driver lists the adapter, found
// as a program would: the ports' COM names in their instances, then the
// record of the driver's table that carries them.
void ReportComPorts(Session& session, const std::string& name, winsim::pnp::DeviceNode* device)
{
    if (device == nullptr) return;
    const char16_t* const suffixes[] = {u"" QTR_USB_MI_PORT1, u"" QTR_USB_MI_PORT2, u"" QTR_USB_MI_PORT3,
                                        u"" QTR_USB_MI_PORT4};
    ULONG coms[kPortsPerAdapter] = {};
    for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
        coms[port] = PortNameNumber(InterfaceNode(device, suffixes[port]));
        if (coms[port] == 0) return;
    }
    const DeviceInfoTable table = ReadDeviceInfoTable();
    for (int32_t k = 0; k < table.count && k < static_cast<int32_t>(kAdapterSlotCount); ++k) {
        const AdapterInfo& record = table.adapters[k];
        bool same = true;
        for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
            same = same && record.ports[port].comNumber == static_cast<int32_t>(coms[port]);
        }
        if (!same) continue;
        session.Out() << "adapter " << name << " slot=" << record.slot << " com=" << coms[0] << ',' << coms[1]
                      << ',' << coms[2] << ',' << coms[3] << '\n';
        return;
    }
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
    ReportComPorts(session, name, adapter.node);
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
