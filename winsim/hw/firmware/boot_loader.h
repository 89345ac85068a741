// The adapter's resident boot loader: reports itself to the version request,
// erases and programs the application area of the flash as the host
// commands, and on restart lets the microcontroller start the application.
// It decides what to answer; the microcontroller that hosts it sends the
// answer once the flash is done and carries out the restart.
#pragma once

#include <ntdef.h>

#include <mutex>
#include <string>
#include <vector>

#include "hw/firmware/flash_memory.h"
#include "sched/scheduler.h"

namespace winsim::hw {

class BootLoader {
public:
    static constexpr char kDefaultVersionText[] = "Boot Ver 1.0.1";
    // The STM32F1's flash timing: a page erase, one half-word programmed.
    static constexpr Ticks kPageEraseTime = 20 * kTicksPerMillisecond;
    static constexpr Ticks kHalfWordProgramTime = 53 * kTicksPerMicrosecond;

    struct Answer {
        std::vector<UCHAR> message;  // empty: nothing to send
        Ticks after = 0;             // flash busy time before it goes out
        bool restart = false;        // the host asked for a restart
    };

    BootLoader(FlashMemory& flash, std::string versionText);
    BootLoader(const BootLoader&) = delete;
    BootLoader& operator=(const BootLoader&) = delete;

    // One message from the host.
    Answer Handle(const std::vector<UCHAR>& message);

    const std::string& VersionText() const { return versionText_; }
    ULONG Erases() const;
    ULONG Writes() const;

    // Fault knob: the boot loader hangs after `commands` more of its own
    // commands: it then neither answers nor acts, restart included.
    void HangAfter(ULONG commands);

private:
    Answer Erase(const UCHAR* payload, size_t length);
    Answer Write(const UCHAR* payload, size_t length);

    FlashMemory& flash_;
    const std::string versionText_;

    mutable std::mutex lock_;
    ULONG erases_ = 0;
    ULONG writes_ = 0;
    bool hangs_ = false;
    ULONG commandsLeft_ = 0;
};

}  // namespace winsim::hw
