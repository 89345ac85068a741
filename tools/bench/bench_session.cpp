#include "bench_session.h"

#include <ostream>
#include <sstream>

#include "command_table.h"
#include "commands/adapter_commands.h"
#include "commands/ui_commands.h"
#include "script_values.h"

namespace bench {

Session::Session(std::ostream& out, SessionOptions options)
    : shown_(out), out_(&shown_.Stream()), machine_(std::make_unique<BenchMachine>(options.realtime, options.driverInstalled))
{
}

Session::~Session() = default;

void Session::Execute(std::string_view line)
{
    Args words = SplitScriptLine(line);
    if (words.empty()) return;
    const Command* command = FindCommand(words[0]);
    if (command == nullptr) throw CommandError("unknown command '" + words[0] + "'");
    Args args(words.begin() + 1, words.end());
    command->run(*this, args);
    machine_->RunUntilQuiet();
}

bool Session::RunLine(std::string_view line)
{
    bool succeeded = true;
    try {
        Execute(line);
    } catch (const CommandError& error) {
        *out_ << "error: " << error.what() << '\n';
        machine_->RunUntilQuiet();
        succeeded = false;
    }
    ReportRestartedAdapters(*this);
    ReportUiEvents(*this);
    // A command's output ends with it, a last line without its newline too.
    out_->flush();
    return succeeded;
}

std::string Session::RunQuietly(std::string_view line)
{
    std::ostringstream captured;
    std::ostream* shown = out_;
    out_ = &captured;
    try {
        Execute(line);
    } catch (...) {
        out_ = shown;
        throw;
    }
    out_ = shown;
    return captured.str();
}

}  // namespace bench
