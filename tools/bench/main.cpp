// qtr84bench: boots the simulated PC with the driver package installed and
// runs bench commands from the command line, a script or standard input;
// with none of these it opens the Assistant in the terminal, or runs the
// built-in demonstration when output is not a terminal.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "bench_session.h"
#include "demonstration.h"
#include "terminal/terminal_bench.h"

namespace {

int Usage()
{
    std::cerr << "usage: qtr84bench [--realtime] [--keep-going] [--no-driver] [-e COMMAND]... [SCRIPT | -]\n"
                 "       qtr84bench --demo\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    // A program reading the bench through a pipe or a file sees each line
    // when it is printed; std::cout writes through to stdout.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    bench::SessionOptions options;
    bool keepGoing = false;
    bool demo = false;
    std::vector<std::string> commands;
    std::string scriptPath;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--realtime") {
            options.realtime = true;
        } else if (arg == "--no-driver") {
            options.driverInstalled = false;
        } else if (arg == "--keep-going") {
            keepGoing = true;
        } else if (arg == "--demo") {
            demo = true;
        } else if (arg == "-e") {
            if (++i >= argc) return Usage();
            commands.push_back(argv[i]);
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            std::cerr << "qtr84bench: unknown option " << arg << '\n';
            return Usage();
        } else if (scriptPath.empty()) {
            scriptPath = arg;
        } else {
            return Usage();
        }
    }
    if (demo && (!commands.empty() || !scriptPath.empty())) return Usage();

    std::ifstream file;
    std::istream* script = nullptr;
    if (scriptPath == "-") {
        script = &std::cin;
    } else if (!scriptPath.empty()) {
        file.open(scriptPath);
        if (!file) {
            std::cerr << "qtr84bench: cannot open " << scriptPath << '\n';
            return 2;
        }
        script = &file;
    }
    if (commands.empty() && script == nullptr) {
        // A person at a terminal gets the Assistant; a pipe or a file, the
        // narrated demonstration.
        if (!demo && isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)) return bench::RunTerminal(options);
        return bench::RunDemonstration(std::cout, options);
    }

    bench::Session session(std::cout, options);
    bool failed = false;
    for (const std::string& command : commands) {
        if (!session.RunLine(command)) {
            failed = true;
            if (!keepGoing) return 1;
        }
    }
    if (script != nullptr) {
        std::string line;
        while (std::getline(*script, line)) {
            if (!session.RunLine(line)) {
                failed = true;
                if (!keepGoing) return 1;
            }
        }
    }
    return failed ? 1 : 0;
}
