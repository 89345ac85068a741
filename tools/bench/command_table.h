// The bench's commands by name.
#pragma once

#include <string_view>

#include "bench_session.h"

namespace bench {

using CommandHandler = void (*)(Session& session, const Args& args);

struct Command {
    std::string_view name;
    CommandHandler run;
};

// Null for a name the bench does not know.
const Command* FindCommand(std::string_view name);

}  // namespace bench
