#include "commands/line_command.h"

#include "hw/firmware/application_firmware.h"
#include "hw/serial/far_ends.h"
#include "hw/serial/serial_port.h"
#include "script_values.h"

namespace bench {

namespace {

using Adapter = BenchMachine::Adapter;
using Connector = BenchMachine::Connector;
using winsim::hw::ApplicationFirmware;
using winsim::hw::serial::SerialPort;

constexpr const char* kUsage = "usage: line NAME PORT none|loopback|nullmodem OTHER PORT2|feed TEXT";

ULONG PortIndex(const std::string& text)
{
    const uint64_t port = ParseNumber(text, ApplicationFirmware::kPorts);
    if (port == 0) throw CommandError("a port is 1 to 4, not " + text);
    return static_cast<ULONG>(port - 1);
}

Adapter& NamedAdapter(Session& session, const std::string& name)
{
    Adapter* adapter = session.Machine().FindAdapter(name);
    if (adapter == nullptr || adapter->microcontroller == nullptr) throw CommandError(name + " was never plugged");
    return *adapter;
}

// Calls f with the port while its application runs; without one (the boot
// loader runs, or the adapter is out) the connector waits for the next.
template <typename F>
void WithPort(Adapter& adapter, ULONG port, F f)
{
    adapter.microcontroller->WithApplication([&](ApplicationFirmware& application) { f(application.Port(port)); });
}

void ConnectNullModem(Session& session, Adapter& adapter, ULONG port, const Connector& cable)
{
    Adapter* other = session.Machine().FindAdapter(cable.otherAdapter);
    if (other == nullptr || other->microcontroller == nullptr) return;
    if (other == &adapter) {
        adapter.microcontroller->WithApplication([&](ApplicationFirmware& application) {
            application.Port(port).PlugNullModem(application.Port(cable.otherPort));
        });
        return;
    }
    WithPort(adapter, port, [&](SerialPort& near) {
        WithPort(*other, cable.otherPort, [&](SerialPort& far) { near.PlugNullModem(far); });
    });
}

void Connect(Session& session, Adapter& adapter, ULONG port)
{
    const Connector& connector = adapter.connectors[port];
    switch (connector.kind) {
    case Connector::Kind::kNothing: WithPort(adapter, port, [](SerialPort& p) { p.PlugNothing(); }); break;
    case Connector::Kind::kLoopback: WithPort(adapter, port, [](SerialPort& p) { p.PlugLoopback(); }); break;
    case Connector::Kind::kNullModem: ConnectNullModem(session, adapter, port, connector); break;
    }
}

// A connector that is replaced takes a null-modem cable's other end with it.
void Disconnect(Session& session, Adapter& adapter, ULONG port)
{
    Connector& connector = adapter.connectors[port];
    if (connector.kind == Connector::Kind::kNullModem) {
        Adapter* other = session.Machine().FindAdapter(connector.otherAdapter);
        if (other != nullptr) other->connectors[connector.otherPort] = Connector{};
    }
    connector = Connector{};
}

}  // namespace

void RunSerialLine(Session& session, const Args& args)
{
    if (args.size() < 3) throw CommandError(kUsage);
    const std::string& name = args[0];
    Adapter& adapter = NamedAdapter(session, name);
    const ULONG port = PortIndex(args[1]);
    const std::string& mode = args[2];
    if (mode == "none" || mode == "loopback") {
        if (args.size() != 3) throw CommandError(kUsage);
        Disconnect(session, adapter, port);
        if (mode == "loopback") adapter.connectors[port].kind = Connector::Kind::kLoopback;
        Connect(session, adapter, port);
    } else if (mode == "nullmodem") {
        if (args.size() != 5) throw CommandError(kUsage);
        Adapter& other = NamedAdapter(session, args[3]);
        const ULONG otherPort = PortIndex(args[4]);
        if (&other == &adapter && otherPort == port) throw CommandError("a null-modem cable needs two ports");
        Disconnect(session, adapter, port);
        Disconnect(session, other, otherPort);
        adapter.connectors[port] = Connector{Connector::Kind::kNullModem, args[3], otherPort};
        other.connectors[otherPort] = Connector{Connector::Kind::kNullModem, name, port};
        Connect(session, adapter, port);
    } else if (mode == "feed") {
        if (args.size() != 4) throw CommandError(kUsage);
        const std::vector<uint8_t> text = ParseData(args[3]);
        bool fed = false;
        Disconnect(session, adapter, port);
        WithPort(adapter, port, [&](SerialPort& p) {
            p.PlugPeer().Feed(std::vector<UCHAR>(text.begin(), text.end()));
            fed = true;
        });
        if (!fed) throw CommandError(name + " runs no application to feed");
    } else {
        throw CommandError(kUsage);
    }
}

void ReconnectLines(Session& session, const std::string& name)
{
    Adapter* adapter = session.Machine().FindAdapter(name);
    if (adapter == nullptr || adapter->microcontroller == nullptr) return;
    for (ULONG port = 0; port < ApplicationFirmware::kPorts; ++port) {
        if (adapter->connectors[port].kind != Connector::Kind::kNothing) Connect(session, *adapter, port);
    }
}

}  // namespace bench
