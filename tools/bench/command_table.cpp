#include "command_table.h"

#include "commands/adapter_commands.h"
#include "commands/control_commands.h"
#include "commands/pool_commands.h"
#include "commands/power_commands.h"
#include "commands/registry_commands.h"
#include "commands/time_commands.h"
#include "commands/trace_commands.h"

namespace bench {

namespace {

constexpr Command kCommands[] = {
    {"config", RunConfig},
    {"eject", RunEject},
    {"events", RunEvents},
    {"fwversion", RunFirmwareVersion},
    {"info", RunInfo},
    {"ioctl", RunIoctl},
    {"loopback", RunLoopback},
    {"monitor", RunMonitor},
    {"plug", RunPlug},
    {"pool", RunPool},
    {"power", RunPower},
    {"reg", RunReg},
    {"setconfig", RunSetConfig},
    {"sleep", RunSleep},
    {"unplug", RunUnplug},
    {"usbtrace", RunUsbTrace},
    {"wait", RunWait},
    {"wake", RunWake},
};

}  // namespace

const Command* FindCommand(std::string_view name)
{
    for (const Command& command : kCommands) {
        if (command.name == name) return &command;
    }
    return nullptr;
}

}  // namespace bench
