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
    {"The simulated PC has booted with the adapter's USB driver 84prusb installed and loaded.", nullptr},
    {"The driver's service key in the registry, where the driver package put it:",
     "reg get HKLM\\System\\CurrentControlSet\\Services\\84prusb"},
    {"What the driver holds in kernel pool right now (its copy of the service key path):", "pool"},
    {"Time in the simulation is virtual: two seconds pass in a moment.", "wait 2s"},
    {"Two seconds later the driver holds the same pool: nothing grew while time passed.", "pool"},
};

}  // namespace

int RunDemonstration(std::ostream& out, SessionOptions options)
{
    Session session(out, options);
    for (const Step& step : kSteps) {
        out << "demo " << step.narration << '\n';
        if (step.command == nullptr) continue;
        out << "demo > " << step.command << '\n';
        if (!session.RunLine(step.command)) return 1;
    }
    return 0;
}

}  // namespace bench
