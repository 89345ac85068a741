#include "pnp/device_node.h"

namespace winsim::pnp {

DeviceNode::DeviceNode(DeviceNode* parent, PDEVICE_OBJECT pdo, std::vector<std::u16string> hardwareIds,
                       std::u16string instanceId)
    : parent_(parent), pdo_(pdo), hardwareIds_(std::move(hardwareIds)), instanceId_(std::move(instanceId))
{
}

std::vector<DeviceNode*> DeviceNode::Children() const
{
    std::lock_guard lk(lock_);
    return children_;
}

std::u16string DeviceNode::InstancePath() const
{
    std::u16string deviceId = hardwareIds_.empty() ? std::u16string() : hardwareIds_.back();
    return deviceId + u"\\" + instanceId_;
}

PDRIVER_OBJECT DeviceNode::Driver() const
{
    std::lock_guard lk(lock_);
    return driver_;
}

NTSTATUS DeviceNode::LastStatus() const
{
    std::lock_guard lk(lock_);
    return lastStatus_;
}

DEVICE_CAPABILITIES DeviceNode::Capabilities() const
{
    std::lock_guard lk(lock_);
    return capabilities_;
}

void DeviceNode::AddChild(DeviceNode* child)
{
    std::lock_guard lk(lock_);
    children_.push_back(child);
}

void DeviceNode::SetDriver(PDRIVER_OBJECT driver)
{
    std::lock_guard lk(lock_);
    driver_ = driver;
}

void DeviceNode::SetLastStatus(NTSTATUS status)
{
    std::lock_guard lk(lock_);
    lastStatus_ = status;
}

void DeviceNode::SetCapabilities(const DEVICE_CAPABILITIES& capabilities)
{
    std::lock_guard lk(lock_);
    capabilities_ = capabilities;
}

}  // namespace winsim::pnp
