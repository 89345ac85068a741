#include "reglib_fixture.h"

#include "hw/firmware/application_firmware.h"
#include "km/io_strings.h"
#include "portdrv/port_driver_install.h"
#include "registry/registry_store.h"
#include "um/um_process.h"

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath);

namespace reglib_test {

namespace {

std::u16string MachinePath(const std::string& path) { return u"\\Registry\\Machine\\" + winsim::io::FromAscii(path); }

}  // namespace

void RegLibTest::SetUp()
{
    machine_ = std::make_unique<winsim::Machine>();
    ASSERT_NE(machine_->InstallAndLoadDriver("84prusb", DriverEntry), nullptr);
    ASSERT_NE(winsim::portdrv::InstallDriverPackage(*machine_), nullptr);
}

void RegLibTest::TearDown()
{
    EXPECT_EQ(LibraryLoads("msports.dll"), 0u);
    EXPECT_EQ(LibraryLoads("setupapi.dll"), 0u);
    EXPECT_EQ(LibraryLoads("newdev.dll"), 0u);
    machine_.reset();
}

winsim::hw::AdapterModel& RegLibTest::Plug(const std::string& serial)
{
    winsim::hw::AdapterModel& adapter = machine_->AddAdapter(serial);
    winsim::hw::RunApplication(adapter);
    machine_->Usb().Plug(adapter);
    machine_->RunUntilQuiet();
    return adapter;
}

void RegLibTest::Unplug(winsim::hw::AdapterModel& adapter)
{
    machine_->Usb().Unplug(adapter);
    machine_->RunUntilQuiet();
}

ULONG RegLibTest::LibraryLoads(const std::string& dll) { return winsim::um::CurrentProcess().LibraryLoads(dll); }

void RegLibTest::SetString(const std::string& path, const std::string& name, const std::string& text)
{
    winsim::registry::Store::Instance().SetString(MachinePath(path), winsim::io::FromAscii(name),
                                                  winsim::io::FromAscii(text));
}

void RegLibTest::SetBinary(const std::string& path, const std::string& name, const std::vector<unsigned char>& data)
{
    winsim::registry::Store::Instance().SetValue(MachinePath(path), winsim::io::FromAscii(name), REG_BINARY, data);
}

void RegLibTest::SetMultiString(const std::string& path, const std::string& name,
                                const std::vector<std::string>& strings)
{
    std::u16string joined;
    for (const std::string& s : strings) joined += winsim::io::FromAscii(s) + u'\0';
    joined += u'\0';
    const auto* bytes = reinterpret_cast<const unsigned char*>(joined.data());
    winsim::registry::Store::Instance().SetValue(MachinePath(path), winsim::io::FromAscii(name), REG_MULTI_SZ,
                                                 std::vector<unsigned char>(bytes, bytes + joined.size() * 2));
}

bool RegLibTest::KeyExists(const std::string& path) { return winsim::registry::Store::Instance().Exists(MachinePath(path)); }

std::string RegLibTest::GetString(const std::string& path, const std::string& name)
{
    auto text = winsim::registry::Store::Instance().GetString(MachinePath(path), winsim::io::FromAscii(name));
    return text ? winsim::io::ToAscii(*text) : "(absent)";
}

void RegLibTest::AddPhantom(const std::string& instancePath, const std::string& classGuid,
                            const std::vector<std::string>& hardwareIds)
{
    SetMultiString(kEnum + instancePath, "HardwareID", hardwareIds);
    SetString(kEnum + instancePath, "ClassGUID", classGuid);
}

}  // namespace reglib_test
