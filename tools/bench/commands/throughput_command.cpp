// Each port streams a numbered pattern into its loopback plug while reading
// back what returns, both directions at once, for the given virtual time;
// then the lines drain and every byte is checked against the pattern.
#include "commands/throughput_command.h"

#include <windows.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "script_values.h"
#include "sched/scheduler.h"
#include "um/um_status.h"

namespace bench {

namespace {

constexpr DWORD kWriteChunk = 512;
constexpr DWORD kReadChunk = 4096;
// After the streaming time, how long the lines get to return what is on its way.
constexpr int64_t kDrainTicks = 2 * winsim::kTicksPerSecond;
constexpr int64_t kStepTicks = winsim::kTicksPerMillisecond;

UCHAR Pattern(uint64_t position, unsigned stream)
{
    return static_cast<UCHAR>((position ^ (position >> 8) ^ (position >> 16)) * 13 + stream * 29 + 1);
}

ThroughputOptions ParseOptions(const Args& args)
{
    ThroughputOptions options;
    for (const std::string& word : args) {
        const KeyValue option = SplitKeyValue(word);
        if (option.key == "adapters") {
            options.adapters = static_cast<unsigned>(ParseNumber(option.value, 8));
        } else if (option.key == "ports") {
            options.ports = static_cast<unsigned>(ParseNumber(option.value, 4));
        } else if (option.key == "baud") {
            options.baud = static_cast<DWORD>(ParseNumber(option.value, 3000000));
        } else if (option.key == "seconds") {
            options.seconds = static_cast<unsigned>(ParseNumber(option.value, 86400));
        } else {
            throw CommandError("throughput has no option " + option.key);
        }
    }
    if (options.adapters == 0 || options.ports == 0 || options.baud < 300 || options.seconds == 0) {
        throw CommandError("throughput needs at least one adapter, one port, 300 baud and one second");
    }
    return options;
}

// One port: its handle, the write and the read in flight, and the count of
// bytes sent and checked.
class Stream {
public:
    Stream(const std::string& com, unsigned number, DWORD baud) : number_(number)
    {
        const std::string path = "\\\\.\\" + com;
        handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            throw CommandError("open " + com + ": " + winsim::FormatWin32Error(GetLastError()));
        }
        DCB dcb = {};
        dcb.DCBlength = sizeof dcb;
        GetCommState(handle_, &dcb);
        dcb.BaudRate = baud;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fOutxCtsFlow = TRUE;
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        COMMTIMEOUTS timeouts = {};
        timeouts.ReadIntervalTimeout = MAXDWORD;  // a read returns at once with what has arrived
        if (!SetCommState(handle_, &dcb) || !SetCommTimeouts(handle_, &timeouts)) {
            const DWORD error = GetLastError();
            CloseHandle(handle_);
            throw CommandError("comm " + com + ": " + winsim::FormatWin32Error(error));
        }
        write_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        read_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    // Closing the handle fails whatever is still queued before it returns,
    // so the buffers and events are no longer in use after it.
    ~Stream()
    {
        CloseHandle(handle_);
        CloseHandle(write_.hEvent);
        CloseHandle(read_.hEvent);
    }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    void Step(bool keepSending)
    {
        FinishWrite();
        if (keepSending && !writing_) StartWrite();
        FinishRead();
        if (!reading_) StartRead();
    }

    uint64_t Sent() const { return sent_; }
    uint64_t Received() const { return received_; }
    uint64_t Corrupt() const { return corrupt_; }

private:
    void StartWrite()
    {
        for (DWORD i = 0; i < kWriteChunk; ++i) outgoing_[i] = Pattern(sent_ + i, number_);
        DWORD done = 0;
        if (WriteFile(handle_, outgoing_, kWriteChunk, &done, &write_)) {
            sent_ += done;
        } else if (GetLastError() == ERROR_IO_PENDING) {
            writing_ = true;
        } else {
            throw CommandError("write: " + winsim::FormatWin32Error(GetLastError()));
        }
    }
    void FinishWrite()
    {
        DWORD done = 0;
        if (!writing_ || !GetOverlappedResult(handle_, &write_, &done, FALSE)) return;
        writing_ = false;
        sent_ += done;
    }
    void StartRead()
    {
        DWORD done = 0;
        if (ReadFile(handle_, incoming_, kReadChunk, &done, &read_)) {
            Check(done);
        } else if (GetLastError() == ERROR_IO_PENDING) {
            reading_ = true;
        } else {
            throw CommandError("read: " + winsim::FormatWin32Error(GetLastError()));
        }
    }
    void FinishRead()
    {
        DWORD done = 0;
        if (!reading_ || !GetOverlappedResult(handle_, &read_, &done, FALSE)) return;
        reading_ = false;
        Check(done);
    }
    void Check(DWORD length)
    {
        for (DWORD i = 0; i < length; ++i) {
            if (incoming_[i] != Pattern(received_ + i, number_)) ++corrupt_;
        }
        received_ += length;
    }

    const unsigned number_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    OVERLAPPED write_ = {};
    OVERLAPPED read_ = {};
    bool writing_ = false;
    bool reading_ = false;
    UCHAR outgoing_[kWriteChunk];
    UCHAR incoming_[kReadChunk];
    uint64_t sent_ = 0;
    uint64_t received_ = 0;
    uint64_t corrupt_ = 0;
};

// "adapter NAME slot=S com=3,4,5,6" among what plugging printed.
std::vector<std::string> ComNames(const std::string& printed, const std::string& name)
{
    const std::string prefix = "adapter " + name + " slot=";
    const size_t line = printed.find(prefix);
    const size_t com = line == std::string::npos ? line : printed.find(" com=", line);
    if (com == std::string::npos) throw CommandError(name + " registered no COM ports");
    const size_t end = printed.find('\n', com);
    std::vector<std::string> names;
    std::string numbers = printed.substr(com + 5, end - com - 5);
    size_t at = 0;
    while (at <= numbers.size()) {
        const size_t comma = numbers.find(',', at);
        names.push_back("COM" + numbers.substr(at, comma - at));
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return names;
}

}  // namespace

void RunThroughput(Session& session, const Args& args)
{
    session.Out() << StreamThroughLoopbacks(session, ParseOptions(args), ThroughputHooks{}) << '\n';
}

std::string StreamThroughLoopbacks(Session& session, const ThroughputOptions& options, const ThroughputHooks& hooks)
{
    std::vector<std::string> adapters;
    std::vector<std::string> streamed;
    std::vector<std::unique_ptr<Stream>> streams;
    for (unsigned a = 0; a < options.adapters; ++a) {
        const std::string name = "THROUGHPUT" + std::to_string(a);
        const std::vector<std::string> coms = ComNames(session.RunQuietly("plug " + name), name);
        adapters.push_back(name);
        for (unsigned p = 0; p < options.ports && p < coms.size(); ++p) {
            session.RunQuietly("line " + name + " " + std::to_string(p + 1) + " loopback");
            streams.push_back(std::make_unique<Stream>(coms[p], static_cast<unsigned>(streams.size()), options.baud));
            streamed.push_back(coms[p]);
        }
    }
    if (hooks.started) hooks.started(streamed);

    winsim::Machine& machine = session.Machine().Sim();
    const auto realStart = std::chrono::steady_clock::now();
    const int64_t streamEnd = machine.Now() + static_cast<int64_t>(options.seconds) * winsim::kTicksPerSecond;
    while (machine.Now() < streamEnd) {
        for (auto& stream : streams) stream->Step(true);
        machine.Advance(kStepTicks);
        if (hooks.everyMillisecond) hooks.everyMillisecond();
    }
    // The rate counts what arrived within the streaming time.
    uint64_t delivered = 0;
    for (auto& stream : streams) delivered += stream->Received();
    const int64_t drainEnd = machine.Now() + kDrainTicks;
    for (bool pending = true; pending && machine.Now() < drainEnd;) {
        pending = false;
        for (auto& stream : streams) {
            stream->Step(false);
            pending = pending || stream->Received() < stream->Sent();
        }
        machine.Advance(kStepTicks);
        if (hooks.everyMillisecond) hooks.everyMillisecond();
    }
    const auto realNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - realStart).count();

    uint64_t received = 0, lost = 0, corrupt = 0;
    for (auto& stream : streams) {
        received += stream->Received();
        lost += stream->Sent() - stream->Received();
        corrupt += stream->Corrupt();
    }
    streams.clear();
    for (const std::string& name : adapters) session.RunQuietly("unplug " + name);

    // Payload bytes per second a line carries at 10 bits a character.
    const double lineBytes = static_cast<double>(options.baud) / 10.0 * options.seconds * (options.ports * options.adapters);
    const double rate = 100.0 * static_cast<double>(delivered) / lineBytes;
    const uint64_t nsPerByte = received == 0 ? 0 : static_cast<uint64_t>(realNs) / received;
    return "throughput bytes=" + std::to_string(received) + " lost=" + std::to_string(lost) +
           " corrupt=" + std::to_string(corrupt) + " virtual-rate=" + std::to_string(static_cast<unsigned>(rate)) +
           "% host-ns-per-byte=" + std::to_string(nsPerByte);
}

}  // namespace bench
