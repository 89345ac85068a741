// The PnP manager: the device tree, the driver table, and one worker thread
// that runs all PnP work in order, as Windows serialises it. Bus drivers
// report children and their disappearance; the worker loads the matching
// driver's add-device and sends the start, stop, removal and query requests
// in the orders Windows uses.
//
// One manager per machine, owned by whoever builds the machine; it must be
// created and destroyed on a simulation thread.
#pragma once

#include <km_io.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "km/io_file_observer.h"
#include "pnp/device_node.h"
#include "pnp/driver_table.h"
#include "pnp/pnp_irp.h"
#include "sched/scheduler.h"

namespace winsim::pnp {

class PnpManager final : public io::FileObserver {
public:
    PnpManager();
    // Lets queued work finish, then stops the worker. Nodes still present
    // keep their stacks: the buses remove their devices first.
    ~PnpManager();
    PnpManager(const PnpManager&) = delete;
    PnpManager& operator=(const PnpManager&) = delete;

    // The manager alive now, or null.
    static PnpManager* Current();

    void RegisterDriver(std::u16string_view hardwareId, std::string_view serviceName);
    // What an installed INF gives the hardware id: service, setup class,
    // description, upper filters.
    void RegisterPackage(std::u16string_view hardwareId, DevicePackage package);

    // --- For bus drivers --------------------------------------------------
    // A new PDO below parent (null: the root). The node is processed on the
    // worker: add-device of the matching driver, start, capabilities.
    DeviceNode* ReportChild(DeviceNode* parent, PDEVICE_OBJECT pdo, std::vector<std::u16string> hardwareIds,
                            std::u16string instanceId);
    // The PDO's device is physically gone, and with it its children: surprise
    // removal (children first), then the remove of each node once no file is
    // open on it and its children are removed.
    void ReportGone(PDEVICE_OBJECT pdo);

    // --- Sequences; the caller waits for them on a simulation thread -------
    // Orderly removal of the node and its children: query-remove to all,
    // cancel-remove to those queried if one refuses (its status is
    // returned), else remove. The PDOs stay while their devices are present.
    NTSTATUS Eject(DeviceNode* node);
    // Stop for resource rebalance: query-stop (cancel-stop on refusal), stop,
    // start. Returns the refusal or the start's status.
    NTSTATUS Rebalance(DeviceNode* node);
    // A driver update: the present node's stack and its children's are
    // removed (query-remove, remove; a refusal is returned) and each node
    // is installed and started again from the driver table, parents first.
    NTSTATUS Reinstall(DeviceNode* node);
    // One raw request to the node's stack, with no state change; for the
    // sequences a test needs to build itself. *information receives what the
    // stack returned (the caller frees buffers it owns).
    NTSTATUS SendPnp(DeviceNode* node, UCHAR minor, const StackSetup& setup = {}, ULONG_PTR* information = nullptr);
    // Work that must not interleave with PnP sequences (a system power
    // transition holds the device tree this way), run on the worker.
    NTSTATUS RunSerialised(const std::function<NTSTATUS()>& work) { return RunAndWait(work); }

    // --- The tree -------------------------------------------------------
    DeviceNode* Root() { return &root_; }
    DeviceNode* FindNode(PDEVICE_OBJECT pdo);
    DeviceNode* FindByInstancePath(std::u16string_view instancePath);

    // Forgets every subtree whose nodes are all deleted (unplugged devices'
    // phantoms), as if the devices had never been seen; with no PnP work
    // running. A machine reused for many short runs keeps its tree small.
    void ForgetDeletedNodes();

    // PnP work queued or running.
    bool Busy() const;
    void WaitIdle();

    // --- io::FileObserver: files opened and closed on a device ----------
    void FileOpened(PDEVICE_OBJECT device) override;
    void FileClosed(PDEVICE_OBJECT device) override;

private:
    void Post(std::function<void()> work);
    NTSTATUS RunAndWait(const std::function<NTSTATUS()>& work);
    void WorkerLoop();
    DeviceNode* NodeOfStack(PDEVICE_OBJECT device);
    void MarkDeleted(DeviceNode* node);

    // The sequences, run on the worker (node_lifecycle.cpp).
    void Enumerate(DeviceNode* node);
    bool AddFilters(DeviceNode* node);
    NTSTATUS StartStack(DeviceNode* node);
    void QueryCapabilities(DeviceNode* node);
    void SurpriseRemove(DeviceNode* node);
    void FinishRemovals();
    NTSTATUS EjectSubtree(DeviceNode* node);
    NTSTATUS StopAndRestart(DeviceNode* node);
    NTSTATUS ReinstallSubtree(DeviceNode* node);

    DriverTable drivers_;
    DeviceNode root_;

    mutable std::mutex lock_;
    std::vector<std::unique_ptr<DeviceNode>> nodes_;
    std::deque<std::function<void()>> queue_;
    bool running_ = false;
    bool stopping_ = false;

    KEVENT workReady_;  // synchronization event: work was posted
    KEVENT idle_;       // notification event: nothing queued or running
    std::atomic<SimThread*> workerThread_{nullptr};
    Thread worker_;
};

// Nodes of the subtree, children before their parent.
std::vector<DeviceNode*> PostOrder(DeviceNode* node);

}  // namespace winsim::pnp
