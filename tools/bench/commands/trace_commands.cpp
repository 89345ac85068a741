#include "commands/trace_commands.h"

#include <string>

#include "script_values.h"

namespace bench {

namespace {

// The message pipes: 0x01 to the adapter, 0x81 from it.
constexpr UCHAR kMessageOut = 0x01;
constexpr UCHAR kMessageIn = 0x81;

}  // namespace

void RunUsbTrace(Session& session, const Args& args)
{
    if (args.size() != 1 || (args[0] != "on" && args[0] != "off")) throw CommandError("usage: usbtrace on|off");
    winsim::hw::UsbBus& bus = session.Machine().Sim().Usb();
    if (args[0] == "off") {
        bus.SetTransferObserver(nullptr);
        return;
    }
    // The bus thread prints while the machine runs, in the order the
    // transfers end, beside what the commands print.
    SessionOutput* shown = &session.Shown();
    bus.SetTransferObserver([shown](const winsim::hw::AdapterModel& adapter, UCHAR endpoint,
                                    const std::vector<UCHAR>& bytes) {
        if (endpoint != kMessageOut && endpoint != kMessageIn) return;
        shown->WriteLine("usb " + adapter.SerialNumber() + (endpoint == kMessageOut ? " > " : " < ") +
                         FormatBytes(bytes));
    });
}

}  // namespace bench
