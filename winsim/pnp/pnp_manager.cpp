#include "pnp/pnp_manager.h"

#include <algorithm>
#include <atomic>
#include <set>

#include "km/io_device_extension.h"
#include "km/io_manager.h"
#include "km/io_objects.h"
#include "verifier/verifier.h"

namespace winsim::pnp {

namespace {

std::atomic<PnpManager*> g_current{nullptr};

}  // namespace

std::vector<DeviceNode*> PostOrder(DeviceNode* node)
{
    std::vector<DeviceNode*> order;
    for (DeviceNode* child : node->Children()) {
        std::vector<DeviceNode*> below = PostOrder(child);
        order.insert(order.end(), below.begin(), below.end());
    }
    order.push_back(node);
    return order;
}

PnpManager::PnpManager() : root_(nullptr, nullptr, {u"HTREE\\ROOT"}, u"0")
{
    root_.state_ = NodeState::kStarted;
    KeInitializeEvent(&workReady_, SynchronizationEvent, FALSE);
    KeInitializeEvent(&idle_, NotificationEvent, TRUE);
    // Waits forever while there is no PnP work: a daemon.
    worker_ = Scheduler::Instance().Spawn("pnp", [this] { WorkerLoop(); }, true);
    g_current.store(this);
    io::SetFileObserver(this);
}

PnpManager::~PnpManager()
{
    {
        std::lock_guard lk(lock_);
        stopping_ = true;
    }
    KeSetEvent(&workReady_, IO_NO_INCREMENT, FALSE);
    worker_.Join();
    io::SetFileObserver(nullptr);
    g_current.store(nullptr);
    for (auto& node : nodes_) {
        if (node->State() != NodeState::kDeleted) MarkDeleted(node.get());
    }
}

PnpManager* PnpManager::Current() { return g_current.load(); }

void PnpManager::RegisterDriver(std::u16string_view hardwareId, std::string_view serviceName)
{
    drivers_.Register(hardwareId, serviceName);
}

void PnpManager::RegisterPackage(std::u16string_view hardwareId, DevicePackage package)
{
    drivers_.Register(hardwareId, std::move(package));
}

DeviceNode* PnpManager::ReportChild(DeviceNode* parent, PDEVICE_OBJECT pdo, std::vector<std::u16string> hardwareIds,
                                    std::u16string instanceId)
{
    if (parent == nullptr) parent = &root_;
    auto owned = std::make_unique<DeviceNode>(parent, pdo, std::move(hardwareIds), std::move(instanceId));
    DeviceNode* node = owned.get();
    // The node keeps the PDO's memory until it is deleted, whatever the bus does.
    ObReferenceObject(pdo);
    io::SetInstanceId(pdo, node->InstancePath());
    {
        std::lock_guard lk(lock_);
        pdo->DeviceObjectExtension->DeviceNode = node;
        nodes_.push_back(std::move(owned));
    }
    parent->AddChild(node);
    Post([this, node] { Enumerate(node); });
    return node;
}

void PnpManager::ReportGone(PDEVICE_OBJECT pdo)
{
    DeviceNode* node = FindNode(pdo);
    if (node == nullptr) return;
    for (DeviceNode* n : PostOrder(node)) n->present_ = false;
    Post([this, node] {
        SurpriseRemove(node);
        FinishRemovals();
    });
}

NTSTATUS PnpManager::Eject(DeviceNode* node)
{
    return RunAndWait([this, node] { return EjectSubtree(node); });
}

NTSTATUS PnpManager::Rebalance(DeviceNode* node)
{
    return RunAndWait([this, node] { return StopAndRestart(node); });
}

NTSTATUS PnpManager::SendPnp(DeviceNode* node, UCHAR minor, const StackSetup& setup, ULONG_PTR* information)
{
    return RunAndWait([node, minor, &setup, information] {
        PDEVICE_OBJECT pdo = node->Pdo();
        if (pdo == nullptr) return STATUS_NO_SUCH_DEVICE;
        DEVICE_CAPABILITIES capabilities;
        InitializeCapabilities(&capabilities);
        return SendPnpIrp(pdo, minor,
                          [&](IO_STACK_LOCATION& location) {
                              if (minor == IRP_MN_QUERY_CAPABILITIES) {
                                  location.Parameters.DeviceCapabilities.Capabilities = &capabilities;
                              }
                              if (setup) setup(location);
                          },
                          information);
    });
}

NTSTATUS PnpManager::Reinstall(DeviceNode* node)
{
    return RunAndWait([this, node] { return ReinstallSubtree(node); });
}

DeviceNode* PnpManager::FindNode(PDEVICE_OBJECT pdo)
{
    std::lock_guard lk(lock_);
    for (auto& node : nodes_) {
        if (node->Pdo() == pdo) return node.get();
    }
    return nullptr;
}

DeviceNode* PnpManager::FindByInstancePath(std::u16string_view instancePath)
{
    const std::u16string wanted = io::UpperCase(instancePath);
    std::lock_guard lk(lock_);
    // The newest node of that path: an unplugged device's node stays as a phantom.
    for (auto it = nodes_.rbegin(); it != nodes_.rend(); ++it) {
        if (io::UpperCase((*it)->InstancePath()) == wanted) return it->get();
    }
    return nullptr;
}

void PnpManager::ForgetDeletedNodes()
{
    std::set<DeviceNode*> forgotten;
    std::function<void(DeviceNode*)> visit = [&](DeviceNode* node) {
        for (DeviceNode* child : node->Children()) {
            const std::vector<DeviceNode*> subtree = PostOrder(child);
            const bool gone = std::all_of(subtree.begin(), subtree.end(),
                                          [](DeviceNode* n) { return n->State() == NodeState::kDeleted; });
            if (!gone) {
                visit(child);
                continue;
            }
            forgotten.insert(subtree.begin(), subtree.end());
            std::lock_guard lk(node->lock_);
            std::erase(node->children_, child);
        }
    };
    visit(&root_);
    std::lock_guard lk(lock_);
    std::erase_if(nodes_, [&](const std::unique_ptr<DeviceNode>& node) { return forgotten.count(node.get()) != 0; });
}

bool PnpManager::Busy() const
{
    std::lock_guard lk(lock_);
    return running_ || !queue_.empty();
}

void PnpManager::WaitIdle() { KeWaitForSingleObject(&idle_, Executive, KernelMode, FALSE, nullptr); }

// The node of the stack the device belongs to: its bottom device's, if the
// PnP manager gave that one a node.
DeviceNode* PnpManager::NodeOfStack(PDEVICE_OBJECT device)
{
    PDEVICE_OBJECT bottom = device;
    {
        std::lock_guard lk(io::DatabaseLock());
        while (bottom->DeviceObjectExtension->AttachedTo != nullptr) bottom = bottom->DeviceObjectExtension->AttachedTo;
    }
    std::lock_guard lk(lock_);
    return static_cast<DeviceNode*>(bottom->DeviceObjectExtension->DeviceNode);
}

void PnpManager::FileOpened(PDEVICE_OBJECT device)
{
    if (DeviceNode* node = NodeOfStack(device)) node->openFiles_++;
}

void PnpManager::FileClosed(PDEVICE_OBJECT device)
{
    DeviceNode* node = NodeOfStack(device);
    if (node == nullptr) return;
    if (--node->openFiles_ == 0 && !node->Present()) Post([this] { FinishRemovals(); });
}

void PnpManager::MarkDeleted(DeviceNode* node)
{
    PDEVICE_OBJECT pdo = node->pdo_.exchange(nullptr);
    node->state_ = NodeState::kDeleted;
    node->SetDriver(nullptr);
    if (pdo == nullptr) return;
    {
        std::lock_guard lk(lock_);
        pdo->DeviceObjectExtension->DeviceNode = nullptr;
    }
    ObDereferenceObject(pdo);
}

void PnpManager::Post(std::function<void()> work)
{
    {
        std::lock_guard lk(lock_);
        queue_.push_back(std::move(work));
        KeClearEvent(&idle_);
    }
    KeSetEvent(&workReady_, IO_NO_INCREMENT, FALSE);
}

NTSTATUS PnpManager::RunAndWait(const std::function<NTSTATUS()>& work)
{
    // A driver that asks from inside a PnP request must not wait for itself.
    if (Scheduler::CurrentThread() == workerThread_.load()) return work();
    NTSTATUS status = STATUS_UNSUCCESSFUL;
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    Post([&] {
        status = work();
        KeSetEvent(&done, IO_NO_INCREMENT, FALSE);
    });
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    return status;
}

void PnpManager::WorkerLoop()
{
    workerThread_.store(Scheduler::CurrentThread());
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lk(lock_);
            if (!queue_.empty()) {
                work = std::move(queue_.front());
                queue_.pop_front();
                running_ = true;
            } else {
                running_ = false;
                KeSetEvent(&idle_, IO_NO_INCREMENT, FALSE);
                if (stopping_) return;
            }
        }
        if (work) {
            work();
            Verifier::CheckIrqlAfterCallback(PASSIVE_LEVEL, "PnP request");
            continue;
        }
        KeWaitForSingleObject(&workReady_, Executive, KernelMode, FALSE, nullptr);
    }
}

}  // namespace winsim::pnp
