// newdev's driver update: the INF's driver installed again on every present
// device that carries the hardware id, and the device restarted with it.
#include <newdev.h>
#include <winbase.h>

#include <string>
#include <vector>

#include "km/io_strings.h"
#include "pnp/inf_file.h"
#include "pnp/inf_install.h"
#include "pnp/inf_package.h"
#include "pnp/pnp_manager.h"
#include "um/file_system.h"

namespace {

constexpr DWORD kInstallFlags = INSTALLFLAG_FORCE | INSTALLFLAG_READONLY | INSTALLFLAG_NONINTERACTIVE;

// Present devices one of whose hardware ids is the one asked for.
std::vector<winsim::pnp::DeviceNode*> PresentDevices(winsim::pnp::PnpManager& pnp, std::u16string_view hardwareId)
{
    std::vector<winsim::pnp::DeviceNode*> devices;
    const std::u16string wanted = winsim::io::UpperCase(hardwareId);
    for (winsim::pnp::DeviceNode* node : winsim::pnp::PostOrder(pnp.Root())) {
        if (node == pnp.Root() || !node->Present() || node->State() == winsim::pnp::NodeState::kDeleted) continue;
        for (const std::u16string& id : node->HardwareIds()) {
            if (winsim::io::UpperCase(id) == wanted) {
                devices.push_back(node);
                break;
            }
        }
    }
    return devices;
}

// The INF's model for the device: the first of its ids, most specific first.
const winsim::pnp::InfModel* ModelFor(const winsim::pnp::InfPackage& package, winsim::pnp::DeviceNode* node)
{
    for (const std::u16string& id : node->HardwareIds()) {
        if (const winsim::pnp::InfModel* model = winsim::pnp::FindModel(package, id)) return model;
    }
    return nullptr;
}

}  // namespace

extern "C" BOOL WINAPI UpdateDriverForPlugAndPlayDevicesA(HWND hwndParent, LPCSTR HardwareId, LPCSTR FullInfPath,
                                                          DWORD InstallFlags, PBOOL bRebootRequired)
{
    if (HardwareId == nullptr || FullInfPath == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((InstallFlags & ~kInstallFlags) != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return FALSE;
    }
    std::vector<BYTE> bytes;
    if (DWORD error = winsim::um::FileSystem::Instance().GetFile(FullInfPath, &bytes); error != ERROR_SUCCESS) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::optional<winsim::pnp::InfPackage> package =
        winsim::pnp::ReadInfPackage(winsim::pnp::InfFile::Parse(std::string(bytes.begin(), bytes.end())));
    winsim::pnp::PnpManager* pnp = winsim::pnp::PnpManager::Current();
    const std::vector<winsim::pnp::DeviceNode*> devices =
        pnp != nullptr ? PresentDevices(*pnp, winsim::io::FromAscii(HardwareId)) : std::vector<winsim::pnp::DeviceNode*>{};
    if (devices.empty()) {
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return FALSE;
    }
    std::vector<winsim::pnp::DeviceNode*> updated;
    for (winsim::pnp::DeviceNode* node : devices) {
        if (package && ModelFor(*package, node) != nullptr) updated.push_back(node);
    }
    if (updated.empty()) {
        SetLastError(ERROR_NO_DRIVER_SELECTED);
        return FALSE;
    }
    winsim::pnp::InstallInfPackage(*pnp, *package);
    bool restartFailed = false;
    for (winsim::pnp::DeviceNode* node : updated) restartFailed |= !NT_SUCCESS(pnp->Reinstall(node));
    // A stack that refused to go keeps its old driver until the machine restarts.
    if (bRebootRequired != nullptr) *bRebootRequired = restartFailed ? TRUE : FALSE;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
