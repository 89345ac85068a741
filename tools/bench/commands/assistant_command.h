// `assistant start`: the Assistant as a logged-on user starts it.
#pragma once

#include <string>

#include "bench_session.h"

namespace bench {

// The Assistant's file on the simulated PC, in its installation folder.
std::string AssistantImagePath();

void RunAssistant(Session& session, const Args& args);

}  // namespace bench
