// COM ports end to end: the driver package on a machine, adapters running
// the application firmware, user mode through kernel32's file and comm
// functions.
#include <cstring>
#include <vector>

#include "pnp/com_database.h"
#include "registry/registry_store.h"
#include "com_port_fixture.h"

namespace winsim::test {
namespace {

using registry::Store;

TEST_F(ComPortTest, AnAdapterGetsComThreeToSixRecordedInItsInstancesAndTheDatabase)
{
    hw::AdapterModel& adapter = Plug("QTR0001");
    for (int port = 1; port <= 4; ++port) {
        const std::u16string key = PortInstanceKey("QTR0001", port);
        const std::u16string com = u"COM" + std::u16string(1, static_cast<char16_t>(u'2' + port));
        EXPECT_EQ(Store::Instance().GetString(key + u"\\Device Parameters", u"PortName"), com);
        EXPECT_EQ(Store::Instance().GetString(key, u"FriendlyName"),
                  u"Tessary QTR84PX-1 Serial Adapter Port (" + com + u")");
        EXPECT_EQ(Store::Instance().GetString(key, u"ClassGUID"), u"{4D36E978-E325-11CE-BFC1-08002BE10318}");
        EXPECT_TRUE(Store::Instance().GetString(key, u"Driver").has_value());
    }
    EXPECT_EQ(pnp::ComDatabase::Claimed(), (std::vector<ULONG>{3, 4, 5, 6}));
    AdapterExtension* extension = Extension(adapter);
    ASSERT_NE(extension, nullptr);
    ASSERT_NE(extension->adapterEntry, nullptr);
    for (ULONG port = 0; port < 4; ++port) EXPECT_EQ(extension->adapterEntry->comNumbers[port], 3 + port);
    EXPECT_EQ(extension->interfaceRefs, 1);
}

TEST_F(ComPortTest, ReplugKeepsTheNumbersAndASecondAdapterTakesTheNext)
{
    hw::AdapterModel& first = Plug("QTR0001");
    Unplug(first);
    // The instances stay behind the adapter, and so do their names.
    EXPECT_EQ(Store::Instance().GetString(PortInstanceKey("QTR0001", 2) + u"\\Device Parameters", u"PortName"),
              u"COM4");
    EXPECT_EQ(OpenCom(4), INVALID_HANDLE_VALUE);
    Plug("QTR0001");
    hw::AdapterModel& second = Plug("QTR0002");
    EXPECT_EQ(Extension(first)->adapterEntry->comNumbers[0], 3u);
    for (ULONG port = 0; port < 4; ++port) EXPECT_EQ(Extension(second)->adapterEntry->comNumbers[port], 7 + port);
    EXPECT_EQ(pnp::ComDatabase::Claimed(), (std::vector<ULONG>{3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(ComPortTest, OpenIsExclusiveAndMarksThePortBusy)
{
    hw::AdapterModel& adapter = Plug("QTR0001");
    HANDLE port = OpenCom(4);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Extension(adapter)->adapterEntry->portOpen[1], 1u);
    EXPECT_EQ(OpenCom(4), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CloseHandle(port));
    machine().RunUntilQuiet();
    EXPECT_EQ(Extension(adapter)->adapterEntry->portOpen[1], 0u);
    HANDLE again = OpenCom(4);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
    EXPECT_EQ(OpenCom(11), INVALID_HANDLE_VALUE);
}

TEST_F(ComPortTest, CommStateRoundTripsAndReachesTheAdapter)
{
    hw::AdapterModel& adapter = Plug("QTR0001");
    HANDLE port = OpenCom(4);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetLine(port, 115200, 7, EVENPARITY, TWOSTOPBITS, true));
    DCB dcb;
    ASSERT_TRUE(GetCommState(port, &dcb));
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(dcb.fOutxCtsFlow, 1u);
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
    machine().RunUntilQuiet();
    const PortRecord& record = Extension(adapter)->ports[1];
    EXPECT_EQ(record.baudRate, 115200u);
    EXPECT_EQ(record.registers.lineControl, 0x02 | kLcrStopBits | 0x18);
    EXPECT_EQ(record.registers.ctsFlow, 1);
    EXPECT_EQ(record.lastConfig[20], 1);  // the adapter has it, open

    dcb.ByteSize = 9;
    EXPECT_FALSE(SetCommState(port, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(EscapeCommFunction(port, CLRDTR));
    EXPECT_EQ(record.registers.modemControl & kMcrDtr, 0);
    EXPECT_TRUE(EscapeCommFunction(port, SETDTR));
    EXPECT_EQ(record.registers.modemControl & kMcrDtr, kMcrDtr);
    EXPECT_FALSE(EscapeCommFunction(port, 77));
    CloseHandle(port);
}

TEST_F(ComPortTest, TenKilobytesThroughALoopbackPlugComeBackIdentical)
{
    hw::AdapterModel& adapter = Plug("QTR0001");
    Firmware(adapter).Port(1).PlugLoopback();
    HANDLE port = OpenWithLine(4, 115200, true);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    machine().RunUntilQuiet();
    DWORD modem = 0;
    ASSERT_TRUE(GetCommModemStatus(port, &modem));
    EXPECT_EQ(modem & MS_CTS_ON, static_cast<DWORD>(MS_CTS_ON));  // RTS looped to CTS

    std::vector<UCHAR> sent(10 * 1024);
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<UCHAR>(i * 7 + (i >> 8));
    std::vector<UCHAR> received(sent.size());
    {
        OverlappedTransfer read(port, false, received.data(), static_cast<DWORD>(received.size()));
        ASSERT_EQ(read.StartError(), static_cast<DWORD>(ERROR_IO_PENDING));
        DWORD written = 0;
        ASSERT_TRUE(Transfer(port, true, sent.data(), static_cast<DWORD>(sent.size()), &written));
        EXPECT_EQ(written, sent.size());
        DWORD got = 0;
        ASSERT_EQ(read.Finish(true, &got), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(got, received.size());
    }
    EXPECT_EQ(received, sent);
    CloseHandle(port);
}

constexpr DWORD kReceiveQueue = 4096;  // a serial port's input queue

TEST_F(ComPortTest, BytesNoReadAskedForWaitInTheInputQueue)
{
    hw::AdapterModel& adapter = Plug("QTR0001");
    Firmware(adapter).Port(0).PlugLoopback();
    // Without a handshake nothing holds the writer back: the input queue and
    // the adapter's receive ring hold 4096 + 1023 bytes for a program that
    // writes before it reads.
    HANDLE port = OpenWithLine(3, 921600, false);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    std::vector<UCHAR> sent(5000);
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<UCHAR>(i * 13 + (i >> 9));
    DWORD written = 0;
    ASSERT_TRUE(Transfer(port, true, sent.data(), static_cast<DWORD>(sent.size()), &written));
    machine().Advance(2 * kTicksPerSecond);
    std::vector<UCHAR> received(sent.size());
    COMMTIMEOUTS total = {0, 0, 2000, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &total));
    DWORD got = 0;
    ASSERT_TRUE(Transfer(port, false, received.data(), static_cast<DWORD>(received.size()), &got));
    EXPECT_EQ(got, sent.size());
    EXPECT_EQ(received, sent);

    // A purge empties the queue.
    ASSERT_TRUE(Transfer(port, true, sent.data(), 1000, &written));
    machine().Advance(100 * kTicksPerMillisecond);
    ASSERT_TRUE(PurgeComm(port, PURGE_RXCLEAR));
    COMMTIMEOUTS immediate = {MAXULONG, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &immediate));
    ASSERT_TRUE(Transfer(port, false, received.data(), 1000, &got));
    EXPECT_EQ(got, 0u);
    CloseHandle(port);
}

TEST_F(ComPortTest, AWriteTheLineHoldsBackEndsAtItsTotalTimeOutWithWhatWentOut)
{
    Plug("QTR0001");
    // Nothing plugged in: CTS stays off and the handshake holds the line.
    HANDLE port = OpenWithLine(3, 115200, true);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    std::vector<UCHAR> data(4000, 'w');
    COMMTIMEOUTS timeouts = {0, 0, 0, 1, 100};  // 1 ms a byte plus 100 ms
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    const Ticks before = machine().Now();
    DWORD written = 0;
    // A time-out is a success with fewer bytes, as on Windows.
    ASSERT_TRUE(Transfer(port, true, data.data(), static_cast<DWORD>(data.size()), &written));
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, data.size());
    EXPECT_GE(machine().Now() - before, 4100 * kTicksPerMillisecond);
    EXPECT_LT(machine().Now() - before, 4200 * kTicksPerMillisecond);

    // Without write time-outs it waits until something gives way.
    COMMTIMEOUTS none = {0, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &none));
    {
        OverlappedTransfer write(port, true, data.data(), static_cast<DWORD>(data.size()));
        ASSERT_EQ(write.StartError(), static_cast<DWORD>(ERROR_IO_PENDING));
        machine().Advance(10 * kTicksPerSecond);
        EXPECT_EQ(write.Finish(false, &written), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
        EXPECT_TRUE(PurgeComm(port, PURGE_TXABORT));
        EXPECT_EQ(write.Finish(true, &written), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    }
    CloseHandle(port);
}

TEST_F(ComPortTest, ReadTimeOutsReturnWhatArrived)
{
    hw::AdapterModel& adapter = Plug("QTR0001");
    Firmware(adapter).Port(0).PlugLoopback();
    HANDLE port = OpenWithLine(3, 115200, false);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    UCHAR buffer[16];
    DWORD got = 99;

    COMMTIMEOUTS immediate = {MAXULONG, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &immediate));
    ASSERT_TRUE(Transfer(port, false, buffer, sizeof buffer, &got));
    EXPECT_EQ(got, 0u);

    COMMTIMEOUTS total = {0, 0, 200, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &total));
    COMMTIMEOUTS back = {};
    ASSERT_TRUE(GetCommTimeouts(port, &back));
    EXPECT_EQ(back.ReadTotalTimeoutConstant, 200u);
    DWORD written = 0;
    ASSERT_TRUE(Transfer(port, true, const_cast<char*>("abc"), 3, &written));
    const Ticks before = machine().Now();
    ASSERT_TRUE(Transfer(port, false, buffer, sizeof buffer, &got));
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(std::memcmp(buffer, "abc", 3), 0);
    EXPECT_GE(machine().Now() - before, 190 * kTicksPerMillisecond);

    // Any byte ends the wait at once; none within the constant is a time-out.
    COMMTIMEOUTS anyByte = {MAXULONG, MAXULONG, 500, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &anyByte));
    ASSERT_TRUE(Transfer(port, true, const_cast<char*>("z"), 1, &written));
    ASSERT_TRUE(Transfer(port, false, buffer, sizeof buffer, &got));
    EXPECT_EQ(got, 1u);
    ASSERT_TRUE(Transfer(port, false, buffer, sizeof buffer, &got));
    EXPECT_EQ(got, 0u);

    COMMTIMEOUTS invalid = {MAXULONG, MAXULONG, MAXULONG, 0, 0};
    EXPECT_FALSE(SetCommTimeouts(port, &invalid));
    CloseHandle(port);
}

TEST_F(ComPortTest, ClosingEmptiesTheRingsAndPurgeAbortsPendingReads)
{
    hw::AdapterModel& adapter = Plug("QTR0001");
    Firmware(adapter).Port(2).PlugLoopback();
    HANDLE port = OpenWithLine(5, 921600, false);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    // The port's input queue takes 4096 unread bytes; the rest stays in the
    // adapter's receive ring.
    const std::vector<UCHAR> fill(kReceiveQueue + 6, 'u');
    DWORD written = 0;
    ASSERT_TRUE(Transfer(port, true, const_cast<UCHAR*>(fill.data()), static_cast<DWORD>(fill.size()), &written));
    machine().Advance(200 * kTicksPerMillisecond);
    machine().RunUntilQuiet();
    const PortRecord& record = Extension(adapter)->ports[2];
    EXPECT_EQ(ByteRingCount(record.receiveRing), 6u);

    EXPECT_TRUE(PurgeComm(port, PURGE_RXCLEAR));
    EXPECT_EQ(ByteRingCount(record.receiveRing), 0u);
    {
        UCHAR buffer[8];
        OverlappedTransfer read(port, false, buffer, sizeof buffer);
        ASSERT_EQ(read.StartError(), static_cast<DWORD>(ERROR_IO_PENDING));
        EXPECT_TRUE(PurgeComm(port, PURGE_RXABORT));
        DWORD got = 0;
        EXPECT_EQ(read.Finish(true, &got), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    }

    ASSERT_TRUE(Transfer(port, true, const_cast<UCHAR*>(fill.data()), kReceiveQueue + 5, &written));
    machine().Advance(200 * kTicksPerMillisecond);
    machine().RunUntilQuiet();
    EXPECT_EQ(ByteRingCount(record.receiveRing), 5u);
    CloseHandle(port);
    machine().RunUntilQuiet();
    EXPECT_EQ(ByteRingCount(record.receiveRing), 0u);
    EXPECT_EQ(ByteRingCount(record.transmitRing), 0u);
    EXPECT_EQ(record.registers.open, 0);
}

TEST_F(ComPortTest, UnplugFailsAPendingReadAndLeavesNothingBehind)
{
    hw::AdapterModel& adapter = Plug("QTR0001");
    HANDLE port = OpenCom(6);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    UCHAR buffer[8];
    {
        OverlappedTransfer read(port, false, buffer, sizeof buffer);
        ASSERT_EQ(read.StartError(), static_cast<DWORD>(ERROR_IO_PENDING));
        Unplug(adapter);
        DWORD got = 0;
        EXPECT_EQ(read.Finish(true, &got), static_cast<DWORD>(ERROR_DEVICE_REMOVED));
    }
    DWORD written = 0;
    EXPECT_FALSE(Transfer(port, true, buffer, 1, &written));
    CloseHandle(port);
    machine().RunUntilQuiet();
}

TEST_F(ComPortTest, AnOpenPortRefusesEjectAndAnIdleAdapterIsEjected)
{
    hw::AdapterModel& adapter = Plug("QTR0001");
    pnp::DeviceNode* device = machine().Pnp().FindNode(machine().Usb().FunctionPdo(adapter, 0))->Parent();
    HANDLE port = OpenCom(3);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(machine().Pnp().Eject(device), STATUS_DEVICE_BUSY);
    // The cancelled removal left the port in service.
    char byte = 'x';
    DWORD written = 0;
    EXPECT_TRUE(Transfer(port, true, &byte, 1, &written));
    EXPECT_EQ(written, 1u);
    CloseHandle(port);
    // The write's completion may still hold the file: its close comes then.
    machine().RunUntilQuiet();
    EXPECT_EQ(machine().Pnp().Eject(device), STATUS_SUCCESS);
    machine().RunUntilQuiet();
    EXPECT_EQ(OpenCom(3), INVALID_HANDLE_VALUE);
}

}  // namespace
}  // namespace winsim::test

namespace winsim::test {
namespace {

TEST_F(ComPortTest, ARefusedCommStateLeavesThePortAsItWas)
{
    hw::AdapterModel& adapter = Plug("QTR0001");
    HANDLE port = OpenWithLine(3, 9600, false);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    DCB dcb;
    ASSERT_TRUE(GetCommState(port, &dcb));
    // Five data bits with two stop bits: the line control is refused after
    // the baud rate was taken.
    dcb.BaudRate = 115200;
    dcb.ByteSize = 5;
    dcb.StopBits = TWOSTOPBITS;
    EXPECT_FALSE(SetCommState(port, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    ASSERT_TRUE(GetCommState(port, &dcb));
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    machine().RunUntilQuiet();
    EXPECT_EQ(Extension(adapter)->ports[0].baudRate, 9600u);

    dcb.XonChar = dcb.XoffChar;
    EXPECT_FALSE(SetCommState(port, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CloseHandle(port);
}

TEST_F(ComPortTest, APortNameBeyondTheDatabaseNamesNoPort)
{
    ASSERT_TRUE(Store::Instance().SetString(PortInstanceKey("QTR0003", 1) + u"\\Device Parameters", u"PortName",
                                            u"COM4294967316"));
    Plug("QTR0003");
    // The number would wrap to COM20; the port stays without a name instead.
    EXPECT_EQ(OpenCom(20), INVALID_HANDLE_VALUE);
    HANDLE next = OpenCom(3);
    EXPECT_NE(next, INVALID_HANDLE_VALUE);
    CloseHandle(next);
}

class ReceiveFlowTest : public ComPortTest {
protected:
    static constexpr DWORD kStream = 12000;

    void SetUp() override
    {
        ComPortTest::SetUp();
        hw::AdapterModel& writer = Plug("QTR0001");
        hw::AdapterModel& reader = Plug("QTR0002");
        Firmware(writer).Port(0).PlugNullModem(Firmware(reader).Port(0));
        writer_ = OpenCom(3);
        reader_ = OpenCom(7);
        ASSERT_NE(writer_, INVALID_HANDLE_VALUE);
        ASSERT_NE(reader_, INVALID_HANDLE_VALUE);
        sent_.resize(kStream);
        for (size_t i = 0; i < sent_.size(); ++i) sent_[i] = static_cast<UCHAR>(i * 7 + (i >> 8));
    }
    void TearDown() override
    {
        CloseHandle(writer_);
        CloseHandle(reader_);
        ComPortTest::TearDown();
    }

    void SetBothLines(bool rtsCts)
    {
        ASSERT_TRUE(SetLine(writer_, 115200, 8, NOPARITY, ONESTOPBIT, rtsCts));
        ASSERT_TRUE(SetLine(reader_, 115200, 8, NOPARITY, ONESTOPBIT, rtsCts));
    }

    // The writer sends the whole stream while nobody reads for three
    // seconds (the line needs about one); then the reader takes it all.
    void StreamWithTheReaderAsleep()
    {
        OverlappedTransfer write(writer_, true, sent_.data(), kStream);
        ASSERT_EQ(write.StartError(), static_cast<DWORD>(ERROR_IO_PENDING));
        machine().Advance(3 * kTicksPerSecond);
        // Held back: the write cannot have gone out whole.
        DWORD written = 0;
        EXPECT_EQ(write.Finish(false, &written), static_cast<DWORD>(ERROR_IO_INCOMPLETE));

        COMMTIMEOUTS total = {0, 0, 5000, 0, 0};
        ASSERT_TRUE(SetCommTimeouts(reader_, &total));
        std::vector<UCHAR> received(kStream);
        DWORD got = 0;
        ASSERT_TRUE(Transfer(reader_, false, received.data(), kStream, &got));
        ASSERT_EQ(write.Finish(true, &written), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(written, kStream);
        EXPECT_EQ(got, kStream);
        EXPECT_EQ(received, sent_);
    }

    HANDLE writer_ = INVALID_HANDLE_VALUE;
    HANDLE reader_ = INVALID_HANDLE_VALUE;
    std::vector<UCHAR> sent_;
};

TEST_F(ReceiveFlowTest, RtsHandshakeHoldsTheSenderBackUntilTheReaderDrainsItsQueue)
{
    SetBothLines(true);
    StreamWithTheReaderAsleep();
}

TEST_F(ReceiveFlowTest, XoffHoldsTheSenderBackAndXonLetsItGo)
{
    SetBothLines(false);
    DCB dcb;
    ASSERT_TRUE(GetCommState(writer_, &dcb));
    dcb.fOutX = 1;
    ASSERT_TRUE(SetCommState(writer_, &dcb));
    ASSERT_TRUE(GetCommState(reader_, &dcb));
    EXPECT_EQ(dcb.XoffLim, 512);
    EXPECT_EQ(dcb.XonLim, 2048);
    dcb.fInX = 1;
    ASSERT_TRUE(SetCommState(reader_, &dcb));
    StreamWithTheReaderAsleep();
}

TEST_F(ReceiveFlowTest, LimitsBeyondTheInputQueueAreRefused)
{
    DCB dcb;
    ASSERT_TRUE(GetCommState(reader_, &dcb));
    dcb.XoffLim = 5000;
    EXPECT_FALSE(SetCommState(reader_, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
}  // namespace winsim::test
