#include "com_port_fixture.h"

#include <cstdio>

#include "common/usb_ids.h"
#include "km/io_strings.h"
#include "portdrv/port_driver_install.h"

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath);

namespace winsim::test {

void ComPortTest::SetUp()
{
    machine_ = std::make_unique<Machine>();
    mark_ = Pool::Mark();
    ASSERT_NE(machine_->InstallAndLoadDriver("84prusb", DriverEntry), nullptr);
    ASSERT_NE(portdrv::InstallDriverPackage(*machine_), nullptr);
}

void ComPortTest::TearDown()
{
    machine_.reset();
    for (const PoolBlock& block : Pool::LeaksSince(mark_)) {
        ADD_FAILURE() << "left in pool: " << block.tag << ", " << block.bytes << " bytes";
    }
}

hw::AdapterModel& ComPortTest::Plug(const std::string& serial)
{
    hw::AdapterModel*& adapter = adapters_[serial];
    if (adapter == nullptr) {
        adapter = &machine_->AddAdapter(serial);
        firmware_[adapter] = &hw::RunApplication(*adapter);
    }
    machine_->Usb().Plug(*adapter);
    machine_->Pnp().WaitIdle();
    machine_->RunUntilQuiet();
    return *adapter;
}

void ComPortTest::Unplug(hw::AdapterModel& adapter)
{
    machine_->Usb().Unplug(adapter);
    machine_->Pnp().WaitIdle();
    machine_->RunUntilQuiet();
}

hw::ApplicationFirmware& ComPortTest::Firmware(hw::AdapterModel& adapter) { return *firmware_.at(&adapter); }

AdapterExtension* ComPortTest::Extension(hw::AdapterModel& adapter)
{
    PDEVICE_OBJECT pdo = machine_->Usb().FunctionPdo(adapter, 0);
    if (pdo == nullptr || pdo->AttachedDevice == nullptr) return nullptr;
    return ExtensionOf(pdo->AttachedDevice);
}

HANDLE ComPortTest::OpenCom(ULONG comNumber)
{
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%u", comNumber);
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
}

bool ComPortTest::SetLine(HANDLE port, DWORD baud, BYTE byteSize, BYTE parity, BYTE stopBits, bool rtsCts)
{
    DCB dcb;
    if (!GetCommState(port, &dcb)) return false;
    dcb.BaudRate = baud;
    dcb.ByteSize = byteSize;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    dcb.fOutxCtsFlow = rtsCts ? 1 : 0;
    dcb.fRtsControl = rtsCts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    return SetCommState(port, &dcb) != FALSE;
}

HANDLE ComPortTest::OpenWithLine(ULONG comNumber, DWORD baud, bool rtsCts)
{
    HANDLE port = OpenCom(comNumber);
    if (port != INVALID_HANDLE_VALUE && !SetLine(port, baud, 8, NOPARITY, ONESTOPBIT, rtsCts)) {
        CloseHandle(port);
        port = INVALID_HANDLE_VALUE;
    }
    return port;
}

bool ComPortTest::Transfer(HANDLE port, bool write, void* buffer, DWORD length, DWORD* done)
{
    DWORD error;
    {
        OverlappedTransfer transfer(port, write, buffer, length);
        error = transfer.StartError();
        if (error == ERROR_SUCCESS || error == ERROR_IO_PENDING) error = transfer.Finish(true, done);
    }
    // Closing the event must not hide why it failed.
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

OverlappedTransfer::OverlappedTransfer(HANDLE port, bool write, void* buffer, DWORD length) : port_(port)
{
    overlapped_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD done = 0;
    const BOOL ok = write ? WriteFile(port, buffer, length, &done, &overlapped_)
                          : ReadFile(port, buffer, length, &done, &overlapped_);
    startError_ = ok ? ERROR_SUCCESS : GetLastError();
}

OverlappedTransfer::~OverlappedTransfer() { CloseHandle(overlapped_.hEvent); }

DWORD OverlappedTransfer::Finish(bool wait, DWORD* done)
{
    return GetOverlappedResult(port_, &overlapped_, done, wait ? TRUE : FALSE) ? ERROR_SUCCESS : GetLastError();
}

std::u16string PortInstanceKey(const std::string& serial, int port)
{
    char text[160];
    std::snprintf(text, sizeof text,
                  "\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\" QTR_USB_DEVICE_ID "&MI_%02d\\%s&0&%04d",
                  port, serial.c_str(), port);
    return io::FromAscii(text);
}

}  // namespace winsim::test
