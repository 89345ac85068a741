#include "command_table.h"

#include "commands/pool_commands.h"
#include "commands/registry_commands.h"
#include "commands/time_commands.h"

namespace bench {

namespace {

constexpr Command kCommands[] = {
    {"pool", RunPool},
    {"reg", RunReg},
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
