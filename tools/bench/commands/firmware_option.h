// The adapter's microcontroller as `plug NAME firmware=F` asks for it: the
// application the driver carries (app), one that reports another version
// (app:TEXT), an empty flash with a boot loader (boot, boot:TEXT), or a
// boot loader that never answers (silent).
#pragma once

#include <memory>
#include <string>

#include "hw/firmware/microcontroller.h"
#include "machine/machine.h"

namespace bench {

inline constexpr char kDefaultFirmware[] = "app";

struct FirmwareChoice {
    winsim::hw::FlashMemory flash;
    std::string bootText;
    bool silent = false;
};

// Throws CommandError for an F it does not know.
FirmwareChoice ParseFirmwareChoice(const std::string& firmware);

// The microcontroller on the machine's bus, counted in the machine's busyness.
std::unique_ptr<winsim::hw::Microcontroller> MakeMicrocontroller(winsim::Machine& machine,
                                                                 winsim::hw::AdapterModel& adapter,
                                                                 const FirmwareChoice& choice);

}  // namespace bench
