#include "demonstration.h"

#include <ostream>

namespace bench {

namespace {

struct Step {
    const char* narration;
    const char* command;
};

// Each step says in plain words what happens, then shows the bench command
// and what the machine answered.
constexpr Step kSteps[] = {
    {"The simulated PC has booted: the adapter's USB driver 84prusb and the serial port driver are installed "
     "and loaded, and no adapter is plugged in yet.",
     nullptr},
    {"An adapter called DEMO goes into a USB port. Its application firmware is build 700, older than build 772 "
     "that the driver carries, so the driver sends it to its boot loader, downloads the new image into its "
     "flash and starts it. Each restart makes the adapter leave the bus and come back, as the real one does.",
     "plug DEMO firmware=\"app:Oct 01 2013 10:00:00 Ver 1.0.700\""},
    {"The adapter now reports the firmware the driver carries:", "fwversion 0"},
    {"The serial port driver found the adapter's four ports and gave them COM names. The driver's table of "
     "adapters lists them, all idle:",
     "info"},
    {"A loopback plug goes into the first port: whatever the port sends comes straight back to it.",
     "line DEMO 1 loopback"},
    {"The line monitor starts recording the traffic of every port.", "monitor start"},
    {"A program opens the first COM port and sets it to 115200 baud, 8 data bits, no parity, 1 stop bit.",
     "open COM3"},
    {nullptr, "comm COM3 baud=115200 data=8 parity=none stop=1"},
    {"It sends a message. The bytes travel through the driver to the adapter, out of its serial line, round "
     "the loopback plug and back.",
     "write COM3 \"Hello through the adapter\""},
    {"It reads them back:", "read COM3 25 timeout=1s"},
    {"While the port is open the table shows it busy:", "info"},
    {"The monitor caught the message both ways, sent (tx) and received (rx):", "monitor fetch"},
    {nullptr, "close COM3"},
    {"The adapter's settings: each port's COM number and options.", "config"},
    {"The second port moves to COM9 through the configuration request, as the Assistant's remap does.",
     "setconfig 0 1 com=9"},
    {nullptr, "config"},
    {"The adapter is pulled out. The driver gives back every allocation it made for it:", "unplug DEMO"},
    {nullptr, "pool"},
    {"It goes back in, and the Assistant starts: it lists the adapter and its ports.", "plug DEMO"},
    {nullptr, "assistant start"},
    {"Its main dialog, as a UI automation tool reads it (make run in a terminal shows it drawn):", "ui dump"},
};

}  // namespace

int RunDemonstration(std::ostream& out, SessionOptions options)
{
    Session session(out, options);
    for (const Step& step : kSteps) {
        if (step.narration != nullptr) out << "demo " << step.narration << '\n';
        if (step.command == nullptr) continue;
        out << "demo > " << step.command << '\n';
        if (!session.RunLine(step.command)) return 1;
    }
    return 0;
}

}  // namespace bench
