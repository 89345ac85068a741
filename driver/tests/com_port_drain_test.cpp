// What a port still has to send: closing lets it leave the adapter first,
// and ClearCommError counts it, with the input queue, the handshake that
// holds the line and the errors the line reported.
#include <vector>

#include "com_port_fixture.h"

namespace winsim::test {
namespace {

constexpr Ticks kMillisecond = kTicksPerMillisecond;
// 8N1 at 9600 baud: ten bits a character.
constexpr Ticks kCharacter9600 = 10 * kTicksPerSecond / 9600;

std::vector<UCHAR> Pattern(size_t length)
{
    std::vector<UCHAR> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<UCHAR>(i * 11 + (i >> 7));
    return bytes;
}

COMSTAT StatusOf(HANDLE port, DWORD* errors)
{
    COMSTAT status = {};
    EXPECT_TRUE(ClearCommError(port, errors, &status));
    return status;
}

class TwoPortsTest : public ComPortTest {
protected:
    void SetUp() override
    {
        ComPortTest::SetUp();
        hw::AdapterModel& writer = Plug("QTR0001");
        hw::AdapterModel& reader = Plug("QTR0002");
        Firmware(writer).Port(0).PlugNullModem(Firmware(reader).Port(0));
    }
};

TEST_F(TwoPortsTest, ClosingLetsWhatWasWrittenLeaveTheAdapterFirst)
{
    HANDLE reader = OpenWithLine(7, 9600, false);
    HANDLE writer = OpenWithLine(3, 9600, false);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    // The adapter's FIFO and the driver's ring take it all at once: the
    // write ends long before the line has sent it.
    const std::vector<UCHAR> sent = Pattern(520);
    DWORD written = 0;
    const Ticks start = machine().Now();
    ASSERT_TRUE(Transfer(writer, true, const_cast<UCHAR*>(sent.data()), static_cast<DWORD>(sent.size()), &written));
    ASSERT_EQ(written, sent.size());
    EXPECT_LT(machine().Now() - start, 100 * kMillisecond);

    CloseHandle(writer);
    const Ticks closed = machine().Now() - start;
    EXPECT_GE(closed, static_cast<Ticks>(sent.size()) * kCharacter9600);
    EXPECT_LT(closed, static_cast<Ticks>(sent.size()) * kCharacter9600 + 100 * kMillisecond);

    COMMTIMEOUTS total = {0, 0, 1000, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(reader, &total));
    std::vector<UCHAR> received(sent.size());
    DWORD got = 0;
    ASSERT_TRUE(Transfer(reader, false, received.data(), static_cast<DWORD>(received.size()), &got));
    EXPECT_EQ(got, sent.size());
    EXPECT_EQ(received, sent);
    CloseHandle(reader);
}

TEST_F(ComPortTest, ACloseOnAHeldLineWaitsForItOnlySoLong)
{
    Plug("QTR0001");
    // Nothing plugged in: CTS stays off and the handshake holds the line.
    HANDLE port = OpenWithLine(3, 9600, true);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    std::vector<UCHAR> data = Pattern(100);
    DWORD written = 0;
    ASSERT_TRUE(Transfer(port, true, data.data(), static_cast<DWORD>(data.size()), &written));
    machine().Advance(2 * kTicksPerSecond);
    DWORD errors = 0;
    const COMSTAT held = StatusOf(port, &errors);
    EXPECT_EQ(held.fCtsHold, 1u);
    // Nothing left while the line was held.
    EXPECT_EQ(held.cbOutQue, data.size());

    const Ticks start = machine().Now();
    CloseHandle(port);
    const Ticks closed = machine().Now() - start;
    // The held line gets the bytes' own line time, then they are dropped.
    EXPECT_GE(closed, static_cast<Ticks>(data.size()) * kCharacter9600);
    EXPECT_LT(closed, static_cast<Ticks>(data.size()) * kCharacter9600 + 20 * kMillisecond);
}

TEST_F(ComPortTest, CommStatusCountsWhatWaitsToGoAndWhatCameIn)
{
    hw::AdapterModel& adapter = Plug("QTR0001");
    Firmware(adapter).Port(1).PlugLoopback();
    HANDLE port = OpenWithLine(4, 9600, true);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    machine().RunUntilQuiet();
    DWORD errors = 0;
    const COMSTAT idle = StatusOf(port, &errors);
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(idle.fCtsHold, 0u);  // RTS looped to CTS
    EXPECT_EQ(idle.cbInQue, 0u);
    EXPECT_EQ(idle.cbOutQue, 0u);

    std::vector<UCHAR> data = Pattern(300);
    DWORD written = 0;
    ASSERT_TRUE(Transfer(port, true, data.data(), static_cast<DWORD>(data.size()), &written));
    machine().Advance(100 * kMillisecond);
    // About 96 characters went in 100 ms; the rest is still on its way.
    const COMSTAT sending = StatusOf(port, &errors);
    EXPECT_GT(sending.cbOutQue, 180u);
    EXPECT_LT(sending.cbOutQue, 220u);
    EXPECT_GT(sending.cbInQue, 80u);
    EXPECT_LT(sending.cbInQue, 120u);

    machine().Advance(kTicksPerSecond);
    const COMSTAT done = StatusOf(port, &errors);
    EXPECT_EQ(done.cbOutQue, 0u);
    EXPECT_EQ(done.cbInQue, data.size());
    CloseHandle(port);
}

TEST_F(ComPortTest, CommStatusCountsAWriteStillQueued)
{
    Plug("QTR0001");
    HANDLE port = OpenWithLine(3, 9600, true);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    std::vector<UCHAR> data = Pattern(2000);
    {
        OverlappedTransfer write(port, true, data.data(), static_cast<DWORD>(data.size()));
        ASSERT_EQ(write.StartError(), static_cast<DWORD>(ERROR_IO_PENDING));
        machine().Advance(kTicksPerSecond);
        DWORD errors = 0;
        EXPECT_EQ(StatusOf(port, &errors).cbOutQue, data.size());
        EXPECT_TRUE(PurgeComm(port, PURGE_TXABORT));
        DWORD done = 0;
        EXPECT_EQ(write.Finish(true, &done), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
        // What the adapter took still counts.
        EXPECT_EQ(StatusOf(port, &errors).cbOutQue, done);
    }
    CloseHandle(port);
}

TEST_F(TwoPortsTest, LineErrorsAreReportedOnceEach)
{
    HANDLE reader = OpenWithLine(7, 9600, false);
    HANDLE writer = OpenCom(3);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    // Parity the reader does not expect.
    ASSERT_TRUE(SetLine(writer, 9600, 8, ODDPARITY, ONESTOPBIT, false));
    ASSERT_TRUE(SetLine(reader, 9600, 8, EVENPARITY, ONESTOPBIT, false));
    std::vector<UCHAR> data = Pattern(10);
    DWORD written = 0;
    ASSERT_TRUE(Transfer(writer, true, data.data(), static_cast<DWORD>(data.size()), &written));
    machine().Advance(100 * kMillisecond);
    DWORD errors = 0;
    EXPECT_EQ(StatusOf(reader, &errors).cbInQue, data.size());
    EXPECT_EQ(errors, static_cast<DWORD>(CE_RXPARITY));
    StatusOf(reader, &errors);
    EXPECT_EQ(errors, 0u);

    // A baud rate the reader does not expect.
    ASSERT_TRUE(SetLine(writer, 19200, 8, EVENPARITY, ONESTOPBIT, false));
    ASSERT_TRUE(Transfer(writer, true, data.data(), static_cast<DWORD>(data.size()), &written));
    machine().Advance(100 * kMillisecond);
    StatusOf(reader, &errors);
    EXPECT_EQ(errors, static_cast<DWORD>(CE_FRAME));
    CloseHandle(writer);
    CloseHandle(reader);
}

}  // namespace
}  // namespace winsim::test
