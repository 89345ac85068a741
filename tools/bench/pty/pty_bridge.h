// A COM port of the simulated PC bridged to a new Linux pseudo-terminal.
// While a Linux program has the terminal open, the port is open as an
// application opens it, and a thread of the bench's process moves what the
// program writes out through WriteFile and what ReadFile returns back to
// it, and applies the terminal settings the program makes with
// SetCommState. The program's close closes the port; the next program's
// open opens it again.
// When the port fails (its adapter went) or cannot be opened again, the
// bridge hangs the terminal up and ends.
#pragma once

#include <windows.h>

#include <asm/termbits.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "pty/master_watcher.h"
#include "pty/pseudo_terminal.h"

namespace bench {

class PtyBridge {
public:
    // Opens COMn to start the terminal with its settings, and closes it
    // until a program comes; a port that does not open throws a CommandError
    // naming the Win32 error.
    explicit PtyBridge(std::string comName);
    // Ends the bridge: the port closes and the terminal hangs up.
    ~PtyBridge();
    PtyBridge(const PtyBridge&) = delete;
    PtyBridge& operator=(const PtyBridge&) = delete;

    const std::string& ComName() const { return comName_; }
    // The slave's path, for the Linux program.
    const std::string& Path() const { return path_; }

private:
    enum class State {
        kIdle,  // the port closed until a program opens the terminal
        kConnected,
        kLeaving,  // the program closed the terminal; its last bytes still go out
        kEnded,
    };
    // One overlapped request at a time in each direction.
    struct Transfer {
        std::vector<uint8_t> buffer;
        OVERLAPPED overlapped = {};
        bool pending = false;
    };

    static DWORD WINAPI ThreadEntry(LPVOID self);
    void Run();
    void Step();
    // Whether the request ended, and how.
    bool Ended(Transfer& transfer, DWORD* count, bool* succeeded);
    void TakeCompletions();
    void PumpToPort();
    void PumpToTerminal();
    // The program closed the terminal: the port closes once its last write
    // went out, or after the closing wait.
    void Leave();
    void ApplySettings();
    bool Issue(Transfer& transfer, bool write, DWORD length);
    // 0, or the Win32 error of CreateFileA or SetCommTimeouts.
    DWORD OpenPort();
    void ClosePort();
    void ArmWatcher();

    const std::string comName_;
    std::unique_ptr<PseudoTerminal> terminal_;
    std::string path_;
    HANDLE port_ = INVALID_HANDLE_VALUE;
    State state_ = State::kIdle;
    Transfer toPort_;
    Transfer fromPort_;
    // Read from the port, not yet taken by the terminal.
    std::vector<uint8_t> held_;
    struct termios2 applied_ = {};
    bool settingsDue_ = false;  // a reopened port takes the settings anew
    std::chrono::steady_clock::time_point closingDeadline_;
    HANDLE wake_ = nullptr;
    std::unique_ptr<MasterWatcher> watcher_;
    std::atomic<bool> stopping_{false};
    HANDLE thread_ = nullptr;
};

}  // namespace bench
