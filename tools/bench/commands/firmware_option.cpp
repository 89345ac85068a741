#include "commands/firmware_option.h"

#include <vector>

#include "firmware/firmware_image.h"
#include "hw/firmware/flash_image.h"
#include "script_values.h"

namespace bench {

namespace {

using winsim::hw::BootLoader;
using winsim::hw::FlashMemory;

const std::string kAppPrefix = "app:";
const std::string kBootPrefix = "boot:";

std::vector<UCHAR> DriverImage() { return {FirmwareImage, FirmwareImage + kFirmwareImageBytes}; }

// A version text the adapter can report in one reply.
std::string VersionText(const std::string& firmware, size_t prefix)
{
    const std::string text = firmware.substr(prefix);
    if (text.empty()) throw CommandError("firmware=" + firmware + " needs a version text");
    if (text.size() > kMessagePayloadMax) {
        throw CommandError("a version text is at most " + std::to_string(kMessagePayloadMax) + " characters");
    }
    return text;
}

}  // namespace

FirmwareChoice ParseFirmwareChoice(const std::string& firmware)
{
    if (firmware == "app") {
        return {winsim::hw::FlashHoldingImage(DriverImage()), BootLoader::kDefaultVersionText};
    }
    if (firmware.compare(0, kAppPrefix.size(), kAppPrefix) == 0) {
        const std::string text = VersionText(firmware, kAppPrefix.size());
        return {winsim::hw::FlashHoldingImage(winsim::hw::ImageWithBuildText(DriverImage(), text)),
                BootLoader::kDefaultVersionText};
    }
    if (firmware == "boot") return {FlashMemory(), BootLoader::kDefaultVersionText};
    if (firmware.compare(0, kBootPrefix.size(), kBootPrefix) == 0) {
        return {FlashMemory(), VersionText(firmware, kBootPrefix.size())};
    }
    if (firmware == "silent") return {FlashMemory(), BootLoader::kDefaultVersionText, true};
    throw CommandError("firmware is app, app:TEXT, boot, boot:TEXT or silent, not " + firmware);
}

std::unique_ptr<winsim::hw::Microcontroller> MakeMicrocontroller(winsim::Machine& machine,
                                                                 winsim::hw::AdapterModel& adapter,
                                                                 const FirmwareChoice& choice)
{
    auto microcontroller =
        std::make_unique<winsim::hw::Microcontroller>(adapter, machine.Usb(), choice.flash, choice.bootText);
    if (choice.silent) microcontroller->Loader().HangAfter(0);
    machine.AddBusyCondition(microcontroller->BusyCondition());
    return microcontroller;
}

}  // namespace bench
