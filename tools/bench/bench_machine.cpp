#include "bench_machine.h"

#include "DriverResources.h"
#include "LibraryResources.h"
#include "assistant/app/assistant_image.h"
#include "commands/assistant_command.h"
#include "common/usb_ids.h"
#include "portdrv/port_driver_install.h"
#include "pty/pty_bridge.h"
#include "script_values.h"
#include "ui/resources/resource_directory.h"
#include "ui/ui_events.h"
#include "um/calendar.h"
#include "um/file_system.h"
#include "um/local_clock.h"
#include "um/um_status.h"

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath);

namespace bench {

namespace {

constexpr const char* kDriverFile = "C:\\Windows\\system32\\drivers\\84prusb64.sys";
// The driver package's date (local time), which the installed file keeps.
constexpr SYSTEMTIME kDriverFileDate{2013, 10, 1, 14, 11, 10, 11, 0};
// The Assistant's build and its library's, as its installer left them.
constexpr SYSTEMTIME kAssistantFileDate{2013, 10, 2, 15, 9, 42, 0, 0};
constexpr SYSTEMTIME kLibraryFileDate{2013, 10, 2, 15, 8, 30, 0, 0};

// A module's file as its installer put it there, with the version resource
// the resource compiler made for the Windows build.
void LayDownModuleFile(const std::string& path, std::span<const unsigned char> resources, const SYSTEMTIME& date)
{
    namespace res = winsim::ui::resources;
    auto directory = res::ResourceDirectory::Parse(resources);
    const res::ResourceEntry* version =
        directory ? directory->Find(res::ResourceId::FromOrdinal(res::kVersion), res::ResourceId::FromOrdinal(1))
                  : nullptr;
    if (version == nullptr) throw CommandError(std::string("the version resource of ") + path + " is missing");
    winsim::um::FileSystem& fs = winsim::um::FileSystem::Instance();
    fs.PutFile(path, {'M', 'Z'});
    fs.SetVersionResource(path, std::vector<BYTE>(version->data.begin(), version->data.end()));
    winsim::um::FileTimeValue value = 0;
    winsim::um::ValueOfDate(date, &value);
    fs.SetLastWriteTime(path, winsim::um::UtcFromLocal(value));
}

}  // namespace

BenchMachine::BenchMachine(bool realtime, bool driverInstalled)
    : machine_(std::make_unique<winsim::Machine>(
          winsim::MachineOptions{realtime ? winsim::ClockMode::RealTime : winsim::ClockMode::Virtual}))
{
    if (driverInstalled) InstallDriverPackage();
    winsim::portdrv::InstallAssistantFolder();
    LayDownModuleFile(AssistantImagePath(), AssistantImageResources(), kAssistantFileDate);
    LayDownModuleFile(std::string(winsim::portdrv::kAssistantFolder) + "\\cl84prreg64.dll", LibraryResources(),
                      kLibraryFileDate);
}

void BenchMachine::InstallDriverPackage()
{
    NTSTATUS status = STATUS_SUCCESS;
    if (machine_->InstallAndLoadDriver("84prusb", DriverEntry, &status) == nullptr) {
        throw CommandError("the driver 84prusb did not load: " + winsim::FormatNtStatus(status));
    }
    // 84prusb on interface 0 with the port driver above it, and the ports.
    if (winsim::portdrv::InstallDriverPackage(*machine_) == nullptr) {
        throw CommandError("the port driver 84prport64 did not load");
    }
    LayDownModuleFile(kDriverFile, DriverResources(), kDriverFileDate);
}

BenchMachine::~BenchMachine()
{
    ptyBridges_.clear();
    while (!comHandles_.empty()) CloseHandleNamed(comHandles_.begin()->first);
    // What the programs report as they end is this machine's: a machine
    // booted later in the same process does not hear it.
    programs_->EndAll();
    winsim::ui::TakeEvents();
}

void BenchMachine::CloseHandleNamed(const std::string& name)
{
    auto found = comHandles_.find(name);
    if (found == comHandles_.end()) return;
    CloseHandle(found->second);
    comHandles_.erase(found);
    // Closing cancels what the driver still queues for the handle.
    auto [first, last] = heldRequests_.equal_range(name);
    for (auto held = first; held != last;) {
        HANDLE event = held->second->overlapped.hEvent;
        if (WaitForSingleObject(event, 30'000) != WAIT_OBJECT_0) {
            ++held;  // still the driver's: kept until the machine is gone
            continue;
        }
        CloseHandle(event);
        held = heldRequests_.erase(held);
    }
}

BenchMachine::Adapter& BenchMachine::AdapterNamed(const std::string& name)
{
    Adapter& adapter = adapters_[name];
    if (adapter.model == nullptr) adapter.model = &machine_->AddAdapter(name);
    return adapter;
}

BenchMachine::Adapter* BenchMachine::FindAdapter(const std::string& name)
{
    auto found = adapters_.find(name);
    return found == adapters_.end() ? nullptr : &found->second;
}

}  // namespace bench
