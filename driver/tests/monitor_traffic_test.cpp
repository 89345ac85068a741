// The line monitor on real traffic: eight ports of two adapters streaming
// through loopback plugs while a reader fetches every millisecond. A reader
// that keeps up sees every byte of every port in both directions and no
// mark; one that pauses past a full ring sees the mark where it lost.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "adapter_fixture.h"
#include "common/control_codes.h"
#include "common/port_registers.h"
#include "common/port_service_table.h"
#include "hw/serial/serial_port.h"
#include "pnp/pnp_irp.h"
#include "services/monitor.h"

namespace driver_test {
namespace {

using winsim::kTicksPerMillisecond;

const GUID kPortServices = QTR_PORT_SERVICES_GUID_INIT;

UCHAR Pattern(ULONG com, size_t i) { return static_cast<UCHAR>(i * 7 + (i >> 8) + com * 31); }

struct Port {
    PortServicesInterface* table;
    ULONG port;
    ULONG com;
    size_t sent = 0;
    size_t received = 0;
};

// One direction of one COM number as the monitor shows it.
struct Seen {
    std::vector<UCHAR> bytes;
};

class MonitorTrafficTest : public AdapterTest {
protected:
    std::vector<PortServicesInterface> tables = std::vector<PortServicesInterface>(2);
    std::vector<Port> ports;
    std::map<std::pair<ULONG, ULONG>, Seen> seen;  // (com, kind)
    size_t records = 0;
    size_t marks = 0;

    void SetUp() override
    {
        AdapterTest::SetUp();
        for (ULONG a = 0; a < 2; ++a) {
            PluggedAdapter adapter = Plug(a == 0 ? "QTR7000" : "QTR7001");
            PortServicesInterface& table = tables[a];
            table.size = kPortServicesSize;
            table.version = kPortServicesVersion;
            ASSERT_EQ(winsim::pnp::SendPnpIrp(adapter.control->Pdo(), IRP_MN_QUERY_INTERFACE,
                                              [&](IO_STACK_LOCATION& location) {
                                                  auto& query = location.Parameters.QueryInterface;
                                                  query.InterfaceType = &kPortServices;
                                                  query.Size = kPortServicesSize;
                                                  query.Version = kPortServicesVersion;
                                                  query.Interface = reinterpret_cast<PINTERFACE>(&table);
                                                  query.InterfaceSpecificData = nullptr;
                                              }),
                      STATUS_SUCCESS);
            for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
                adapter.firmware->Port(port).PlugLoopback();
                PortRegistration registration = {};
                registration.comNumber = 10 + a * kPortsPerAdapter + port;
                ASSERT_NE(table.registerPort(table.context, port, &registration), 0);
                PortRegisters* registers = nullptr;
                ASSERT_NE(table.getRegisters(table.context, port, &registers), 0);
                registers->open = 1;
                registers->modemControl = kMcrDtr | kMcrRts;
                registers->lineControl = kLcrWordLength8;
                FlowSettings flow = {};
                flow.handshake = kHandshakeCtsOut;
                ASSERT_NE(table.setFlowControl(table.context, port, &flow), 0);
                ASSERT_NE(table.setBaudRate(table.context, port, 921600, 1), 0);
                ports.push_back(Port{&table, port, registration.comNumber});
            }
        }
        machine().RunUntilQuiet();
        MonitorStart();
    }
    void TearDown() override
    {
        MonitorStop();
        for (PortServicesInterface& table : tables) table.dereference(table.context);
        AdapterTest::TearDown();
    }

    // Feeds every port and drains what came back, for one millisecond.
    void Step(size_t perPort)
    {
        for (Port& p : ports) {
            UCHAR chunk[kPortWriteMax];
            while (p.sent < perPort) {
                const ULONG n = static_cast<ULONG>(std::min<size_t>(kPortWriteMax, perPort - p.sent));
                for (ULONG i = 0; i < n; ++i) chunk[i] = Pattern(p.com, p.sent + i);
                if (p.table->writeData(p.table->context, p.port, chunk, n) == 0) break;
                p.sent += n;
            }
            UCHAR buffer[2048];
            ULONG length = sizeof(buffer);
            ASSERT_NE(p.table->readData(p.table->context, p.port, buffer, &length), 0);
            for (ULONG i = 0; i < length; ++i) ASSERT_EQ(buffer[i], Pattern(p.com, p.received + i));
            p.received += length;
        }
        machine().Advance(kTicksPerMillisecond);
    }
    bool AllDone(size_t perPort) const
    {
        for (const Port& p : ports) {
            if (p.received < perPort) return false;
        }
        return true;
    }
    // One fetch of up to 102 records, as fast as the reader asks.
    size_t Fetch()
    {
        std::vector<UCHAR> buffer(kMonitorFetchMaxRecords * sizeof(MonitorRecord));
        const ULONG bytes = MonitorFetch(buffer.data(), static_cast<ULONG>(buffer.size()));
        for (ULONG offset = 0; offset < bytes; offset += sizeof(MonitorRecord)) {
            MonitorRecord record;
            std::memcpy(&record, buffer.data() + offset, sizeof(record));
            Seen& s = seen[{record.comNumber, record.kind}];
            s.bytes.insert(s.bytes.end(), record.data + 1, record.data + record.length);
            marks += record.overrun;
            ++records;
        }
        return bytes / sizeof(MonitorRecord);
    }
    void FetchAll()
    {
        while (Fetch() != 0) {
        }
    }
    // Every byte of every port in both directions, in order.
    void ExpectEverything()
    {
        for (const Port& p : ports) {
            for (ULONG kind : {kMonitorKindSent, kMonitorKindReceived}) {
                const std::vector<UCHAR>& bytes = seen[{p.com, kind}].bytes;
                ASSERT_EQ(bytes.size(), kind == kMonitorKindSent ? p.sent : p.received) << p.com << " " << kind;
                for (size_t i = 0; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], Pattern(p.com, i)) << p.com;
            }
        }
    }
};

TEST_F(MonitorTrafficTest, AReaderThatKeepsUpSeesEveryByteAndNoMark)
{
    constexpr size_t kPerPort = 30'000;
    for (int ms = 0; ms < 5000 && !AllDone(kPerPort); ++ms) {
        Step(kPerPort);
        Fetch();
    }
    ASSERT_TRUE(AllDone(kPerPort));
    machine().RunUntilQuiet();
    FetchAll();
    EXPECT_EQ(marks, 0u);
    ExpectEverything();
    EXPECT_GT(records, 8u * 2 * kPerPort / kPortWriteMax);
}

TEST_F(MonitorTrafficTest, APauseLongerThanTheRingHoldsIsMarkedOnTheOldestRecordLeft)
{
    constexpr size_t kPerPort = 60'000;
    int ms = 0;
    for (; ms < 100; ++ms) {
        Step(kPerPort);
        Fetch();
    }
    ASSERT_EQ(marks, 0u);
    const size_t before = records;
    // No reading for 200 ms: far more than 999 records arrive.
    for (int pause = 0; pause < 200; ++pause) Step(kPerPort);
    const size_t first = Fetch();
    ASSERT_GT(first, 0u);
    EXPECT_EQ(marks, 1u) << "the first record after the loss carries the mark";
    for (; ms < 5000 && !AllDone(kPerPort); ++ms) {
        Step(kPerPort);
        Fetch();
    }
    machine().RunUntilQuiet();
    FetchAll();
    EXPECT_EQ(marks, 1u);
    EXPECT_GT(records, before);
    // Something was lost, and only then.
    size_t shown = 0;
    size_t moved = 0;
    for (const Port& p : ports) {
        shown += seen[{p.com, kMonitorKindSent}].bytes.size() + seen[{p.com, kMonitorKindReceived}].bytes.size();
        moved += p.sent + p.received;
    }
    EXPECT_LT(shown, moved);
}

}  // namespace
}  // namespace driver_test
