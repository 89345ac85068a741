#include "commands/platform_commands.h"

#include "script_values.h"
#include "um/platform_version.h"
#include "um/system_libraries.h"

namespace bench {

namespace {

constexpr const char* kUsage = "usage: platform version nt|nt4|win9x | platform withhold|restore DLL[!EXPORT]";

winsim::um::PlatformVersion ParseVersion(const std::string& word)
{
    if (word == "nt") return winsim::um::PlatformVersion::kNt61;
    if (word == "nt4") return winsim::um::PlatformVersion::kNt40;
    if (word == "win9x") return winsim::um::PlatformVersion::kWin9x;
    throw CommandError("a platform version is nt, nt4 or win9x, not " + word);
}

}  // namespace

void RunPlatform(Session& session, const Args& args)
{
    (void)session;
    if (args.size() != 2) throw CommandError(kUsage);
    if (args[0] == "version") {
        winsim::um::SetPlatformVersion(ParseVersion(args[1]));
    } else if (args[0] == "withhold" || args[0] == "restore") {
        if (!winsim::um::SetSystemLibraryWithheld(args[1], args[0] == "withhold")) {
            throw CommandError("no system library or export " + args[1]);
        }
    } else {
        throw CommandError(kUsage);
    }
}

}  // namespace bench
