#include "command_table.h"

#include "commands/adapter_commands.h"
#include "commands/pool_commands.h"
#include "commands/registry_commands.h"
#include "commands/time_commands.h"

namespace bench {

namespace {

constexpr Command kCommands[] = {
    {"eject", RunEject},
    {"plug", RunPlug},
    {"pool", RunPool},
    {"reg", RunReg},
    {"unplug", RunUnplug},
    {"wait", RunWait},
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
