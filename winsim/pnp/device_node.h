// A device node of the PnP manager's tree: the PDO a bus driver reported,
// its identity, the driver that serves it and where it is in its life.
#pragma once

#include <km_io.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace winsim::pnp {

enum class NodeState {
    kReported,         // enumerated, not processed yet
    kNoDriver,         // no driver matches, or add-device failed: no stack
    kStarted,
    kStartFailed,      // start failed and the stack was removed again
    kStopped,          // between the stop and the start of a rebalance
    kSurpriseRemoved,  // gone; its remove waits for open files and children
    kRemoved,          // removed while still present (ejected): only the PDO is left
    kDeleted,          // gone and removed: its bus deleted the PDO
};

class DeviceNode {
public:
    DeviceNode(DeviceNode* parent, PDEVICE_OBJECT pdo, std::vector<std::u16string> hardwareIds,
               std::u16string instanceId);

    // Null for the root and once the node is deleted.
    PDEVICE_OBJECT Pdo() const { return pdo_.load(); }
    DeviceNode* Parent() const { return parent_; }
    std::vector<DeviceNode*> Children() const;
    // Most specific first, as the bus reports them.
    const std::vector<std::u16string>& HardwareIds() const { return hardwareIds_; }
    const std::u16string& InstanceId() const { return instanceId_; }
    // <device id>\<instance id>; the device id is the least specific hardware id.
    std::u16string InstancePath() const;

    NodeState State() const { return state_.load(); }
    bool Present() const { return present_.load(); }
    LONG OpenFiles() const { return openFiles_.load(); }
    // Null while no driver's stack sits on the PDO.
    PDRIVER_OBJECT Driver() const;
    // What add-device or the last start returned.
    NTSTATUS LastStatus() const;
    // What the stack answered to the last query after a start.
    DEVICE_CAPABILITIES Capabilities() const;

private:
    friend class PnpManager;

    void AddChild(DeviceNode* child);
    void SetDriver(PDRIVER_OBJECT driver);
    void SetLastStatus(NTSTATUS status);
    void SetCapabilities(const DEVICE_CAPABILITIES& capabilities);

    DeviceNode* const parent_;
    std::atomic<PDEVICE_OBJECT> pdo_;
    const std::vector<std::u16string> hardwareIds_;
    const std::u16string instanceId_;
    std::atomic<NodeState> state_{NodeState::kReported};
    std::atomic<bool> present_{true};
    std::atomic<LONG> openFiles_{0};

    mutable std::mutex lock_;
    std::vector<DeviceNode*> children_;
    PDRIVER_OBJECT driver_ = nullptr;
    NTSTATUS lastStatus_ = STATUS_SUCCESS;
    DEVICE_CAPABILITIES capabilities_ = {};
};

}  // namespace winsim::pnp
