#include "pty/pty_bridge.h"

#include <system_error>

#include "pty/line_settings.h"
#include "script_values.h"
#include "um/um_status.h"

namespace bench {

namespace {

constexpr DWORD kTransferBytes = 4096;
// A read returns as soon as a byte has come; an idle one ends this often.
constexpr DWORD kReadWaitMs = 60'000;
// How often a connected program's terminal settings are looked at when it
// writes nothing.
constexpr DWORD kSettingsPollMs = 25;
// As long as a Linux serial port's close waits for its output to drain.
constexpr std::chrono::seconds kClosingWait{30};

}  // namespace

PtyBridge::PtyBridge(std::string comName) : comName_(std::move(comName))
{
    toPort_.buffer.resize(kTransferBytes);
    fromPort_.buffer.resize(kTransferBytes);
    const DWORD error = OpenPort();
    if (error != 0)
        throw CommandError("pty " + comName_ + " " + winsim::FormatWin32Error(error));
    try {
        terminal_ = std::make_unique<PseudoTerminal>();
    } catch (const std::system_error& failure) {
        ClosePort();
        throw CommandError("pty " + comName_ + ": no pseudo-terminal: " + failure.what());
    }
    path_ = terminal_->Path();
    // The terminal starts raw, with the port's settings.
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    struct termios2 initial = {};
    if (GetCommState(port_, &dcb) && terminal_->Settings(&initial)) {
        terminal_->SetSettings(RawTermiosForDcb(dcb, initial));
    }
    terminal_->Settings(&applied_);
    // Free for others until a program opens the terminal.
    ClosePort();

    wake_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    toPort_.overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    fromPort_.overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // The watcher is a host thread of the bench's process, as a second
    // thread of a Windows program would signal the bridge's event.
    watcher_ = std::make_unique<MasterWatcher>(terminal_->Master(), [this] { SetEvent(wake_); });
    thread_ = CreateThread(nullptr, 0, ThreadEntry, this, 0, nullptr);
}

PtyBridge::~PtyBridge()
{
    stopping_ = true;
    SetEvent(wake_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(wake_);
    CloseHandle(toPort_.overlapped.hEvent);
    CloseHandle(fromPort_.overlapped.hEvent);
}

DWORD WINAPI PtyBridge::ThreadEntry(LPVOID self)
{
    static_cast<PtyBridge*>(self)->Run();
    return 0;
}

void PtyBridge::Run()
{
    while (!stopping_) {
        Step();
        if (state_ == State::kEnded)
            break;
        ArmWatcher();
        HANDLE waits[3] = {wake_};
        DWORD count = 1;
        if (toPort_.pending)
            waits[count++] = toPort_.overlapped.hEvent;
        if (fromPort_.pending)
            waits[count++] = fromPort_.overlapped.hEvent;
        const bool connected = state_ == State::kConnected || state_ == State::kLeaving;
        WaitForMultipleObjects(count, waits, FALSE, connected ? kSettingsPollMs : INFINITE);
    }
    ClosePort();
    // The program on the terminal sees the hang-up.
    watcher_.reset();
    terminal_.reset();
}

void PtyBridge::Step()
{
    TakeCompletions();
    if (state_ == State::kIdle) {
        // A program that wrote and closed before it was seen still counts.
        if (!terminal_->ClientPresent() && !terminal_->InputWaiting())
            return;
        if (OpenPort() != 0) {
            state_ = State::kEnded;
            return;
        }
        state_ = State::kConnected;
    }
    if (state_ == State::kLeaving && terminal_->ClientPresent())
        state_ = State::kConnected;
    // A program that left while its write is held up is not read from.
    if (state_ == State::kConnected && toPort_.pending && !terminal_->ClientPresent())
        Leave();
    ApplySettings();
    PumpToPort();
    if (state_ == State::kConnected)
        PumpToTerminal();
    const auto now = std::chrono::steady_clock::now();
    // The port's close lets what the last write handed over leave the line.
    if (state_ == State::kLeaving && (!toPort_.pending || now >= closingDeadline_)) {
        ClosePort();
        terminal_->DiscardClientQueues();
        state_ = State::kIdle;
    }
}

bool PtyBridge::Ended(Transfer& transfer, DWORD* count, bool* succeeded)
{
    if (!transfer.pending)
        return false;
    *succeeded = GetOverlappedResult(port_, &transfer.overlapped, count, FALSE) != FALSE;
    if (!*succeeded && GetLastError() == ERROR_IO_INCOMPLETE)
        return false;
    transfer.pending = false;
    return true;
}

void PtyBridge::TakeCompletions()
{
    bool failed = false;
    bool succeeded = false;
    DWORD count = 0;
    // Without write time-outs a write ends whole or fails.
    if (Ended(toPort_, &count, &succeeded))
        failed = !succeeded;
    if (Ended(fromPort_, &count, &succeeded)) {
        failed = failed || !succeeded;
        if (succeeded)
            held_.insert(held_.end(), fromPort_.buffer.begin(), fromPort_.buffer.begin() + count);
    }
    // Nobody else cancels the bridge's requests: the port is gone.
    if (failed) {
        ClosePort();
        state_ = State::kEnded;
    }
}

void PtyBridge::PumpToPort()
{
    while (!toPort_.pending && state_ != State::kEnded) {
        const ptrdiff_t got = terminal_->Read(toPort_.buffer.data(), toPort_.buffer.size());
        if (got == PseudoTerminal::kClosed) {
            if (state_ == State::kConnected)
                Leave();
            return;
        }
        if (got == 0)
            return;
        // What the program set before it wrote applies to these bytes.
        ApplySettings();
        if (!Issue(toPort_, true, static_cast<DWORD>(got)))
            return;
    }
}

void PtyBridge::Leave()
{
    state_ = State::kLeaving;
    closingDeadline_ = std::chrono::steady_clock::now() + kClosingWait;
}

void PtyBridge::PumpToTerminal()
{
    while (state_ == State::kConnected) {
        if (!held_.empty()) {
            const ptrdiff_t taken = terminal_->Write(held_.data(), held_.size());
            if (taken > 0)
                held_.erase(held_.begin(), held_.begin() + taken);
            // A program that does not read holds the port back: no more reads
            // until it has taken these, so the port's queue fills and its
            // handshake stops the far end.
            if (!held_.empty())
                return;
        }
        if (fromPort_.pending || !Issue(fromPort_, false, kTransferBytes))
            return;
        // A read that ended at once gives its bytes to the terminal now.
        TakeCompletions();
        if (fromPort_.pending)
            return;
    }
}

void PtyBridge::ApplySettings()
{
    struct termios2 now = {};
    if (state_ == State::kEnded || !terminal_->Settings(&now))
        return;
    if (!settingsDue_ && SameLineSettings(now, applied_))
        return;
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port_, &dcb))
        return;
    // A setting the port refuses leaves it as it was, as a Linux driver
    // keeps what its hardware cannot do.
    DCB wanted = DcbForTermios(now, dcb);
    SetCommState(port_, &wanted);
    applied_ = now;
    settingsDue_ = false;
}

bool PtyBridge::Issue(Transfer& transfer, bool write, DWORD length)
{
    HANDLE event = transfer.overlapped.hEvent;
    transfer.overlapped = {};
    transfer.overlapped.hEvent = event;
    DWORD done = 0;
    const BOOL ok = write ? WriteFile(port_, transfer.buffer.data(), length, &done, &transfer.overlapped)
                          : ReadFile(port_, transfer.buffer.data(), length, &done, &transfer.overlapped);
    if (!ok && GetLastError() != ERROR_IO_PENDING) {
        ClosePort();
        state_ = State::kEnded;
        return false;
    }
    transfer.pending = true;
    return true;
}

DWORD PtyBridge::OpenPort()
{
    const std::string device = "\\\\.\\" + comName_;
    port_ = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED, nullptr);
    if (port_ == INVALID_HANDLE_VALUE)
        return GetLastError();
    COMMTIMEOUTS timeouts = {MAXDWORD, MAXDWORD, kReadWaitMs, 0, 0};
    if (!SetCommTimeouts(port_, &timeouts)) {
        const DWORD error = GetLastError();
        CloseHandle(port_);
        port_ = INVALID_HANDLE_VALUE;
        return error;
    }
    settingsDue_ = true;
    return 0;
}

void PtyBridge::ClosePort()
{
    if (port_ == INVALID_HANDLE_VALUE)
        return;
    // Closing cancels what the driver still holds; the buffers stay ours
    // until it has let go of them.
    CloseHandle(port_);
    port_ = INVALID_HANDLE_VALUE;
    for (Transfer* transfer : {&toPort_, &fromPort_}) {
        if (transfer->pending)
            WaitForSingleObject(transfer->overlapped.hEvent, INFINITE);
        transfer->pending = false;
    }
    held_.clear();
}

void PtyBridge::ArmWatcher()
{
    MasterWatcher::Interest interest;
    switch (state_) {
    case State::kIdle:
        interest.input = true;
        break;
    case State::kConnected:
        interest.input = !toPort_.pending;
        interest.room = !held_.empty();
        interest.clientPresent = true;
        break;
    case State::kLeaving:
    case State::kEnded:
        break;
    }
    watcher_->Arm(interest);
}

}  // namespace bench
