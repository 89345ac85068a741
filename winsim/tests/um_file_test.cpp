// CreateFileA, DeviceIoControl and CloseHandle against a test driver, the
// way the Assistant reaches the adapter's control device.
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "km/io_manager.h"
#include "km/io_strings.h"
#include "io_test_driver.h"
#include "km/io_pool_tags.h"
#include "verifier/fault_injection.h"
#include "verifier/pool.h"

namespace winsim::test {
namespace {

const DWORD kEcho = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x810, METHOD_BUFFERED, FILE_ANY_ACCESS);

// What the device saw, and how it answers.
struct DeviceScript {
    std::vector<UCHAR> majors;
    std::u16string fileName;
    ULONG createOptions = 0;
    std::string input;
    NTSTATUS createStatus = STATUS_SUCCESS;
    NTSTATUS controlStatus = STATUS_SUCCESS;
    bool holdControl = false;
    PIRP held = nullptr;
};

Dispatch Scripted(DeviceScript* script)
{
    return [script](PDEVICE_OBJECT, PIRP irp) {
        PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
        script->majors.push_back(location->MajorFunction);
        switch (location->MajorFunction) {
        case IRP_MJ_CREATE:
            script->fileName = io::FromUnicodeString(&location->FileObject->FileName);
            script->createOptions = location->Parameters.Create.Options;
            return Complete(irp, script->createStatus);
        case IRP_MJ_DEVICE_CONTROL: {
            if (location->Parameters.DeviceIoControl.IoControlCode != kEcho) {
                return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
            }
            auto* buffer = static_cast<char*>(irp->AssociatedIrp.SystemBuffer);
            script->input.assign(buffer, location->Parameters.DeviceIoControl.InputBufferLength);
            std::memcpy(buffer, "hello", 5);
            if (script->holdControl) {
                IoMarkIrpPending(irp);
                irp->IoStatus.Information = 5;
                script->held = irp;
                return STATUS_PENDING;
            }
            return Complete(irp, script->controlStatus, 5);
        }
        default:
            return Complete(irp, STATUS_SUCCESS);
        }
    };
}

class UserFileTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        driver_ = std::make_unique<TestDriver>("umtest");
        device_ = AddDevice(L"\\Device\\UmTest0", L"\\DosDevices\\UMTEST0", &script_, false);
    }
    void TearDown() override
    {
        for (const WCHAR* link : links_) {
            UNICODE_STRING name;
            RtlInitUnicodeString(&name, link);
            IoDeleteSymbolicLink(&name);
        }
        if (device_ != nullptr) TestDriver::DeleteDevice(device_);
        if (exclusive_ != nullptr) TestDriver::DeleteDevice(exclusive_);
        driver_.reset();
        MachineTest::TearDown();
    }

    PDEVICE_OBJECT AddDevice(const WCHAR* name, const WCHAR* link, DeviceScript* script, bool exclusive)
    {
        PDEVICE_OBJECT device = driver_->CreateDevice(name, Scripted(script), 0, exclusive);
        UNICODE_STRING linkName, deviceName;
        RtlInitUnicodeString(&linkName, link);
        RtlInitUnicodeString(&deviceName, name);
        EXPECT_EQ(IoCreateSymbolicLink(&linkName, &deviceName), STATUS_SUCCESS);
        links_.push_back(link);
        return device;
    }

    HANDLE Open(const char* path, DWORD flags = 0)
    {
        return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags, nullptr);
    }

    std::unique_ptr<TestDriver> driver_;
    DeviceScript script_;
    PDEVICE_OBJECT device_ = nullptr;
    PDEVICE_OBJECT exclusive_ = nullptr;
    std::vector<const WCHAR*> links_;
};

TEST_F(UserFileTest, OpenReachesTheDriverWithTheRestOfThePathAndCloseSendsCleanupThenClose)
{
    HANDLE pipe = Open("\\\\.\\UMTEST0\\PIPE03");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    EXPECT_NE(pipe, nullptr);
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(pipe) % 4, 0u);
    EXPECT_EQ(script_.fileName, u"\\PIPE03");
    EXPECT_EQ(script_.createOptions >> 24, io::kFileOpen);
    EXPECT_NE(script_.createOptions & io::kFileSynchronousIoNonAlert, 0u);
    EXPECT_TRUE(CloseHandle(pipe));
    EXPECT_EQ(script_.majors, (std::vector<UCHAR>{IRP_MJ_CREATE, IRP_MJ_CLEANUP, IRP_MJ_CLOSE}));

    HANDLE adapter = Open("\\\\.\\umtest0", FILE_FLAG_OVERLAPPED);
    ASSERT_NE(adapter, INVALID_HANDLE_VALUE);
    EXPECT_EQ(script_.fileName, u"");
    EXPECT_EQ(script_.createOptions & io::kFileSynchronousIoNonAlert, 0u);
    EXPECT_TRUE(CloseHandle(adapter));
    EXPECT_FALSE(CloseHandle(adapter));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(UserFileTest, CleanupAndCloseReachTheDriverWhenNoIrpCanBeHadForAnythingElse)
{
    HANDLE handle = Open("\\\\.\\UMTEST0");
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    FaultInjection::FailEvery(TagFilter::Only({io::kTagIrp}));
    char byte = 0;
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(handle, kEcho, &byte, 1, &byte, 1, &returned, nullptr));
    EXPECT_TRUE(CloseHandle(handle));
    FaultInjection::Disarm();
    EXPECT_EQ(script_.majors, (std::vector<UCHAR>{IRP_MJ_CREATE, IRP_MJ_CLEANUP, IRP_MJ_CLOSE}));
}

TEST_F(UserFileTest, FailedOpensGiveTheWin32ErrorAndSendNoClose)
{
    EXPECT_EQ(Open("\\\\.\\NOSUCH"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Open("\\\\.\\NOSUCH\\PIPE00"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    script_.createStatus = STATUS_DELETE_PENDING;
    EXPECT_EQ(Open("\\\\.\\UMTEST0"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(script_.majors, std::vector<UCHAR>{IRP_MJ_CREATE});
}

TEST_F(UserFileTest, ControlOutputIsCopiedUpToTheBytesReturnedAndFailuresSetTheLastError)
{
    HANDLE handle = Open("\\\\.\\UMTEST0");
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    char output[12];
    std::memset(output, '#', sizeof output);
    DWORD bytes = 0;
    ASSERT_TRUE(DeviceIoControl(handle, kEcho, const_cast<char*>("abc"), 3, output, sizeof output, &bytes, nullptr));
    EXPECT_EQ(bytes, 5u);
    EXPECT_EQ(std::string(output, sizeof output), "hello#######");
    EXPECT_EQ(script_.input, "abc");

    // A warning still hands back its data.
    script_.controlStatus = STATUS_BUFFER_OVERFLOW;
    bytes = 0;
    EXPECT_FALSE(DeviceIoControl(handle, kEcho, nullptr, 0, output, sizeof output, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(bytes, 5u);

    script_.controlStatus = STATUS_INVALID_PARAMETER;
    EXPECT_FALSE(DeviceIoControl(handle, kEcho, nullptr, 0, output, sizeof output, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(DeviceIoControl(handle, kEcho + 4, nullptr, 0, nullptr, 0, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    EXPECT_TRUE(CloseHandle(handle));
}

TEST_F(UserFileTest, PendingControlOnASynchronousHandleWaitsForItsCompletion)
{
    HANDLE handle = Open("\\\\.\\UMTEST0");
    script_.holdControl = true;
    Thread completer = Scheduler::Instance().Spawn("completer", [&] {
        Sleep(20);
        Complete(script_.held, STATUS_SUCCESS, 5);
    });
    const Ticks start = Scheduler::Instance().Now();
    char output[8] = {};
    DWORD bytes = 0;
    EXPECT_TRUE(DeviceIoControl(handle, kEcho, nullptr, 0, output, sizeof output, &bytes, nullptr));
    EXPECT_EQ(Scheduler::Instance().Now() - start, 20 * kTicksPerMillisecond);
    EXPECT_EQ(bytes, 5u);
    EXPECT_EQ(std::string(output, 5), "hello");
    completer.Join();
    CloseHandle(handle);
}

TEST_F(UserFileTest, OverlappedControlPendsCompletesIntoTheOverlappedAndKeepsTheFileUntilThen)
{
    HANDLE handle = Open("\\\\.\\UMTEST0", FILE_FLAG_OVERLAPPED);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    script_.holdControl = true;
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    char output[8] = {};
    DWORD bytes = 77;
    EXPECT_FALSE(DeviceIoControl(handle, kEcho, nullptr, 0, output, sizeof output, &bytes, &overlapped));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_EQ(bytes, 77u);
    EXPECT_FALSE(HasOverlappedIoCompleted(&overlapped));
    // The request reset the event.
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    // Closing the handle cleans up; the pending request keeps the file open.
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_EQ(script_.majors.back(), IRP_MJ_CLEANUP);

    Complete(script_.held, STATUS_SUCCESS, 5);
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(HasOverlappedIoCompleted(&overlapped));
    EXPECT_EQ(static_cast<NTSTATUS>(overlapped.Internal), STATUS_SUCCESS);
    EXPECT_EQ(overlapped.InternalHigh, 5u);
    EXPECT_EQ(std::string(output, 5), "hello");
    EXPECT_EQ(script_.majors.back(), IRP_MJ_CLOSE);
    CloseHandle(overlapped.hEvent);
}

TEST_F(UserFileTest, ControlCodesNeedTheAccessTheyName)
{
    HANDLE readOnly = CreateFileA("\\\\.\\UMTEST0", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
    const DWORD writeCode = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x810, METHOD_BUFFERED, FILE_WRITE_ACCESS);
    DWORD bytes;
    EXPECT_FALSE(DeviceIoControl(readOnly, writeCode, nullptr, 0, nullptr, 0, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(script_.majors, std::vector<UCHAR>{IRP_MJ_CREATE});
    char output[8];
    EXPECT_TRUE(DeviceIoControl(readOnly, kEcho, nullptr, 0, output, sizeof output, &bytes, nullptr));
    CloseHandle(readOnly);
}

TEST_F(UserFileTest, AnExclusiveDeviceTakesOneOpenAtATime)
{
    DeviceScript script;
    exclusive_ = AddDevice(L"\\Device\\UmExclusive", L"\\DosDevices\\UMEXCL", &script, true);
    HANDLE first = Open("\\\\.\\UMEXCL");
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open("\\\\.\\UMEXCL"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(first);
    HANDLE again = Open("\\\\.\\UMEXCL");
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

TEST_F(UserFileTest, ADeviceDeletedWhileOpenLastsUntilTheHandleCloses)
{
    HANDLE handle = Open("\\\\.\\UMTEST0");
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    const auto devices = [] {
        for (const PoolTagUsage& usage : Pool::Snapshot()) {
            if (usage.tag == "Devi") return usage.count;
        }
        return ULONG64{0};
    };
    const ULONG64 before = devices();
    TestDriver::DeleteDevice(device_);
    device_ = nullptr;

    EXPECT_EQ(Open("\\\\.\\UMTEST0"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    // The open handle still reaches the driver, which refuses.
    DWORD bytes;
    EXPECT_FALSE(DeviceIoControl(handle, kEcho, nullptr, 0, nullptr, 0, &bytes, nullptr));
    EXPECT_EQ(devices(), before);
    CloseHandle(handle);
    EXPECT_EQ(devices(), before - 1);
}

}  // namespace
}  // namespace winsim::test
