// The PnP sequences, run one at a time on the PnP worker.
#include "pnp/pnp_manager.h"

#include <km_zw.h>

#include "km/io_manager.h"
#include "pnp/device_installer.h"
#include "registry/registry_store.h"
#include "verifier/verifier.h"

namespace winsim::pnp {

namespace {

bool HasStack(const DeviceNode* node)
{
    return node->Driver() != nullptr &&
           (node->State() == NodeState::kStarted || node->State() == NodeState::kStopped);
}

NTSTATUS Send(DeviceNode* node, UCHAR minor) { return SendPnpIrp(node->Pdo(), minor); }

// The services named by the instance's "UpperFilters", in order.
std::vector<std::string> UpperFilters(DeviceNode* node)
{
    std::vector<std::string> filters;
    auto value = registry::Store::Instance().GetValue(InstanceKeyPath(node->InstancePath()), u"UpperFilters");
    if (!value || value->type != REG_MULTI_SZ) return filters;
    const auto* text = reinterpret_cast<const char16_t*>(value->data.data());
    const size_t characters = value->data.size() / sizeof(char16_t);
    std::string current;
    for (size_t i = 0; i < characters; ++i) {
        if (text[i] != 0) {
            current.push_back(static_cast<char>(text[i]));
        } else if (!current.empty()) {
            filters.push_back(current);
            current.clear();
        }
    }
    return filters;
}

}  // namespace

void PnpManager::Enumerate(DeviceNode* node)
{
    if (!node->Present()) return;
    std::optional<DevicePackage> package = drivers_.Find(node->HardwareIds());
    InstallDevice(node, package);
    PDRIVER_OBJECT driver = package ? io::FindDriver(package->service) : nullptr;
    if (driver == nullptr || driver->DriverExtension->AddDevice == nullptr) {
        // As a device with no driver installed: the PDO alone, not started.
        node->state_ = NodeState::kNoDriver;
        return;
    }
    const NTSTATUS status = driver->DriverExtension->AddDevice(driver, node->Pdo());
    Verifier::CheckIrqlAfterCallback(PASSIVE_LEVEL, "AddDevice");
    node->SetLastStatus(status);
    if (!NT_SUCCESS(status)) {
        node->state_ = NodeState::kNoDriver;
        return;
    }
    node->SetDriver(driver);
    if (!AddFilters(node)) return;
    StartStack(node);
}

// A filter that is missing or whose add-device fails fails the device, as
// on Windows: what was built of the stack is removed again.
bool PnpManager::AddFilters(DeviceNode* node)
{
    for (const std::string& service : UpperFilters(node)) {
        PDRIVER_OBJECT filter = io::FindDriver(service);
        NTSTATUS status = STATUS_NO_SUCH_DEVICE;
        if (filter != nullptr && filter->DriverExtension->AddDevice != nullptr) {
            status = filter->DriverExtension->AddDevice(filter, node->Pdo());
            Verifier::CheckIrqlAfterCallback(PASSIVE_LEVEL, "AddDevice");
        }
        if (!NT_SUCCESS(status)) {
            node->SetLastStatus(status);
            Send(node, IRP_MN_REMOVE_DEVICE);
            node->SetDriver(nullptr);
            node->state_ = NodeState::kNoDriver;
            return false;
        }
    }
    return true;
}

NTSTATUS PnpManager::StartStack(DeviceNode* node)
{
    const NTSTATUS status = SendPnpIrp(node->Pdo(), IRP_MN_START_DEVICE, [](IO_STACK_LOCATION& location) {
        // USB devices have no hardware resources.
        location.Parameters.StartDevice.AllocatedResources = nullptr;
        location.Parameters.StartDevice.AllocatedResourcesTranslated = nullptr;
    });
    node->SetLastStatus(status);
    if (!NT_SUCCESS(status)) {
        // A failed start leaves the device failed; its stack is torn down.
        node->state_ = NodeState::kStartFailed;
        Send(node, IRP_MN_REMOVE_DEVICE);
        node->SetDriver(nullptr);
        return status;
    }
    node->state_ = NodeState::kStarted;
    // Windows asks again after every start: the answer may have changed.
    QueryCapabilities(node);
    return status;
}

void PnpManager::QueryCapabilities(DeviceNode* node)
{
    DEVICE_CAPABILITIES capabilities;
    InitializeCapabilities(&capabilities);
    const NTSTATUS status = SendPnpIrp(node->Pdo(), IRP_MN_QUERY_CAPABILITIES, [&](IO_STACK_LOCATION& location) {
        location.Parameters.DeviceCapabilities.Capabilities = &capabilities;
    });
    if (NT_SUCCESS(status)) node->SetCapabilities(capabilities);
}

void PnpManager::SurpriseRemove(DeviceNode* node)
{
    for (DeviceNode* n : PostOrder(node)) {
        if (!HasStack(n)) continue;
        Send(n, IRP_MN_SURPRISE_REMOVAL);
        n->state_ = NodeState::kSurpriseRemoved;
    }
}

// Every node that is gone gets its remove once nothing holds it: no file
// open on its stack and every child removed. The bus deletes the PDO then.
void PnpManager::FinishRemovals()
{
    for (DeviceNode* n : PostOrder(&root_)) {
        if (n == &root_ || n->Present() || n->State() == NodeState::kDeleted || n->OpenFiles() > 0) continue;
        bool childrenLeft = false;
        for (DeviceNode* child : n->Children()) childrenLeft |= child->State() != NodeState::kDeleted;
        if (childrenLeft) continue;
        Send(n, IRP_MN_REMOVE_DEVICE);
        MarkDeleted(n);
    }
}

NTSTATUS PnpManager::EjectSubtree(DeviceNode* node)
{
    if (!node->Present() || node->State() == NodeState::kRemoved || node->State() == NodeState::kDeleted) {
        return STATUS_NO_SUCH_DEVICE;
    }
    std::vector<DeviceNode*> nodes;
    for (DeviceNode* n : PostOrder(node)) {
        if (n->State() != NodeState::kRemoved && n->State() != NodeState::kDeleted) nodes.push_back(n);
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
        const NTSTATUS status = Send(nodes[i], IRP_MN_QUERY_REMOVE_DEVICE);
        if (!NT_SUCCESS(status)) {
            // Everyone asked so far, the refusing stack included, goes back.
            for (size_t j = i + 1; j-- > 0;) Send(nodes[j], IRP_MN_CANCEL_REMOVE_DEVICE);
            return status;
        }
    }
    for (DeviceNode* n : nodes) {
        Send(n, IRP_MN_REMOVE_DEVICE);
        n->state_ = NodeState::kRemoved;
        n->SetDriver(nullptr);
    }
    return STATUS_SUCCESS;
}

NTSTATUS PnpManager::StopAndRestart(DeviceNode* node)
{
    if (!node->Present() || node->State() != NodeState::kStarted || node->Driver() == nullptr) {
        return STATUS_INVALID_DEVICE_STATE;
    }
    NTSTATUS status = Send(node, IRP_MN_QUERY_STOP_DEVICE);
    if (!NT_SUCCESS(status)) {
        Send(node, IRP_MN_CANCEL_STOP_DEVICE);
        return status;
    }
    Send(node, IRP_MN_STOP_DEVICE);
    node->state_ = NodeState::kStopped;
    return StartStack(node);
}

NTSTATUS PnpManager::ReinstallSubtree(DeviceNode* node)
{
    if (!node->Present() || node->State() == NodeState::kDeleted) return STATUS_NO_SUCH_DEVICE;
    if (node->State() != NodeState::kRemoved) {
        const NTSTATUS status = EjectSubtree(node);
        if (!NT_SUCCESS(status)) return status;
    }
    std::vector<DeviceNode*> order = PostOrder(node);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        (*it)->state_ = NodeState::kReported;
        Enumerate(*it);
    }
    return node->LastStatus();
}

}  // namespace winsim::pnp
