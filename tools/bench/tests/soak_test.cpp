// A day of virtual time on several adapters at once: plugging, unplugging,
// ejecting, firmware updates, configuration changes, sleep, and traffic
// through loopback plugs with every byte checked. At the end every adapter
// is out and the pool holds what it held before the first plug.
#include <cstdint>
#include <map>
#include <regex>

#include "bench_test.h"
#include "script_values.h"

namespace bench {
namespace {

constexpr int kHours = 24;
constexpr int kRoundsPerHour = 3;
constexpr const char* kAdapters[] = {"SOAK0", "SOAK1", "SOAK2"};
constexpr const char* kOutdated = "firmware=\"app:Oct 01 2013 10:00:00 Ver 1.0.700\"";

// The same day every run.
class Dice {
public:
    unsigned Roll(unsigned sides)
    {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<unsigned>(state_ >> 33) % sides;
    }

private:
    uint64_t state_ = 0x5eed;
};

struct AdapterState {
    bool in = false;
    bool ejected = false;
    std::string coms;  // "3,4,5,6" once known
};

class SoakTest : public BenchTest {
protected:
    Dice dice;
    std::map<std::string, AdapterState> adapters;
    uint64_t bytesChecked = 0;
    std::map<std::string, int> done;  // how often each kind of step ran

    void Plug(const std::string& name, bool outdated)
    {
        AdapterState& state = adapters[name];
        const std::string printed = Run("plug " + name + (outdated ? std::string(" ") + kOutdated : ""));
        ASSERT_TRUE(last) << printed;
        std::smatch m;
        static const std::regex ports("adapter " + std::string("(\\w+)") + " slot=\\d+ com=([\\d,]+)\n");
        ASSERT_TRUE(std::regex_search(printed, m, ports)) << printed;
        // The port driver keeps each port's COM number for the adapter.
        if (!state.coms.empty()) {
            EXPECT_EQ(m[2].str(), state.coms) << printed;
        }
        state.coms = m[2];
        if (outdated) {
            const std::string twice = "adapter " + name + " restarted\nadapter " + name + " restarted\n";
            EXPECT_NE(printed.find(twice), std::string::npos) << printed;
        }
        state.in = true;
        state.ejected = false;
        ++done[outdated ? "update" : "plug"];
    }

    std::string Com(const std::string& name, unsigned port)
    {
        const std::string& coms = adapters[name].coms;
        size_t at = 0;
        for (unsigned i = 0; i < port; ++i) at = coms.find(',', at) + 1;
        return "COM" + coms.substr(at, coms.find(',', at) - at);
    }

    // A burst through one port's loopback plug, read back and compared.
    void Stream(const std::string& name, unsigned port, bool leaveOpen)
    {
        const std::string com = Com(name, port);
        Run("line " + name + " " + std::to_string(port + 1) + " loopback");
        ASSERT_EQ(Run("open " + com), "open " + com + " ok\n");
        ASSERT_EQ(Run("comm " + com + " baud=921600 rtscts=on"), "comm " + com + " ok\n");
        const unsigned length = 64 + dice.Roll(900);
        std::vector<uint8_t> data(length);
        for (uint8_t& byte : data) byte = static_cast<uint8_t>(dice.Roll(256));
        std::string hex = "hex:";
        for (uint8_t byte : data) {
            static const char digits[] = "0123456789abcdef";
            hex += digits[byte >> 4];
            hex += digits[byte & 15];
        }
        EXPECT_EQ(Run("write " + com + " " + hex), "write " + com + " " + std::to_string(length) + "\n");
        EXPECT_EQ(Run("read " + com + " " + std::to_string(length) + " timeout=2s"),
                  "read " + com + " " + std::to_string(length) + " " + FormatBytes(data.data(), data.size()) + "\n");
        bytesChecked += length;
        ++done["stream"];
        if (!leaveOpen) {
            EXPECT_EQ(Run("close " + com), "close " + com + " ok\n");
        }
    }

    void Step(const std::string& name)
    {
        AdapterState& state = adapters[name];
        const unsigned roll = dice.Roll(10);
        if (!state.in || state.ejected) {
            if (roll < 7) Plug(name, roll < 2);
            return;
        }
        switch (roll) {
        case 0:
            EXPECT_EQ(Run("unplug " + name), "unplugged " + name + "\n");
            state.in = false;
            ++done["unplug"];
            break;
        case 1:
            EXPECT_EQ(Run("eject " + name), "ejected " + name + "\n");
            state.ejected = true;
            ++done["eject"];
            break;
        case 2: {
            // Pulled out in the middle of use: the open port's handle is
            // closed after the adapter has gone.
            Stream(name, dice.Roll(4), true);
            EXPECT_EQ(Run("unplug " + name), "unplugged " + name + "\n");
            state.in = false;
            for (unsigned port = 0; port < 4; ++port) Run("close " + Com(name, port));
            ++done["unplug in use"];
            break;
        }
        case 3: {
            // A setting every port keeps; the adapter restarts to apply it.
            const std::string printed = Run("setconfig 0 " + std::to_string(dice.Roll(4)) +
                                            " txTiming=" + std::to_string(dice.Roll(2)));
            EXPECT_TRUE(last) << printed;
            ++done["setconfig"];
            break;
        }
        default:
            Stream(name, dice.Roll(4), false);
            break;
        }
    }
};

TEST_F(SoakTest, ADayOfUseOnThreeAdaptersLosesNoByteAndLeavesNothingBehind)
{
    const std::string before = PoolTotal();
    const winsim::Ticks start = session.Machine().Sim().Now();
    for (int hour = 0; hour < kHours; ++hour) {
        for (int round = 0; round < kRoundsPerHour; ++round) {
            for (const char* name : kAdapters) Step(name);
            ASSERT_FALSE(HasFatalFailure()) << "hour " << hour;
            Run("wait 20m");
        }
        if (hour % 6 == 5) {
            // The other adapters stream at full rate while these stay plugged.
            const std::string printed = Run("throughput adapters=2 ports=2 seconds=1");
            EXPECT_NE(printed.find(" lost=0 corrupt=0 "), std::string::npos) << printed;
            EXPECT_EQ(Run("sleep S3"), "sleep S3\n");
            EXPECT_EQ(Run("wait 1h"), "");
            EXPECT_EQ(Run("wake"), "wake S0\n");
        }
    }
    for (const char* name : kAdapters) {
        if (adapters[name].in) Run(std::string("unplug ") + name);
    }
    EXPECT_GE(session.Machine().Sim().Now() - start, kHours * 3600 * winsim::kTicksPerSecond);
    EXPECT_GT(bytesChecked, 50'000u);
    for (const char* kind : {"plug", "update", "unplug", "eject", "unplug in use", "setconfig", "stream"}) {
        EXPECT_GE(done[kind], 3) << kind;
        RecordProperty(kind, done[kind]);
    }
    RecordProperty("bytes checked", std::to_string(bytesChecked));
    EXPECT_EQ(PoolTotal(), before);
}

}  // namespace
}  // namespace bench
