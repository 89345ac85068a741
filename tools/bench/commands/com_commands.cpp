#include "commands/com_commands.h"

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "script_values.h"
#include "um/um_status.h"

namespace bench {

namespace {

constexpr uint64_t kReadMax = 1 << 20;

// "COMn" as written in scripts, checked.
std::string ComName(const Args& args, size_t minimum, const char* usage)
{
    if (args.size() < minimum) throw CommandError(usage);
    const std::string& name = args[0];
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0) throw CommandError("not a COM name: " + name);
    ParseNumber(std::string_view(name).substr(3), 255);
    return name;
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

// One overlapped request, waited for; the machine runs meanwhile.
DWORD Transfer(HANDLE handle, bool write, void* buffer, DWORD length, const char* what)
{
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD done = 0;
    BOOL ok = write ? WriteFile(handle, buffer, length, &done, &overlapped)
                    : ReadFile(handle, buffer, length, &done, &overlapped);
    if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(handle, &overlapped, &done, TRUE);
    const DWORD error = GetLastError();
    CloseHandle(overlapped.hEvent);
    if (!ok) throw CommandError(std::string(what) + " " + winsim::FormatWin32Error(error));
    return done;
}

}  // namespace

void RunOpen(Session& session, const Args& args)
{
    const std::string name = ComName(args, 1, "usage: open COMn");
    if (args.size() != 1) throw CommandError("usage: open COMn");
    // A second open of the same port goes to the system, which refuses it.
    const std::string path = "\\\\.\\" + name;
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) throw CommandError("open " + name + " " + winsim::FormatWin32Error(GetLastError()));
    auto& handles = session.Machine().ComHandles();
    if (handles.count(name) != 0) CloseHandle(handles[name]);  // a port of a device that went and came back
    handles[name] = handle;
    session.Out() << "open " << name << " ok\n";
}

void RunClose(Session& session, const Args& args)
{
    const std::string name = ComName(args, 1, "usage: close COMn");
    if (args.size() != 1) throw CommandError("usage: close COMn");
    CloseHandle(OpenHandle(session, name));
    session.Machine().ComHandles().erase(name);
    session.Out() << "close " << name << " ok\n";
}

void RunComm(Session& session, const Args& args)
{
    const std::string name = ComName(args, 2, "usage: comm COMn KEY=VALUE...");
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
    const std::string name = ComName(args, 2, "usage: write COMn DATA");
    if (args.size() != 2) throw CommandError("usage: write COMn DATA");
    HANDLE handle = OpenHandle(session, name);
    std::vector<uint8_t> data = ParseData(args[1]);
    const DWORD written = Transfer(handle, true, data.data(), static_cast<DWORD>(data.size()), "WriteFile");
    session.Out() << "write " << name << ' ' << written << '\n';
}

void RunRead(Session& session, const Args& args)
{
    const std::string name = ComName(args, 2, "usage: read COMn COUNT [timeout=DURATION]");
    if (args.size() > 3) throw CommandError("usage: read COMn COUNT [timeout=DURATION]");
    HANDLE handle = OpenHandle(session, name);
    const auto count = static_cast<DWORD>(ParseNumber(args[1], kReadMax));
    COMMTIMEOUTS timeouts = {MAXULONG, 0, 0, 0, 0};
    if (args.size() == 3) {
        const KeyValue kv = SplitKeyValue(args[2]);
        if (kv.key != "timeout") throw CommandError("read has no option " + kv.key);
        const int64_t ms = ParseDuration(kv.value) / 10'000;
        timeouts = {0, 0, static_cast<DWORD>(ms < 1 ? 1 : ms), 0, 0};
    }
    if (!SetCommTimeouts(handle, &timeouts)) {
        throw CommandError("SetCommTimeouts " + winsim::FormatWin32Error(GetLastError()));
    }
    std::vector<uint8_t> buffer(count);
    const DWORD got = Transfer(handle, false, buffer.data(), count, "ReadFile");
    session.Out() << "read " << name << ' ' << got;
    if (got != 0) session.Out() << ' ' << FormatBytes(buffer.data(), got);
    session.Out() << '\n';
}

}  // namespace bench
