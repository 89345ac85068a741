#include "commands/com_commands.h"

#include <windows.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "script_values.h"
#include "um/um_status.h"

namespace bench {

namespace {

constexpr uint64_t kReadMax = 1 << 20;

// How long a read or write is waited for, as long as the bench waits for
// the machine to become quiet after a command.
constexpr DWORD kRequestBoundMs = 30'000;

bool IsComName(std::string_view name)
{
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0) return false;
    ParseNumber(name.substr(3), 255);
    return true;
}

// "QTR84PRn\PIPEnn": a pipe of an adapter, opened through its control
// device's name; the driver takes the pipe from the name's last digits.
bool IsPipeName(std::string_view name)
{
    constexpr std::string_view kDevice = "QTR84PR";
    constexpr std::string_view kPipe = "\\PIPE";
    if (name.compare(0, kDevice.size(), kDevice) != 0) return false;
    const size_t pipe = name.find(kPipe);
    if (pipe == std::string_view::npos || pipe == kDevice.size()) return false;
    ParseNumber(name.substr(kDevice.size(), pipe - kDevice.size()), 255);
    ParseNumber(name.substr(pipe + kPipe.size()), 255);
    return true;
}

// A name as written in scripts, checked: "COMn", or also a pipe name.
std::string HandleName(const Args& args, size_t minimum, const char* usage, bool pipes)
{
    if (args.size() < minimum) throw CommandError(usage);
    const std::string& name = args[0];
    if (IsComName(name) || (pipes && IsPipeName(name))) return name;
    throw CommandError((pipes ? "not a COM or pipe name: " : "not a COM name: ") + name);
}

HANDLE OpenHandle(Session& session, const std::string& name)
{
    auto found = session.Machine().ComHandles().find(name);
    if (found == session.Machine().ComHandles().end()) throw CommandError(name + " is not open");
    return found->second;
}

bool OnOff(const std::string& key, const std::string& value)
{
    if (value == "on") return true;
    if (value == "off") return false;
    throw CommandError(key + " is on or off, not " + value);
}

// One overlapped request on the request's buffer, waited for up to the
// bound while the machine runs. Returns false when it is still pending
// then: a held write (CTS low, an adapter that grants no credit) is what
// Windows does, so the bench keeps the request and goes on.
bool Transfer(Session& session, const std::string& name, HANDLE handle, bool write,
              std::unique_ptr<BenchMachine::HeldRequest>& request, DWORD* done, const char* what)
{
    OVERLAPPED& overlapped = request->overlapped;
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const auto length = static_cast<DWORD>(request->buffer.size());
    BOOL ok = write ? WriteFile(handle, request->buffer.data(), length, done, &overlapped)
                    : ReadFile(handle, request->buffer.data(), length, done, &overlapped);
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(overlapped.hEvent, kRequestBoundMs) == WAIT_TIMEOUT) {
            session.Machine().HeldRequests().emplace(name, std::move(request));
            return false;
        }
        ok = GetOverlappedResult(handle, &overlapped, done, FALSE);
    }
    const DWORD error = GetLastError();
    CloseHandle(overlapped.hEvent);
    if (!ok) throw CommandError(std::string(what) + " " + winsim::FormatWin32Error(error));
    return true;
}

}  // namespace

void RunOpen(Session& session, const Args& args)
{
    const std::string name = HandleName(args, 1, "usage: open COMn|QTR84PRn\\PIPEnn", true);
    if (args.size() != 1) throw CommandError("usage: open COMn|QTR84PRn\\PIPEnn");
    // A second open of the same port goes to the system, which refuses it.
    const std::string path = "\\\\.\\" + name;
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) throw CommandError("open " + name + " " + winsim::FormatWin32Error(GetLastError()));
    // A port of a device that went and came back.
    session.Machine().CloseHandleNamed(name);
    session.Machine().ComHandles()[name] = handle;
    session.Out() << "open " << name << " ok\n";
}

void RunClose(Session& session, const Args& args)
{
    const std::string name = HandleName(args, 1, "usage: close NAME", true);
    if (args.size() != 1) throw CommandError("usage: close NAME");
    OpenHandle(session, name);
    session.Machine().CloseHandleNamed(name);
    session.Out() << "close " << name << " ok\n";
}

void RunComm(Session& session, const Args& args)
{
    const std::string name = HandleName(args, 2, "usage: comm COMn KEY=VALUE...", false);
    HANDLE handle = OpenHandle(session, name);
    DCB dcb;
    if (!GetCommState(handle, &dcb)) throw CommandError("GetCommState " + winsim::FormatWin32Error(GetLastError()));
    for (size_t i = 1; i < args.size(); ++i) {
        const KeyValue kv = SplitKeyValue(args[i]);
        if (kv.key == "baud") {
            dcb.BaudRate = static_cast<DWORD>(ParseNumber(kv.value, 0xFFFFFFFF));
        } else if (kv.key == "data") {
            const uint64_t bits = ParseNumber(kv.value, 8);
            if (bits < 5) throw CommandError("data is 5 to 8");
            dcb.ByteSize = static_cast<BYTE>(bits);
        } else if (kv.key == "parity") {
            const char* names[] = {"none", "odd", "even", "mark", "space"};
            BYTE parity = 5;
            for (BYTE p = 0; p < 5; ++p) {
                if (kv.value == names[p]) parity = p;
            }
            if (parity == 5) throw CommandError("no parity " + kv.value);
            dcb.Parity = parity;
            dcb.fParity = parity != NOPARITY;
        } else if (kv.key == "stop") {
            if (kv.value != "1" && kv.value != "2") throw CommandError("stop is 1 or 2");
            dcb.StopBits = kv.value == "1" ? ONESTOPBIT : TWOSTOPBITS;
        } else if (kv.key == "rtscts") {
            const bool on = OnOff(kv.key, kv.value);
            dcb.fOutxCtsFlow = on;
            dcb.fRtsControl = on ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
        } else if (kv.key == "dtrdsr") {
            const bool on = OnOff(kv.key, kv.value);
            dcb.fOutxDsrFlow = on;
            dcb.fDtrControl = on ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
        } else if (kv.key == "xonxoff") {
            const bool on = OnOff(kv.key, kv.value);
            dcb.fOutX = on;
            dcb.fInX = on;
        } else if (kv.key == "dtr") {
            dcb.fDtrControl = OnOff(kv.key, kv.value) ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        } else if (kv.key == "rts") {
            dcb.fRtsControl = OnOff(kv.key, kv.value) ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        } else {
            throw CommandError("comm has no setting " + kv.key);
        }
    }
    if (!SetCommState(handle, &dcb)) throw CommandError("SetCommState " + winsim::FormatWin32Error(GetLastError()));
    session.Out() << "comm " << name << " ok\n";
}

void RunWrite(Session& session, const Args& args)
{
    const std::string name = HandleName(args, 2, "usage: write NAME DATA", true);
    if (args.size() != 2) throw CommandError("usage: write NAME DATA");
    HANDLE handle = OpenHandle(session, name);
    auto request = std::make_unique<BenchMachine::HeldRequest>();
    request->buffer = ParseData(args[1]);
    DWORD written = 0;
    if (!Transfer(session, name, handle, true, request, &written, "WriteFile")) {
        session.Out() << "write " << name << " pending\n";
        return;
    }
    session.Out() << "write " << name << ' ' << written << '\n';
}

void RunRead(Session& session, const Args& args)
{
    const std::string name = HandleName(args, 2, "usage: read NAME COUNT [timeout=DURATION]", true);
    if (args.size() > 3) throw CommandError("usage: read NAME COUNT [timeout=DURATION]");
    HANDLE handle = OpenHandle(session, name);
    const bool comPort = IsComName(name);
    const auto count = static_cast<DWORD>(ParseNumber(args[1], kReadMax));
    COMMTIMEOUTS timeouts = {MAXULONG, 0, 0, 0, 0};
    if (args.size() == 3) {
        if (!comPort) throw CommandError("a pipe read has no time-out");
        const KeyValue kv = SplitKeyValue(args[2]);
        if (kv.key != "timeout") throw CommandError("read has no option " + kv.key);
        const int64_t ms = ParseDuration(kv.value) / 10'000;
        // COMMTIMEOUTS holds milliseconds in a DWORD.
        if (ms > MAXDWORD) throw CommandError("a read time-out is at most 4294967295 ms, not " + kv.value);
        timeouts = {0, 0, static_cast<DWORD>(ms < 1 ? 1 : ms), 0, 0};
    }
    if (comPort && !SetCommTimeouts(handle, &timeouts)) {
        throw CommandError("SetCommTimeouts " + winsim::FormatWin32Error(GetLastError()));
    }
    auto request = std::make_unique<BenchMachine::HeldRequest>();
    request->buffer.resize(count);
    DWORD got = 0;
    if (!Transfer(session, name, handle, false, request, &got, "ReadFile")) {
        session.Out() << "read " << name << " pending\n";
        return;
    }
    session.Out() << "read " << name << ' ' << got;
    if (got != 0) session.Out() << ' ' << FormatBytes(request->buffer.data(), got);
    session.Out() << '\n';
}

}  // namespace bench
