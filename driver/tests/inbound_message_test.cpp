// What the driver does with each message the adapter sends.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "common/message_wire.h"
#include "common/port_registers.h"
#include "core/message_reads.h"
#include "core/port_rings.h"
#include "machine/machine.h"
#include "verifier/pool.h"

namespace {

struct Notification {
    ULONG port;
    ULONG event;
};

struct NotifyContext {
    std::vector<Notification>* log;
    ULONG port;
};

void RecordNotification(uint32_t event, void* context)
{
    auto* notify = static_cast<NotifyContext*>(context);
    notify->log->push_back({notify->port, event});
}

class InboundMessageTest : public ::testing::Test {
protected:
    winsim::Machine machine;
    winsim::PoolMark mark = winsim::Pool::Mark();
    std::unique_ptr<AdapterExtension> extension = std::make_unique<AdapterExtension>();
    std::vector<Notification> log;
    NotifyContext contexts[kPortsPerAdapter];

    void SetUp() override
    {
        std::memset(extension.get(), 0, sizeof(AdapterExtension));
        KeInitializeSpinLock(&extension->portLock);
        KeInitializeEvent(&extension->replyEvent, NotificationEvent, FALSE);
        ASSERT_EQ(PortRingsCreate(extension.get()), STATUS_SUCCESS);
        for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
            contexts[port] = {&log, port};
            extension->ports[port].notify = RecordNotification;
            extension->ports[port].notifyContext = &contexts[port];
            extension->ports[port].registers.lineStatus = kLsrInitial;
        }
    }
    void TearDown() override
    {
        PortRingsFree(extension.get());
        EXPECT_TRUE(winsim::Pool::LeaksSince(mark).empty());
    }

    void Receive(std::vector<UCHAR> message)
    {
        HandleInboundMessage(extension.get(), message.data(), static_cast<ULONG>(message.size()));
    }
    PortRecord& Port(ULONG port) { return extension->ports[port]; }
};

TEST_F(InboundMessageTest, DataAddsCreditsStoresBytesAndNotifiesTransmitThenReceive)
{
    Receive({0x11, 2, 'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(Port(1).credits, 2);
    EXPECT_EQ(ByteRingCount(Port(1).receiveRing), 5u);
    EXPECT_EQ(Port(1).registers.lineStatus & kLsrDataReady, kLsrDataReady);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].port, 1u);
    EXPECT_EQ(log[0].event, 1u);
    EXPECT_EQ(log[1].event, 2u);
    UCHAR out[8];
    ASSERT_EQ(ByteRingRead(Port(1).receiveRing, out, sizeof(out)), 5u);
    EXPECT_EQ(std::memcmp(out, "hello", 5), 0);
    EXPECT_EQ(ByteRingCount(Port(0).receiveRing), 0u);
}

TEST_F(InboundMessageTest, ErrorVariantsSetTheirLineStatusBitAndStoreData)
{
    Receive({0x3A, 0, 'x'});  // parity error, port 2
    EXPECT_EQ(Port(2).registers.lineStatus & kLsrParityError, kLsrParityError);
    EXPECT_EQ(ByteRingCount(Port(2).receiveRing), 1u);
    Receive({0x37, 0, 'y'});  // framing error, port 3
    EXPECT_EQ(Port(3).registers.lineStatus & kLsrFramingError, kLsrFramingError);
    // Error bits are never cleared by the driver.
    Receive({0x12, 0, 'z'});
    EXPECT_EQ(Port(2).registers.lineStatus & kLsrParityError, kLsrParityError);
    // Without credits returned, only the receive event.
    ASSERT_EQ(log.size(), 3u);
    for (const Notification& n : log) EXPECT_EQ(n.event, 2u);
}

TEST_F(InboundMessageTest, StatusReplacesModemBitsAndFollowsBreak)
{
    std::vector<UCHAR> status(15, 0);
    status[0] = 0x14;
    status[1] = 1;
    status[3] = 1;   // CTS
    status[5] = 1;   // DSR
    status[14] = 1;  // break
    Receive(status);
    EXPECT_EQ(Port(0).registers.modemStatus, kMsrCts | kMsrDsr);
    EXPECT_EQ(Port(0).registers.lineStatus & kLsrBreak, kLsrBreak);
    EXPECT_EQ(Port(0).credits, 1);
    status[3] = 0;
    status[5] = 0;
    status[4] = 1;  // DCD only
    status[14] = 0;
    status[1] = 0;
    Receive(status);
    EXPECT_EQ(Port(0).registers.modemStatus, kMsrDcd);
    EXPECT_EQ(Port(0).registers.lineStatus & kLsrBreak, 0);
}

TEST_F(InboundMessageTest, ShortStatusOnlyAddsCredits)
{
    Port(2).registers.modemStatus = kMsrRi;
    Receive({0x16, 3});
    EXPECT_EQ(Port(2).credits, 3);
    EXPECT_EQ(Port(2).registers.modemStatus, kMsrRi);
    ASSERT_EQ(log.size(), 1u);  // credits returned
    EXPECT_EQ(log[0].event, 1u);
}

TEST_F(InboundMessageTest, SetCreditsReplacesTheCountWithoutNotifying)
{
    Receive({0x11, 5});
    log.clear();
    Receive({0x19, 2});
    EXPECT_EQ(Port(1).credits, 2);
    EXPECT_TRUE(log.empty());
}

TEST_F(InboundMessageTest, VersionTextIsStoredTerminatedAndReleasesTheReplyWait)
{
    const char text[] = "Boot Ver 1.0.1";
    std::vector<UCHAR> message = {0x40, 0};
    message.insert(message.end(), text, text + sizeof(text) - 1);
    std::memset(extension->firmwareVersion, 'x', sizeof(extension->firmwareVersion));
    Receive(message);
    EXPECT_STREQ(reinterpret_cast<const char*>(extension->firmwareVersion), text);
    EXPECT_EQ(KeReadStateEvent(&extension->replyEvent), 1);
    KeClearEvent(&extension->replyEvent);
    Receive({0x42, 0});
    EXPECT_EQ(KeReadStateEvent(&extension->replyEvent), 1);
}

TEST_F(InboundMessageTest, MalformedMessagesChangeNothing)
{
    Receive({0x11});                     // shorter than a header
    Receive({0x2C, 9, 1, 2});            // unknown code
    Receive(std::vector<UCHAR>(65, 0x10));  // longer than a message
    Receive({0x49, 7});                  // accepted, no action
    for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
        EXPECT_EQ(Port(port).credits, 0);
        EXPECT_EQ(ByteRingCount(Port(port).receiveRing), 0u);
    }
    EXPECT_TRUE(log.empty());
}

TEST_F(InboundMessageTest, ReceiveRingOverflowDropsTheExcessOnly)
{
    std::vector<UCHAR> message(64, 'a');
    message[0] = 0x10;
    message[1] = 0;
    for (int i = 0; i < 20; ++i) Receive(message);  // 20 * 62 = 1240 bytes
    EXPECT_EQ(ByteRingCount(Port(0).receiveRing), 1023u);
}

}  // namespace
