#include "command_table.h"

#include "commands/adapter_commands.h"
#include "commands/assistant_command.h"
#include "commands/clock_commands.h"
#include "commands/com_commands.h"
#include "commands/control_commands.h"
#include "commands/debug_log_command.h"
#include "commands/device_commands.h"
#include "commands/file_commands.h"
#include "commands/line_command.h"
#include "commands/platform_commands.h"
#include "commands/pool_commands.h"
#include "commands/power_commands.h"
#include "commands/registry_commands.h"
#include "commands/reglib_commands.h"
#include "commands/throughput_command.h"
#include "commands/test_aid_commands.h"
#include "commands/time_commands.h"
#include "commands/trace_commands.h"
#include "commands/ui_commands.h"
#include "pty/pty_command.h"

namespace bench {

namespace {

constexpr Command kCommands[] = {
    {"assistant", RunAssistant},
    {"clock", RunClock},
    {"close", RunClose},
    {"comdb", RunComDb},
    {"comm", RunComm},
    {"config", RunConfig},
    {"debuglog", RunDebugLog},
    {"eject", RunEject},
    {"events", RunEvents},
    {"file", RunFile},
    {"fwversion", RunFirmwareVersion},
    {"info", RunInfo},
    {"ioctl", RunIoctl},
    {"line", RunSerialLine},
    {"loopback", RunLoopback},
    {"monitor", RunMonitor},
    {"open", RunOpen},
    {"platform", RunPlatform},
    {"plug", RunPlug},
    {"pool", RunPool},
    {"portscan", RunPortScan},
    {"pty", RunPty},
    {"read", RunRead},
    {"power", RunPower},
    {"reg", RunReg},
    {"reglib", RunRegLib},
    {"serialport", RunSerialPort},
    {"setconfig", RunSetConfig},
    {"sleep", RunSleep},
    {"testaid", RunTestAid},
    {"testprogram", RunTestProgram},
    {"throughput", RunThroughput},
    {"ui", RunUi},
    {"unplug", RunUnplug},
    {"usbtrace", RunUsbTrace},
    {"wait", RunWait},
    {"wake", RunWake},
    {"write", RunWrite},
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
