#include "assistant/diag/event_log_file.h"

#include <string>

#include "assistant/app/text_format.h"

namespace diag {

namespace {

constexpr size_t kWriteChunk = 64 * 1024;

// LF becomes CR LF, as the C runtime's text mode writes it on Windows.
void AppendTextLine(std::string& out, const std::string& line)
{
    for (const char c : line) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
}

bool Write(HANDLE file, std::string& pending)
{
    DWORD written = 0;
    const BOOL ok = WriteFile(file, pending.data(), static_cast<DWORD>(pending.size()), &written, nullptr);
    const bool complete = ok != FALSE && written == pending.size();
    pending.clear();
    return complete;
}

}  // namespace

bool SaveEventLog(const LineArena& lines, const char* path, const SYSTEMTIME& now)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::string pending;
    AppendTextLine(pending, assistant::Format("%s Event Log: %04d/%02d/%02d %02d:%02d:%02d.%d\n\n", "QTR12", now.wYear,
                                              now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                                              now.wMilliseconds));
    bool ok = true;
    for (const BYTE* entry = lines.Oldest(); entry != nullptr && ok; entry = LineArena::Next(entry)) {
        AppendTextLine(pending, assistant::Format("%d: %s\n", static_cast<int>(LineArena::LineNumber(entry)),
                                                  LineArena::Text(entry)));
        if (pending.size() >= kWriteChunk) {
            ok = Write(file, pending);
        }
    }
    if (ok && !pending.empty()) {
        ok = Write(file, pending);
    }
    CloseHandle(file);
    return ok;
}

}  // namespace diag
