// The driver's ports against the emulated application firmware and its
// serial lines: credits, streams at line speed, modem lines, line errors,
// internal loopback, and an adapter pulled out mid-stream.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "adapter_fixture.h"
#include "common/port_registers.h"
#include "common/port_service_table.h"
#include "common/usb_ids.h"
#include "core/message_reads.h"
#include "hw/firmware/application_port.h"
#include "hw/serial/far_ends.h"
#include "hw/serial/serial_port.h"
#include "port_services_client.h"
#include "verifier/fault_injection.h"

namespace driver_test {
namespace {

using winsim::kTicksPerMillisecond;
using winsim::kTicksPerSecond;
using winsim::Ticks;

UCHAR Pattern(size_t i) { return static_cast<UCHAR>((i ^ (i >> 8) ^ (i >> 16)) * 13 + 1); }

// Line time of `bytes` characters of 10 bits.
Ticks LineTicks(size_t bytes, ULONG baud) { return static_cast<Ticks>(bytes * 10 * kTicksPerSecond / baud); }

// One direction of traffic: what goes into one port and comes out of another.
struct Lane {
    PortServicesInterface* from;
    ULONG fromPort;
    PortServicesInterface* to;
    ULONG toPort;
    size_t total;
    size_t sent = 0;
    size_t received = 0;
    size_t wrong = 0;

    bool Done() const { return received >= total; }

    // Writes while the driver takes data, then reads what arrived.
    void Step()
    {
        UCHAR chunk[kPortWriteMax];
        while (sent < total) {
            const ULONG n = static_cast<ULONG>(std::min<size_t>(kPortWriteMax, total - sent));
            for (ULONG i = 0; i < n; ++i) chunk[i] = Pattern(sent + i);
            if (from->writeData(from->context, fromPort, chunk, n) == 0) break;
            sent += n;
        }
        UCHAR buffer[2048];
        for (;;) {
            ULONG length = sizeof(buffer);
            EXPECT_NE(to->readData(to->context, toPort, buffer, &length), 0);
            for (ULONG i = 0; i < length; ++i) {
                if (buffer[i] != Pattern(received + i)) wrong++;
            }
            received += length;
            if (length < sizeof(buffer)) break;
        }
    }
};

class SerialLinesTest : public AdapterTest {
protected:
    // Runs the lanes in steps of 1 ms until all are done or `bound` passed.
    void Run(std::vector<Lane*> lanes, Ticks bound)
    {
        const Ticks deadline = machine().Now() + bound;
        for (;;) {
            bool done = true;
            for (Lane* lane : lanes) {
                lane->Step();
                done = done && lane->Done();
            }
            if (done || machine().Now() >= deadline) return;
            machine().Advance(kTicksPerMillisecond);
        }
    }

    // Bytes waiting in the port's receive ring, read out.
    static std::vector<UCHAR> ReadAll(PortServicesInterface& table, ULONG port)
    {
        std::vector<UCHAR> bytes(2048);
        ULONG length = static_cast<ULONG>(bytes.size());
        EXPECT_NE(table.readData(table.context, port, bytes.data(), &length), 0);
        bytes.resize(length);
        return bytes;
    }
};

TEST_F(SerialLinesTest, StartInitialisesEveryPortWithTheCreditsTheAdapterGrants)
{
    PluggedAdapter adapter = Plug("QTR0001");
    ASSERT_EQ(adapter.control->State(), winsim::pnp::NodeState::kStarted);
    AdapterExtension* extension = Extension(adapter);
    for (const PortRecord& port : extension->ports) {
        EXPECT_EQ(port.credits, static_cast<LONG>(winsim::hw::ApplicationFirmware::kTransmitCredits));
        EXPECT_EQ(port.baudRate, 9600u);
        EXPECT_EQ(port.registers.lineStatus, kLsrInitial);
        EXPECT_EQ(port.registers.modemStatus, 0);  // nothing plugged in
    }
}

// Answers the version request and nothing else, and counts what it is sent.
class VersionOnlyFirmware : public winsim::hw::EndpointHandler {
public:
    explicit VersionOnlyFirmware(winsim::hw::AdapterModel& adapter) : adapter_(adapter) {}
    void OnOut(UCHAR endpoint, const std::vector<UCHAR>& packet) override
    {
        (void)endpoint;
        if (packet.empty()) return;
        if (MessageBaseCode(packet[0]) == kMsgPortInit) portInits[MessagePort(packet[0])]++;
        if (packet[0] == kMsgGetVersion) {
            std::vector<UCHAR> reply = {kMsgVersionText, 0};
            const std::string text = winsim::hw::DefaultApplicationVersion();
            reply.insert(reply.end(), text.begin(), text.end());
            adapter_.QueueIn(0x81, reply);
        }
    }
    ULONG portInits[4] = {};

private:
    winsim::hw::AdapterModel& adapter_;
};

TEST_F(SerialLinesTest, AnAdapterThatNeverGrantsCreditsStartsAfterTenTriesPerPortAndCannotSend)
{
    VersionOnlyFirmware* firmware = nullptr;
    const Ticks before = machine().Now();
    PluggedAdapter adapter = Plug("QTR0001", winsim::hw::DescriptorLayout::Adapter(), [&](winsim::hw::AdapterModel& m) {
        auto owned = std::make_unique<VersionOnlyFirmware>(m);
        firmware = owned.get();
        m.InstallFirmware(std::move(owned));
    });
    EXPECT_EQ(adapter.control->State(), winsim::pnp::NodeState::kStarted);
    for (ULONG port = 0; port < 4; ++port) EXPECT_EQ(firmware->portInits[port], 10u) << port;
    // Ten waits of 10 ms per port.
    EXPECT_GE(machine().Now() - before, 4 * 10 * 10 * kTicksPerMillisecond);

    PortServicesInterface table = BindPortServices(adapter.control->Pdo());
    OpenPortAt(table, 0, 9600);
    const UCHAR data[3] = {1, 2, 3};
    EXPECT_NE(table.writeData(table.context, 0, data, 3), 0);  // held in the ring
    machine().RunUntilQuiet();
    EXPECT_EQ(Extension(adapter)->ports[0].registers.lineStatus & kLsrTransmitEmpty, 0);
    table.dereference(table.context);
}

TEST_F(SerialLinesTest, OneMegabyteThroughALoopbackPlugAt921600ArrivesIntactInOrderAtLineSpeed)
{
    PluggedAdapter adapter = Plug("QTR0001");
    adapter.firmware->Port(0).PlugLoopback();
    PortServicesInterface table = BindPortServices(adapter.control->Pdo());
    OpenPortAt(table, 0, 921600);
    Lane lane{&table, 0, &table, 0, 1 << 20};
    const Ticks start = machine().Now();
    Run({&lane}, 30 * kTicksPerSecond);
    const Ticks elapsed = machine().Now() - start;
    EXPECT_EQ(lane.received, lane.total);
    EXPECT_EQ(lane.wrong, 0u);
    // Paced by the line, and not starved by the protocol.
    EXPECT_GE(elapsed, LineTicks(lane.total, 921600));
    EXPECT_LE(elapsed, LineTicks(lane.total, 921600) * 11 / 10);
    EXPECT_EQ(adapter.firmware->PortState(0).Overruns(), 0u);
    EXPECT_EQ(adapter.firmware->PortState(0).RefusedMessages(), 0u);
    table.dereference(table.context);
}

// A machine that cannot allocate the work item that replaces a completed
// message read does not leave the adapter without reads.
TEST_F(SerialLinesTest, AStreamKeepsFlowingWhileNoWorkItemCanBeAllocated)
{
    PluggedAdapter adapter = Plug("QTR0001");
    adapter.firmware->Port(0).PlugLoopback();
    PortServicesInterface table = BindPortServices(adapter.control->Pdo());
    OpenPortAt(table, 0, 115200);
    Lane lane{&table, 0, &table, 0, 20'000};
    winsim::FaultInjection::FailEvery(winsim::TagFilter::Only({winsim::PoolTag("IoWk")}));
    Run({&lane}, 5 * kTicksPerSecond);
    winsim::FaultInjection::Disarm();
    EXPECT_EQ(lane.received, lane.total);
    EXPECT_EQ(lane.wrong, 0u);
    EXPECT_EQ(Extension(adapter)->standingReads, static_cast<LONG>(kStandingMessageReads));
    table.dereference(table.context);
}

// Four ports at 921600 bring more than the four standing message reads carry
// back; the handshake holds each line back instead of losing bytes.
TEST_F(SerialLinesTest, FourPortsStreamAtOnceWithHandshakeAndLoseNothing)
{
    PluggedAdapter adapter = Plug("QTR0001");
    PortServicesInterface table = BindPortServices(adapter.control->Pdo());
    std::vector<Lane> lanes;
    FlowSettings flow = {};
    flow.handshake = kHandshakeCtsOut;
    for (ULONG port = 0; port < 4; ++port) {
        adapter.firmware->Port(port).PlugLoopback();
        OpenPortAt(table, port, 921600);
        ASSERT_NE(table.setFlowControl(table.context, port, &flow), 0);
        lanes.push_back(Lane{&table, port, &table, port, 200'000});
    }
    Run({&lanes[0], &lanes[1], &lanes[2], &lanes[3]}, 10 * kTicksPerSecond);
    for (const Lane& lane : lanes) {
        EXPECT_EQ(lane.received, lane.total) << lane.fromPort;
        EXPECT_EQ(lane.wrong, 0u) << lane.fromPort;
        EXPECT_EQ(adapter.firmware->PortState(lane.fromPort).Overruns(), 0u) << lane.fromPort;
    }
    table.dereference(table.context);
}

TEST_F(SerialLinesTest, ANullModemCarriesDataAndLinesBetweenTwoAdapters)
{
    PluggedAdapter a = Plug("QTR0001");
    PluggedAdapter b = Plug("QTR0002");
    a.firmware->Port(0).PlugNullModem(b.firmware->Port(3));
    PortServicesInterface ta = BindPortServices(a.control->Pdo());
    PortServicesInterface tb = BindPortServices(b.control->Pdo());
    OpenPortAt(ta, 0, 115200);
    OpenPortAt(tb, 3, 115200);
    machine().RunUntilQuiet();
    // Each side's DTR and RTS show as the other's DSR, DCD and CTS.
    EXPECT_EQ(PortRegistersOf(ta, 0)->modemStatus, kMsrCts | kMsrDsr | kMsrDcd);
    EXPECT_EQ(PortRegistersOf(tb, 3)->modemStatus, kMsrCts | kMsrDsr | kMsrDcd);

    Lane forth{&ta, 0, &tb, 3, 20'000};
    Lane back{&tb, 3, &ta, 0, 20'000};
    Run({&forth, &back}, 10 * kTicksPerSecond);
    EXPECT_EQ(forth.received, forth.total);
    EXPECT_EQ(back.received, back.total);
    EXPECT_EQ(forth.wrong + back.wrong, 0u);

    // B drops RTS: A's CTS goes off.
    PortRegistersOf(tb, 3)->modemControl = kMcrDtr;
    ASSERT_NE(tb.applyConfig(tb.context, 3), 0);
    machine().RunUntilQuiet();
    EXPECT_EQ(PortRegistersOf(ta, 0)->modemStatus, kMsrDsr | kMsrDcd);
    ta.dereference(ta.context);
    tb.dereference(tb.context);
}

TEST_F(SerialLinesTest, DifferentRatesOnTheTwoEndsGiveFramingErrorsAndParityMismatchParityErrors)
{
    PluggedAdapter a = Plug("QTR0001");
    a.firmware->Port(0).PlugNullModem(a.firmware->Port(1));
    a.firmware->Port(2).PlugNullModem(a.firmware->Port(3));
    PortServicesInterface table = BindPortServices(a.control->Pdo());
    OpenPortAt(table, 0, 19200);
    OpenPortAt(table, 1, 9600);
    OpenPortAt(table, 2, 9600, kLcrWordLength8 | 0x18);  // even parity
    OpenPortAt(table, 3, 9600, kLcrWordLength8 | 0x08);  // odd parity
    const UCHAR data[4] = {'a', 'b', 'c', 'd'};
    ASSERT_NE(table.writeData(table.context, 0, data, 4), 0);
    ASSERT_NE(table.writeData(table.context, 2, data, 4), 0);
    machine().Advance(50 * kTicksPerMillisecond);
    machine().RunUntilQuiet();
    EXPECT_EQ(ReadAll(table, 1).size(), 4u);
    EXPECT_EQ(PortRegistersOf(table, 1)->lineStatus & (kLsrFramingError | kLsrParityError), kLsrFramingError);
    EXPECT_EQ(ReadAll(table, 3).size(), 4u);
    EXPECT_EQ(PortRegistersOf(table, 3)->lineStatus & (kLsrFramingError | kLsrParityError), kLsrParityError);
    table.dereference(table.context);
}

TEST_F(SerialLinesTest, AScriptedPeerExchangesTextAndItsLineErrorsReachTheLineStatus)
{
    PluggedAdapter adapter = Plug("QTR0001");
    winsim::hw::serial::ScriptedPeer& peer = adapter.firmware->Port(1).PlugPeer();
    PortServicesInterface table = BindPortServices(adapter.control->Pdo());
    OpenPortAt(table, 1, 38400);
    const std::string hello = "hello, host";
    peer.Feed(std::vector<UCHAR>(hello.begin(), hello.end()));
    const UCHAR answer[3] = {'o', 'k', '\r'};
    ASSERT_NE(table.writeData(table.context, 1, answer, 3), 0);
    machine().Advance(20 * kTicksPerMillisecond);
    machine().RunUntilQuiet();
    const std::vector<UCHAR> got = ReadAll(table, 1);
    EXPECT_EQ(std::string(got.begin(), got.end()), hello);
    EXPECT_EQ(peer.Received(), std::vector<UCHAR>(answer, answer + 3));
    EXPECT_EQ(PortRegistersOf(table, 1)->lineStatus & (kLsrFramingError | kLsrParityError), 0);

    peer.FeedWithError('x', winsim::hw::serial::LineError::Parity);
    machine().Advance(5 * kTicksPerMillisecond);
    machine().RunUntilQuiet();
    EXPECT_EQ(ReadAll(table, 1), std::vector<UCHAR>{'x'});
    EXPECT_EQ(PortRegistersOf(table, 1)->lineStatus & kLsrParityError, kLsrParityError);
    table.dereference(table.context);
}

TEST_F(SerialLinesTest, AWriteWhoseMessageIsRefusedInsideTheSendReturnsAndItsBytesGoOutWithTheNextWrite)
{
    PluggedAdapter adapter = Plug("QTR0001");
    winsim::hw::serial::ScriptedPeer& peer = adapter.firmware->Port(0).PlugPeer();
    PortServicesInterface table = BindPortServices(adapter.control->Pdo());
    OpenPortAt(table, 0, 115200);
    const LONG credits = Extension(adapter)->ports[0].credits;
    ASSERT_GT(credits, 1);
    // Refused at submission with credits to spare: the pass that sent it
    // keeps the bytes and gives the credit back, and the refusal's own
    // completion must not start another pass (it would never end).
    adapter.model->RefuseTransfers(0x01, STATUS_DEVICE_NOT_CONNECTED);
    const UCHAR first[3] = {'a', 'b', 'c'};
    ASSERT_NE(table.writeData(table.context, 0, first, 3), 0);
    EXPECT_EQ(Extension(adapter)->ports[0].credits, credits);
    EXPECT_TRUE(peer.Received().empty());

    adapter.model->RefuseTransfers(0x01, STATUS_SUCCESS);
    const UCHAR second[1] = {'d'};
    ASSERT_NE(table.writeData(table.context, 0, second, 1), 0);
    machine().Advance(5 * kTicksPerMillisecond);
    machine().RunUntilQuiet();
    EXPECT_EQ(peer.Received(), (std::vector<UCHAR>{'a', 'b', 'c', 'd'}));
    table.dereference(table.context);
}

TEST_F(SerialLinesTest, ABreakRequestReachesTheLoopbackAsABreakAndItsEnd)
{
    PluggedAdapter adapter = Plug("QTR0001");
    adapter.firmware->Port(2).PlugLoopback();
    PortServicesInterface table = BindPortServices(adapter.control->Pdo());
    OpenPortAt(table, 2, 9600);
    ULONG breaks = 0;
    bool seen = false;
    struct Watch {
        PortRegisters* registers;
        ULONG* breaks;
        bool* seen;
    } watch{PortRegistersOf(table, 2), &breaks, &seen};
    ASSERT_NE(table.setNotify(table.context, 2,
                              [](uint32_t event, void* context) {
                                  auto* w = static_cast<Watch*>(context);
                                  const bool on = (w->registers->lineStatus & kLsrBreak) != 0;
                                  if (event == kPortEventTransmit && on && !*w->seen) ++*w->breaks;
                                  *w->seen = on;
                              },
                              &watch),
              0);
    PortRegistersOf(table, 2)->lineControl |= kLcrBreakRequest;
    ASSERT_NE(table.applyConfig(table.context, 2), 0);
    EXPECT_EQ(PortRegistersOf(table, 2)->lineControl & kLcrBreakRequest, 0);
    machine().Advance(20 * kTicksPerMillisecond);
    machine().RunUntilQuiet();
    EXPECT_EQ(breaks, 1u);
    EXPECT_EQ(PortRegistersOf(table, 2)->lineStatus & kLsrBreak, 0);  // and it ended
    table.setNotify(table.context, 2, nullptr, nullptr);
    table.dereference(table.context);
}

TEST_F(SerialLinesTest, CtsFlowControlHoldsTheDataUntilTheFarEndRaisesRts)
{
    PluggedAdapter a = Plug("QTR0001");
    a.firmware->Port(0).PlugNullModem(a.firmware->Port(1));
    PortServicesInterface table = BindPortServices(a.control->Pdo());
    OpenPortAt(table, 0, 9600);
    FlowSettings flow = {};
    flow.handshake = kHandshakeCtsOut;
    ASSERT_NE(table.setFlowControl(table.context, 0, &flow), 0);
    // Port 1 stays closed: its RTS is off.
    const UCHAR data[5] = {1, 2, 3, 4, 5};
    ASSERT_NE(table.writeData(table.context, 0, data, 5), 0);
    machine().Advance(50 * kTicksPerMillisecond);
    OpenPortAt(table, 1, 9600);
    EXPECT_TRUE(ReadAll(table, 1).empty());
    machine().Advance(20 * kTicksPerMillisecond);
    machine().RunUntilQuiet();
    EXPECT_EQ(ReadAll(table, 1), std::vector<UCHAR>(data, data + 5));
    table.dereference(table.context);
}

TEST_F(SerialLinesTest, InternalLoopbackReturnsEachPortsDataToItsOwnReceiver)
{
    PluggedAdapter adapter = Plug("QTR0001");
    winsim::hw::serial::ScriptedPeer& peer = adapter.firmware->Port(2).PlugPeer();
    PortServicesInterface table = BindPortServices(adapter.control->Pdo());
    OpenPortAt(table, 0, 9600);
    OpenPortAt(table, 2, 9600);
    Extension(adapter)->transmitAltCode = 1;
    const UCHAR two[2] = {0x22, 0x23};
    const UCHAR zero[1] = {0x00};
    ASSERT_NE(table.writeData(table.context, 2, two, 2), 0);
    ASSERT_NE(table.writeData(table.context, 0, zero, 1), 0);
    machine().Advance(20 * kTicksPerMillisecond);
    machine().RunUntilQuiet();
    EXPECT_EQ(ReadAll(table, 2), std::vector<UCHAR>(two, two + 2));
    EXPECT_EQ(ReadAll(table, 0), std::vector<UCHAR>(zero, zero + 1));
    EXPECT_TRUE(peer.Received().empty());  // nothing went out on the line
    EXPECT_EQ(Extension(adapter)->ports[2].credits,
              static_cast<LONG>(winsim::hw::ApplicationFirmware::kTransmitCredits));
    table.dereference(table.context);
}

TEST_F(SerialLinesTest, NoReceivedByteIsLostWhileTheInPipeIsHeldUpAndTheHostKeepsReading)
{
    PluggedAdapter adapter = Plug("QTR0001");
    winsim::hw::serial::ScriptedPeer& peer = adapter.firmware->Port(0).PlugPeer();
    PortServicesInterface table = BindPortServices(adapter.control->Pdo());
    OpenPortAt(table, 0, 921600);
    FlowSettings flow = {};
    flow.handshake = kHandshakeCtsOut;
    ASSERT_NE(table.setFlowControl(table.context, 0, &flow), 0);
    std::vector<UCHAR> sent(40'000);
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = Pattern(i);
    // The host's message reads make no progress for 100 ms: far more than
    // the adapter's receive FIFO holds arrives meanwhile.
    adapter.model->HoldTransfers(0x81, true);
    peer.Feed(sent);
    machine().Advance(100 * kTicksPerMillisecond);
    adapter.model->HoldTransfers(0x81, false);
    std::vector<UCHAR> got;
    for (int i = 0; i < 2000 && got.size() < sent.size(); ++i) {
        const std::vector<UCHAR> chunk = ReadAll(table, 0);
        got.insert(got.end(), chunk.begin(), chunk.end());
        machine().Advance(kTicksPerMillisecond);
    }
    EXPECT_EQ(got, sent);
    EXPECT_EQ(adapter.firmware->PortState(0).Overruns(), 0u);
    table.dereference(table.context);
}

TEST_F(SerialLinesTest, UnpluggingMidStreamLeavesNoRecordRingOrLateCompletion)
{
    PluggedAdapter adapter = Plug("QTR0001");
    adapter.firmware->Port(0).PlugLoopback();
    PortServicesInterface table = BindPortServices(adapter.control->Pdo());
    OpenPortAt(table, 0, 921600);
    Lane lane{&table, 0, &table, 0, 1 << 20};
    Run({&lane}, 200 * kTicksPerMillisecond);
    EXPECT_GT(lane.received, 0u);
    EXPECT_LT(lane.received, lane.total);
    EXPECT_EQ(lane.wrong, 0u);
    // The fixture finds the pool as it was; ASan finds any late touch.
    Unplug(adapter);
    EXPECT_EQ(Fdo(adapter), nullptr);
    machine().Advance(100 * kTicksPerMillisecond);
}

}  // namespace
}  // namespace driver_test
