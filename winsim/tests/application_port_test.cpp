// The firmware's port closing while its service pass is late: what the line
// had time to send by then is sent, what it had not is dropped.
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "common/message_wire.h"
#include "common/port_registers.h"
#include "hw/firmware/application_port.h"
#include "hw/serial/far_ends.h"
#include "hw/serial/serial_lock.h"

namespace winsim::hw {
namespace {

// A firmware whose service loop never gets to run: only the host's
// messages move the port.
class StarvedHost : public PortHost {
public:
    void SendToHost(std::vector<UCHAR>) override {}
    bool HostHasRoom() const override { return true; }
    void WakeService() override {}
    void ServiceSoon() override {}
};

class ApplicationPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Scheduler::Instance().Boot(ClockMode::Virtual);
        attachment_ = new Scheduler::Attachment("test");
        peer_ = &port_.Line().PlugPeer();
        std::lock_guard lk(serial::SerialLock());
        port_.InitializeLocked();
        Configure(true);
    }

    void TearDown() override
    {
        delete attachment_;
        Scheduler::Instance().Shutdown();
    }

    void Configure(bool open)
    {
        ConfigurationPayload payload = {};
        payload.wordLength = kLcrWordLength8;
        payload.baudRate = 9600;
        payload.open = open ? 1 : 0;
        port_.ConfigureLocked(payload);
    }

    void Write(const std::vector<UCHAR>& bytes)
    {
        std::lock_guard lk(serial::SerialLock());
        port_.DataLocked(bytes.data(), static_cast<ULONG>(bytes.size()), false);
    }

    void Close()
    {
        std::lock_guard lk(serial::SerialLock());
        Configure(false);
    }

    std::vector<UCHAR> FarEndGot() const { return peer_->Received(); }

    StarvedHost host_;
    ApplicationPort port_{0, host_};
    serial::ScriptedPeer* peer_ = nullptr;
    Scheduler::Attachment* attachment_ = nullptr;
};

// 9600 baud, 8N1: about 1.04 ms a character.
TEST_F(ApplicationPortTest, ACloseAfterTheLastCharacterTimeSendsWhatTheLateServiceHadNotMoved)
{
    Write({'b', 'y', 'e'});
    Scheduler::Instance().Sleep(10 * kTicksPerMillisecond);
    Close();
    EXPECT_EQ(FarEndGot(), (std::vector<UCHAR>{'b', 'y', 'e'}));
}

TEST_F(ApplicationPortTest, ACloseDropsTheCharactersTheLineHadNoTimeFor)
{
    Write({'b', 'y', 'e'});
    // Two character times: the first two are out, the third is not.
    Scheduler::Instance().Sleep(2 * kTicksPerMillisecond + kTicksPerMillisecond / 2);
    Close();
    EXPECT_EQ(FarEndGot(), (std::vector<UCHAR>{'b', 'y'}));
    Scheduler::Instance().Sleep(10 * kTicksPerMillisecond);
    EXPECT_EQ(FarEndGot(), (std::vector<UCHAR>{'b', 'y'}));
}

}  // namespace
}  // namespace winsim::hw
