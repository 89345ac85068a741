#include "commands/reglib_commands.h"

#include <ostream>
#include <string>
#include <vector>

#include "cl84prreg64.h"
#include "commands/library_output.h"
#include "port_name_list.h"
#include "script_values.h"

namespace bench {

namespace {

constexpr const char* kUsage = "usage: reglib claim|release N | inuse [SIZE] | getmode | setmode M | clean | copyinf | update";

unsigned NumberArgument(const Args& args)
{
    if (args.size() != 2) throw CommandError(kUsage);
    return static_cast<unsigned>(ParseNumber(args[1], 0xFFFFFFFFu));
}

void NoArguments(const Args& args)
{
    if (args.size() != 1) throw CommandError(kUsage);
}

// Runs one export with its standard output shown first; then the result line.
template <typename Call>
void Report(Session& session, const std::string& prefix, Call call)
{
    std::string line;
    RunCapturingOutput(session.Out(), [&] { line = prefix + ' ' + call(); });
    session.Out() << "reglib " << line << '\n';
}

void InUse(Session& session, const Args& args)
{
    if (args.size() > 2) throw CommandError(kUsage);
    const size_t size = args.size() == 2 ? static_cast<size_t>(ParseNumber(args[1], 1u << 20)) : 256;
    std::vector<BYTE> buffer(size, 0xAA);
    Report(session, "inuse", [&] {
        const unsigned filled = fnGetPortsInUse(buffer.data(), static_cast<unsigned>(size));
        std::string list;
        for (size_t i = 0; i < size; ++i) {
            if (buffer[i] != 0) list += (list.empty() ? "" : ",") + std::to_string(i + 1);
        }
        return std::to_string(filled) + ' ' + (list.empty() ? "none" : list);
    });
}

}  // namespace

void RunRegLib(Session& session, const Args& args)
{
    if (args.empty()) throw CommandError(kUsage);
    const std::string& what = args[0];
    auto result = [](int value) { return std::to_string(value); };
    if (what == "claim" || what == "release") {
        const unsigned number = NumberArgument(args);
        Report(session, what + ' ' + args[1], [&] {
            return result(what == "claim" ? fnClaimComPort(number) : fnReleaseComPort(number));
        });
    } else if (what == "inuse") {
        InUse(session, args);
    } else if (what == "getmode") {
        NoArguments(args);
        int mode = -1;
        RunCapturingOutput(session.Out(), [&] { fnGetDriverConfig(&mode); });
        session.Out() << "reglib mode " << mode << '\n';
    } else if (what == "setmode") {
        const unsigned mode = NumberArgument(args);
        Report(session, "setmode " + args[1], [&] { return result(fnSetDriverConfig(mode)); });
    } else if (what == "clean") {
        NoArguments(args);
        Report(session, "clean", [&] { return result(fnClqtrreg()); });
    } else if (what == "copyinf") {
        NoArguments(args);
        Report(session, "copyinf", [&] { return result(fnCopyInfToSystem()); });
    } else if (what == "update") {
        NoArguments(args);
        Report(session, "update", [&] { return result(fnUpdateDriverPNP()); });
    } else {
        throw CommandError(kUsage);
    }
}

void RunPortScan(Session& session, const Args& args)
{
    if (!args.empty()) throw CommandError("usage: portscan");
    PortNameList* list = BuildPortNameList();
    if (list == nullptr) throw CommandError("the port list could not be allocated");
    std::ostream& out = session.Out();
    out << "portscan " << list->count << '\n';
    for (int i = 0; i < list->count; ++i) {
        out << "portscan " << QuoteText(list->entries[i].portName) << ' ' << QuoteText(list->entries[i].description)
            << '\n';
    }
    FreePortNameList(list);
}

}  // namespace bench
