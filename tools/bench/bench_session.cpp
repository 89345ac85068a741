#include "bench_session.h"

#include <ostream>

#include "command_table.h"
#include "commands/adapter_commands.h"
#include "script_values.h"

namespace bench {

Session::Session(std::ostream& out, SessionOptions options)
    : out_(out), machine_(std::make_unique<BenchMachine>(options.realtime))
{
}

Session::~Session() = default;

bool Session::RunLine(std::string_view line)
{
    try {
        Args words = SplitScriptLine(line);
        if (words.empty()) return true;
        const Command* command = FindCommand(words[0]);
        if (command == nullptr) throw CommandError("unknown command '" + words[0] + "'");
        Args args(words.begin() + 1, words.end());
        command->run(*this, args);
        machine_->RunUntilQuiet();
        ReportRestartedAdapters(*this);
        return true;
    } catch (const CommandError& error) {
        out_ << "error: " << error.what() << '\n';
        machine_->RunUntilQuiet();
        ReportRestartedAdapters(*this);
        return false;
    }
}

}  // namespace bench
