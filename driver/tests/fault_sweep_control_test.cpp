// The control device under low resources: every control request with a
// valid buffer, handles opened and closed, and the WMI requests.
#include <cstring>

#include "common/control_codes.h"
#include "common/device_tables.h"
#include "common/guids.h"
#include "fault_sweep_fixture.h"
#include "registry/registry_store.h"

namespace driver_test {
namespace {

const GUID kBlockGuid = QTR_WMI_DATA_BLOCK_GUID_INIT;

NTSTATUS KeepIrp(PDEVICE_OBJECT, PIRP, PVOID) { return STATUS_MORE_PROCESSING_REQUIRED; }

class ControlFaultSweepTest : public FaultSweepTest {
protected:
    // The adapter still answers: a later request succeeds with its firmware text.
    void ExpectAnswers(const PluggedAdapter& adapter)
    {
        PreparedRequest later;
        Prepare(adapter, IOCTL_TMAN_APP_GET_FIRMWARE_VERSION, {}, kGetFirmwareVersionMinOutput, &later);
        ASSERT_EQ(Send(adapter, &later), STATUS_SUCCESS);
        EXPECT_GT(later.status.Information, 1u);
    }

    // A configuration table that changes every port of the adapter: its
    // new COM numbers are 31 to 34.
    std::vector<UCHAR> ChangedConfiguration(const PluggedAdapter& adapter)
    {
        PreparedRequest get;
        Prepare(adapter, IOCTL_TMAN_APP_GET_DEVICE_CONFIG_TABLE, {}, sizeof(DeviceConfigTable), &get);
        EXPECT_EQ(Send(adapter, &get), STATUS_SUCCESS);
        DeviceConfigTable table;
        std::memcpy(&table, get.output.data(), sizeof(table));
        EXPECT_EQ(table.count, 1);
        table.adapters[0].updateFlag = kConfigUpdateFlag;
        for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
            PortConfig config;
            std::memcpy(&config, &table.adapters[0].ports[port], sizeof(config));
            config.comNumber = static_cast<int32_t>(31 + port);
            std::memcpy(&table.adapters[0].ports[port], &config, sizeof(config));
        }
        std::vector<UCHAR> bytes(sizeof(table));
        std::memcpy(bytes.data(), &table, sizeof(table));
        return bytes;
    }

    // One system-control request as WMI sends it, built before the run.
    static void PrepareWmi(const PluggedAdapter& adapter, UCHAR minor, SweepRun& run)
    {
        PDEVICE_OBJECT fdo = Fdo(adapter);
        PIRP irp = IoAllocateIrp(fdo->StackSize, FALSE);
        ASSERT_NE(irp, nullptr);
        irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
        PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
        stack->MajorFunction = IRP_MJ_SYSTEM_CONTROL;
        stack->MinorFunction = minor;
        stack->Parameters.WMI.ProviderId = reinterpret_cast<ULONG_PTR>(fdo);
        stack->Parameters.WMI.DataPath = const_cast<GUID*>(&kBlockGuid);
        stack->Parameters.WMI.BufferSize = static_cast<ULONG>(run.buffer.size());
        stack->Parameters.WMI.Buffer = run.buffer.data();
        IoSetCompletionRoutine(irp, KeepIrp, nullptr, TRUE, TRUE, TRUE);
        run.request.irp = irp;
    }
    static NTSTATUS SendWmi(const PluggedAdapter& adapter, SweepRun& run)
    {
        IoCallDriver(Fdo(adapter), run.request.irp);
        const NTSTATUS status = run.request.irp->IoStatus.Status;
        IoFreeIrp(run.request.irp);
        run.request.irp = nullptr;
        return status;
    }
};

struct ControlCase {
    const char* name;
    ULONG code;
    ULONG outputLength;
};

TEST_F(ControlFaultSweepTest, EveryControlRequestWithAValidBufferEndsWellAndTheAdapterAnswersAfterwards)
{
    const ControlCase cases[] = {
        {"clear_events", IOCTL_TMAN_APP_CLEAR_EVENTS, 0},
        {"get_next_event", IOCTL_TMAN_APP_GET_NEXT_EVENT, 4 * kGetNextEventMinOutput},
        {"start_monitor", IOCTL_TMAN_APP_START_MONITOR, 0},
        {"stop_monitor", IOCTL_TMAN_APP_STOP_MONITOR, 0},
        {"get_next_monitor", IOCTL_TMAN_APP_GET_NEXT_MONITOR, 2 * kGetNextMonitorMinOutput},
        {"get_device_info_table", IOCTL_TMAN_APP_GET_DEVICE_INFO_TABLE, kGetDeviceInfoTableMinOutput},
        {"get_device_config_table", IOCTL_TMAN_APP_GET_DEVICE_CONFIG_TABLE, kGetDeviceConfigTableMinOutput},
        {"set_device_config_table", IOCTL_TMAN_APP_SET_DEVICE_CONFIG_TABLE, 0},
        {"set_internal_loopback", IOCTL_TMAN_APP_SET_INTERNAL_LOOPBACK, 0},
        {"get_firmware_version", IOCTL_TMAN_APP_GET_FIRMWARE_VERSION, kGetFirmwareVersionMinOutput},
    };
    ULONG64 setConfigDriverSites = 0;
    for (const ControlCase& c : cases) {
        SweepPath path;
        path.name = c.name;
        path.arrange = [&](SweepRun& run) {
            PlugFresh(run);
            std::vector<UCHAR> input;
            if (c.code == IOCTL_TMAN_APP_SET_DEVICE_CONFIG_TABLE) input = ChangedConfiguration(run.plugged);
            if (c.code == IOCTL_TMAN_APP_SET_INTERNAL_LOOPBACK) {
                const LoopbackRequest loopback = {0, 2, 1};
                input.assign(sizeof(loopback), 0);
                std::memcpy(input.data(), &loopback, sizeof(loopback));
            }
            Prepare(run.plugged, c.code, input, c.outputLength, &run.request);
        };
        path.act = [&](SweepRun& run) { return Send(run.plugged, &run.request); };
        path.verify = [&](SweepRun& run, NTSTATUS) {
            machine().RunUntilQuiet();
            if (c.code == IOCTL_TMAN_APP_SET_DEVICE_CONFIG_TABLE) {
                // The registry holds the table whatever became of the restart.
                EXPECT_EQ(Text(PortParameters(*run.bound, 3), u"PortName"), u"COM34");
            }
            ExpectAnswers(run.plugged);
        };
        const SweepCount count = Sweep(path);
        if (c.code == IOCTL_TMAN_APP_SET_DEVICE_CONFIG_TABLE) setConfigDriverSites = count.driver;
    }
    // The restart command is the one request that allocates: its message.
    EXPECT_GT(setConfigDriverSites, 0u);
}

TEST_F(ControlFaultSweepTest, HandlesOpenAndCloseUnderLowResourcesAndLeaveTheAdapterIdle)
{
    const std::u16string suffixes[] = {u"", u"\\PIPE2"};
    for (const std::u16string& suffix : suffixes) {
        SweepPath path;
        path.name = suffix.empty() ? "create_close_control" : "create_close_pipe";
        path.arrange = [&](SweepRun& run) { PlugFresh(run); };
        path.act = [&](SweepRun&) {
            PFILE_OBJECT file = nullptr;
            const NTSTATUS status = Open(DosName(0) + suffix, &file);
            if (NT_SUCCESS(status)) Close(file);
            machine().RunUntilQuiet();
            return status;
        };
        path.verify = [&](SweepRun& run, NTSTATUS) {
            EXPECT_EQ(Extension(run.plugged)->openHandles, 0);
            PFILE_OBJECT again = nullptr;
            ASSERT_EQ(Open(DosName(0) + suffix, &again), STATUS_SUCCESS);
            Close(again);
            EXPECT_EQ(Extension(run.plugged)->openHandles, 0);
        };
        Sweep(path);
    }
}

TEST_F(ControlFaultSweepTest, WmiQueriesAndSetsEndWell)
{
    struct WmiCase {
        const char* name;
        UCHAR minor;
    };
    const WmiCase cases[] = {{"wmi_query", IRP_MN_QUERY_SINGLE_INSTANCE}, {"wmi_set_item", IRP_MN_CHANGE_SINGLE_ITEM}};
    for (const WmiCase& c : cases) {
        SweepPath path;
        path.name = c.name;
        path.arrange = [&](SweepRun& run) {
            PlugFresh(run);
            if (c.minor == IRP_MN_QUERY_SINGLE_INSTANCE) {
                run.buffer.assign(sizeof(WNODE_SINGLE_INSTANCE) + 256, 0);
                auto* wnode = reinterpret_cast<PWNODE_SINGLE_INSTANCE>(run.buffer.data());
                wnode->WnodeHeader.BufferSize = static_cast<ULONG>(run.buffer.size());
                wnode->WnodeHeader.Guid = kBlockGuid;
                wnode->WnodeHeader.Flags = WNODE_FLAG_STATIC_INSTANCE_NAMES;
                wnode->DataBlockOffset = sizeof(WNODE_SINGLE_INSTANCE);
                wnode->SizeDataBlock = 256;
            } else {
                const ULONG value = 9;
                run.buffer.assign(sizeof(WNODE_SINGLE_ITEM) + sizeof(value), 0);
                auto* wnode = reinterpret_cast<PWNODE_SINGLE_ITEM>(run.buffer.data());
                wnode->WnodeHeader.BufferSize = static_cast<ULONG>(run.buffer.size());
                wnode->WnodeHeader.Guid = kBlockGuid;
                wnode->WnodeHeader.Flags = WNODE_FLAG_STATIC_INSTANCE_NAMES;
                wnode->DataBlockOffset = sizeof(WNODE_SINGLE_ITEM);
                wnode->ItemId = 1;
                wnode->SizeDataItem = sizeof(value);
                std::memcpy(run.buffer.data() + sizeof(WNODE_SINGLE_ITEM), &value, sizeof(value));
            }
            PrepareWmi(run.plugged, c.minor, run);
        };
        path.act = [&](SweepRun& run) { return SendWmi(run.plugged, run); };
        path.verify = [&](SweepRun& run, NTSTATUS) { ExpectAnswers(run.plugged); };
        Sweep(path);
    }
}

}  // namespace
}  // namespace driver_test
