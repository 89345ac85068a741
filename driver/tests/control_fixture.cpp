#include "control_fixture.h"

#include "common/guids.h"
#include "common/usb_ids.h"
#include "km/io_manager.h"
#include "pnp/device_node.h"
#include "pnp/pnp_irp.h"
#include "registry/registry_store.h"

namespace driver_test {

namespace {

const GUID kPortServices = QTR_PORT_SERVICES_GUID_INIT;
const std::u16string kEnum = u"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\";

bool EndsWith(const std::u16string& text, const std::u16string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

void MessageRecorder::OnOut(UCHAR endpoint, const std::vector<UCHAR>& packet)
{
    {
        std::lock_guard lk(lock_);
        packets_.push_back(packet);
    }
    if (firmware_ != nullptr) firmware_->OnOut(endpoint, packet);
}

size_t MessageRecorder::CountWithCode(UCHAR code) const
{
    std::lock_guard lk(lock_);
    size_t count = 0;
    for (const auto& packet : packets_) count += !packet.empty() && packet[0] == code ? 1 : 0;
    return count;
}

void ControlDeviceTest::TearDown()
{
    // The port driver lets go of the tables before the adapters go.
    for (auto& adapter : adapters_) {
        if (adapter->bound && Fdo(adapter->plugged) != nullptr) adapter->table.dereference(adapter->table.context);
    }
    AdapterTest::TearDown();
}

BoundAdapter& ControlDeviceTest::PlugAndRegister(const std::string& serial, std::vector<ULONG> comNumbers,
                                                 ULONG registered)
{
    PluggedAdapter plugged = Plug(serial);
    recorders_.push_back(std::make_unique<MessageRecorder>(plugged.firmware));
    plugged.model->SetEndpointHandler(recorders_.back().get());
    BoundAdapter& adapter = BindAndRegister(plugged, std::move(comNumbers), registered);
    adapter.recorder = recorders_.back().get();
    return adapter;
}

BoundAdapter& ControlDeviceTest::BindAndRegister(PluggedAdapter plugged, std::vector<ULONG> comNumbers,
                                                 ULONG registered)
{
    adapters_.push_back(std::make_unique<BoundAdapter>());
    BoundAdapter& adapter = *adapters_.back();
    adapter.plugged = plugged;

    auto& store = winsim::registry::Store::Instance();
    store.SetString(kEnum + adapter.plugged.control->InstancePath(), u"Service", u"84prusb");
    const char16_t* suffixes[kPortsPerAdapter] = {u"" QTR_USB_MI_PORT1, u"" QTR_USB_MI_PORT2, u"" QTR_USB_MI_PORT3,
                                                  u"" QTR_USB_MI_PORT4};
    const std::string& serial = plugged.model->SerialNumber();
    for (winsim::pnp::DeviceNode* child : adapter.plugged.device->Children()) {
        for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
            if (!EndsWith(child->HardwareIds().front(), suffixes[port])) continue;
            adapter.portDevices[port] = child->Pdo();
            // The instance key as the port driver's installation leaves it.
            const std::u16string serial16(serial.begin(), serial.end());
            store.SetString(kEnum + child->InstancePath(), u"Driver",
                            u"{4d36e978-e325-11ce-bfc1-08002be10318}\\" + serial16 + u"-" +
                                std::u16string(1, u'0' + port));
        }
    }

    PDEVICE_OBJECT pdo = adapter.plugged.control->Pdo();
    NTSTATUS status = winsim::pnp::SendPnpIrp(pdo, IRP_MN_QUERY_INTERFACE, [&](IO_STACK_LOCATION& location) {
        location.Parameters.QueryInterface.InterfaceType = &kPortServices;
        location.Parameters.QueryInterface.Size = kPortServicesSize;
        location.Parameters.QueryInterface.Version = kPortServicesVersion;
        location.Parameters.QueryInterface.Interface = reinterpret_cast<PINTERFACE>(&adapter.table);
        location.Parameters.QueryInterface.InterfaceSpecificData = nullptr;
    });
    EXPECT_EQ(status, STATUS_SUCCESS);
    adapter.bound = NT_SUCCESS(status);
    for (ULONG port = 0; adapter.bound && port < registered && port < comNumbers.size(); ++port) {
        PortRegistration registration = {};
        registration.deviceObject = adapter.portDevices[port];
        registration.comNumber = comNumbers[port];
        EXPECT_EQ(adapter.table.registerPort(adapter.table.context, port, &registration), 1);
    }
    return adapter;
}

void ControlDeviceTest::SetPortOpen(BoundAdapter& adapter, ULONG port, bool open)
{
    PortRegisters* registers = nullptr;
    ASSERT_EQ(adapter.table.getRegisters(adapter.table.context, port, &registers), 1);
    registers->open = open ? 1 : 0;
    ASSERT_EQ(adapter.table.applyConfig(adapter.table.context, port), 1);
    machine().RunUntilQuiet();
}

std::u16string ControlDeviceTest::PortInstanceKey(const BoundAdapter& adapter, ULONG port) const
{
    return kEnum + winsim::io::InstanceId(adapter.portDevices[port]);
}

std::u16string ControlDeviceTest::PortParameters(const BoundAdapter& adapter, ULONG port) const
{
    return PortInstanceKey(adapter, port) + u"\\Device Parameters";
}

std::u16string ControlDeviceTest::AdapterParameters(const BoundAdapter& adapter) const
{
    return kEnum + winsim::io::InstanceId(adapter.plugged.control->Pdo()) + u"\\Device Parameters";
}

std::u16string ControlDeviceTest::Text(const std::u16string& key, const char16_t* name) const
{
    auto value = winsim::registry::Store::Instance().GetValue(key, name);
    if (!value || value->type != REG_SZ) return u"<absent>";
    std::u16string text(reinterpret_cast<const char16_t*>(value->data.data()), value->data.size() / 2);
    while (!text.empty() && text.back() == u'\0') text.pop_back();
    return text;
}

}  // namespace driver_test
