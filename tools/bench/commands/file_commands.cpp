#include "commands/file_commands.h"

#include <windows.h>

#include <ostream>

#include "commands/clock_commands.h"
#include "script_values.h"
#include "um/file_system.h"
#include "um/local_clock.h"
#include "um/um_status.h"

namespace bench {

namespace {

constexpr const char* kUsage =
    "usage: file get PATH | file put PATH \"TEXT\" | file del PATH | file time PATH YYYY-MM-DD HH:MM";

void Check(DWORD error, const std::string& path)
{
    if (error != ERROR_SUCCESS) throw CommandError("file " + PrintableWord(path) + ": " + winsim::FormatWin32Error(error));
}

// The size, then each line without its line end ("\n" or "\r\n").
void PrintFile(std::ostream& out, const std::string& path, const std::vector<BYTE>& bytes)
{
    out << "file " << PrintableWord(path) << " " << bytes.size() << "\n";
    const std::string text(bytes.begin(), bytes.end());
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out << "file line " << QuoteText(line) << "\n";
        start = end + 1;
    }
}

}  // namespace

void RunFile(Session& session, const Args& args)
{
    if (args.size() < 2) throw CommandError(kUsage);
    const std::string& verb = args[0];
    const std::string path = Unquote(args[1]);
    winsim::um::FileSystem& fs = winsim::um::FileSystem::Instance();
    if (verb == "get" && args.size() == 2) {
        std::vector<BYTE> bytes;
        Check(fs.GetFile(path, &bytes), path);
        PrintFile(session.Out(), path, bytes);
    } else if (verb == "put" && args.size() == 3) {
        const std::vector<uint8_t> data = ParseData(args[2]);
        Check(fs.PutFile(path, std::vector<BYTE>(data.begin(), data.end())), path);
    } else if (verb == "del" && args.size() == 2) {
        Check(fs.DeleteFile(path), path);
    } else if (verb == "time" && args.size() == 4) {
        Check(fs.SetLastWriteTime(path, winsim::um::UtcFromLocal(ParseLocalTime(args[2], args[3], false))), path);
    } else {
        throw CommandError(kUsage);
    }
}

}  // namespace bench
