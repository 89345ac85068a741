// The transmit pump of each port entered from several threads at once: the
// port driver's writes, extra runs at DISPATCH_LEVEL as completions make
// them, and the bus thread's own completions and credit returns with the
// re-arm work items behind them. Whatever the interleaving, every byte
// reaches the far end of its line once and in order. Meant for the thread
// sanitizer, where it runs in real time (stress_clock.h); the plain build
// runs a short stream in virtual time.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "adapter_fixture.h"
#include "core/transmit_pump.h"
#include "hw/firmware/application_port.h"
#include "hw/serial/far_ends.h"
#include "hw/serial/serial_port.h"
#include "port_services_client.h"
#include "sched/scheduler.h"
#include "stress_clock.h"
#include "stress_sizes.h"

namespace driver_test {
namespace {

using winsim::kTicksPerMillisecond;
using winsim::kTicksPerMicrosecond;
using winsim::kTicksPerSecond;
using winsim::Scheduler;

constexpr ULONG kPorts = 4;
constexpr ULONG kBaud = 921600;
constexpr ULONG kKickers = 2;

UCHAR StreamByte(ULONG port, size_t i) { return static_cast<UCHAR>((i ^ (i >> 8) ^ (i >> 16)) * 13 + 1 + port * 71); }

// Chunk sizes that vary, so message boundaries fall everywhere.
ULONG ChunkLength(size_t chunk) { return 1 + static_cast<ULONG>(chunk * 37 % kPortWriteMax); }

// Index of the first byte that differs from the stream, or the size when
// `got` is the whole stream.
size_t FirstWrongByte(ULONG port, const std::vector<UCHAR>& got, size_t total)
{
    for (size_t i = 0; i < got.size(); ++i) {
        if (got[i] != StreamByte(port, i)) return i;
    }
    return got.size() == total ? total : got.size();
}

class TransmitPumpStressTest : public AdapterTest {
protected:
    TransmitPumpStressTest() : AdapterTest(StressClock()) {}
};

TEST_F(TransmitPumpStressTest, WritersKickersAndCompletionsTogetherDeliverEveryByteOnceInOrder)
{
    const size_t total = StressSize(8 * 1024, 192 * 1024);
    PluggedAdapter adapter = Plug("QTR0001");
    AdapterExtension* extension = Extension(adapter);
    ASSERT_NE(extension, nullptr);
    std::vector<winsim::hw::serial::ScriptedPeer*> peers;
    for (ULONG port = 0; port < kPorts; ++port) peers.push_back(&adapter.firmware->Port(port).PlugPeer());
    PortServicesInterface table = BindPortServices(adapter.control->Pdo());
    for (ULONG port = 0; port < kPorts; ++port) OpenPortAt(table, port, kBaud);

    // One writer per port, as the port driver is its ring's only writer;
    // every other chunk is written at DISPATCH_LEVEL.
    std::atomic<ULONG> writing{kPorts};
    std::vector<winsim::Thread> threads;
    for (ULONG port = 0; port < kPorts; ++port) {
        threads.push_back(Scheduler::Instance().Spawn("writer", [&, port] {
            UCHAR chunk[kPortWriteMax];
            size_t sent = 0;
            for (size_t n = 0; sent < total; ++n) {
                const ULONG length = static_cast<ULONG>(std::min<size_t>(ChunkLength(n), total - sent));
                for (ULONG i = 0; i < length; ++i) chunk[i] = StreamByte(port, sent + i);
                KIRQL irql = PASSIVE_LEVEL;
                if (n % 2 == 1) KeRaiseIrql(DISPATCH_LEVEL, &irql);
                const bool taken = table.writeData(table.context, port, chunk, length) != 0;
                if (n % 2 == 1) KeLowerIrql(irql);
                if (taken) {
                    sent += length;
                } else {
                    n--;  // the same chunk again once the ring has room
                    Scheduler::Instance().Sleep(100 * kTicksPerMicrosecond);
                }
            }
            writing.fetch_sub(1);
        }));
    }
    // Runs of the pump for every port, as outbound completions make them.
    for (ULONG kicker = 0; kicker < kKickers; ++kicker) {
        threads.push_back(Scheduler::Instance().Spawn("kicker", [&, kicker] {
            while (writing.load() != 0) {
                for (ULONG port = 0; port < kPorts; ++port) {
                    KIRQL irql;
                    KeRaiseIrql(DISPATCH_LEVEL, &irql);
                    TransmitPumpRun(extension, (port + kicker) % kPorts);
                    KeLowerIrql(irql);
                }
                Scheduler::Instance().Sleep((30 + 20 * kicker) * kTicksPerMicrosecond);
            }
        }));
    }
    for (winsim::Thread& thread : threads) thread.Join();

    // The last bytes leave at line speed.
    const winsim::Ticks deadline = machine().Now() + 2 * kTicksPerSecond;
    auto allArrived = [&] {
        for (auto* peer : peers) {
            if (peer->Received().size() < total) return false;
        }
        return true;
    };
    while (!allArrived() && machine().Now() < deadline) machine().Advance(kTicksPerMillisecond);
    // The firmware's next service pass reports the last credits.
    machine().Advance(20 * kTicksPerMillisecond);
    machine().RunUntilQuiet();

    for (ULONG port = 0; port < kPorts; ++port) {
        const std::vector<UCHAR> got = peers[port]->Received();
        EXPECT_EQ(got.size(), total) << "port " << port;
        EXPECT_EQ(FirstWrongByte(port, got, total), total) << "port " << port << ": lost, doubled or reordered";
        // Nothing was sent without a credit, and every credit came back.
        EXPECT_EQ(adapter.firmware->PortState(port).RefusedMessages(), 0u) << port;
        EXPECT_EQ(extension->ports[port].credits, static_cast<LONG>(winsim::hw::ApplicationFirmware::kTransmitCredits))
            << port;
        EXPECT_NE(PortRegistersOf(table, port)->lineStatus & kLsrTransmitEmpty, 0) << port;
    }
    table.dereference(table.context);
}

}  // namespace
}  // namespace driver_test
