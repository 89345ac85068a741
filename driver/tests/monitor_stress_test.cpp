// Many adders on many threads against fetching readers, without a lock:
// every record comes out whole and once, in each adder's order, and losses
// are marked exactly where they happened. Meant for the thread sanitizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "machine/machine.h"
#include "sched/scheduler.h"
#include "services/monitor.h"
#include "verifier/pool.h"

namespace {

constexpr ULONG kAdders = 8;

// Payload of record `seq` of adder `adder`: the adder, the number, and a
// pattern that shows a torn copy.
ULONG PayloadLength(ULONG seq) { return 5 + seq % 58; }

void MakePayload(ULONG adder, ULONG seq, UCHAR* out)
{
    out[0] = static_cast<UCHAR>(adder);
    std::memcpy(out + 1, &seq, sizeof(seq));
    for (ULONG i = 5; i < PayloadLength(seq); ++i) out[i] = static_cast<UCHAR>(seq * 7 + i + adder);
}

struct Seen {
    ULONG adder;
    ULONG seq;
    bool overrun;
};

class MonitorStressTest : public ::testing::Test {
protected:
    winsim::Machine machine;
    winsim::PoolMark mark = winsim::Pool::Mark();
    std::vector<std::unique_ptr<AdapterExtension>> extensions;
    AdapterEntry entries[kAdders / kPortsPerAdapter] = {};

    void SetUp() override
    {
        // Two adapters of four ports each; adder a feeds port a % 4 of
        // adapter a / 4, whose COM number is 10 + a.
        for (ULONG adapter = 0; adapter < kAdders / kPortsPerAdapter; ++adapter) {
            auto extension = std::make_unique<AdapterExtension>();
            std::memset(extension.get(), 0, sizeof(AdapterExtension));
            for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
                entries[adapter].comNumbers[port] = 10 + adapter * kPortsPerAdapter + port;
            }
            extension->adapterEntry = &entries[adapter];
            extensions.push_back(std::move(extension));
        }
        MonitorInitialize();
        MonitorStart();
    }
    void TearDown() override { EXPECT_TRUE(winsim::Pool::LeaksSince(mark).empty()); }

    void AddOne(ULONG adder, ULONG seq)
    {
        UCHAR payload[64];
        MakePayload(adder, seq, payload);
        // Completion routines add at DISPATCH_LEVEL.
        KIRQL irql;
        KeRaiseIrql(DISPATCH_LEVEL, &irql);
        MonitorAdd(extensions[adder / kPortsPerAdapter].get(), adder % kPortsPerAdapter,
                   seq % 2 == 0 ? kMonitorReceived : kMonitorTransmitted, payload, PayloadLength(seq));
        KeLowerIrql(irql);
    }

    // Checks one fetched record and returns who wrote it.
    static Seen Decode(const MonitorRecord& record)
    {
        Seen seen = {record.data[1], 0, record.overrun != 0};
        std::memcpy(&seen.seq, &record.data[2], sizeof(seen.seq));
        EXPECT_LT(seen.adder, kAdders);
        EXPECT_EQ(record.comNumber, 10 + seen.adder);
        EXPECT_EQ(record.kind, seen.seq % 2 == 0 ? kMonitorReceived : kMonitorTransmitted);
        EXPECT_EQ(record.length, PayloadLength(seen.seq) + 1);
        EXPECT_EQ(record.data[0], 0);
        UCHAR expected[64];
        MakePayload(seen.adder, seen.seq, expected);
        EXPECT_EQ(std::memcmp(&record.data[1], expected, PayloadLength(seen.seq)), 0) << "torn record";
        return seen;
    }

    static size_t FetchInto(std::vector<Seen>& out)
    {
        std::vector<UCHAR> buffer(100000);
        ULONG bytes = MonitorFetch(buffer.data(), static_cast<ULONG>(buffer.size()));
        EXPECT_EQ(bytes % sizeof(MonitorRecord), 0u);
        for (ULONG offset = 0; offset < bytes; offset += sizeof(MonitorRecord)) {
            MonitorRecord record;
            std::memcpy(&record, buffer.data() + offset, sizeof(record));
            out.push_back(Decode(record));
        }
        return bytes / sizeof(MonitorRecord);
    }
};

// Each adder's records arrive in its order, each at most once; every loss
// of an adder's records is marked on a record between its neighbours, and
// every mark sits where some adder lost records.
void ExpectLossesMarkedExactly(const std::vector<Seen>& stream, ULONG perAdder, ULONG* lostTotal)
{
    std::vector<std::vector<size_t>> positions(kAdders);
    for (size_t i = 0; i < stream.size(); ++i) {
        const Seen& seen = stream[i];
        auto& mine = positions[seen.adder];
        if (!mine.empty()) {
            ASSERT_GT(seen.seq, stream[mine.back()].seq) << "out of order or twice";
        }
        mine.push_back(i);
    }
    std::vector<bool> lossBefore(stream.size(), false);  // records were lost just before position i
    // Records of `adder` lost between stream positions [from, to]: the mark
    // must be on one of them (the oldest record left after the loss).
    auto lossWithin = [&](ULONG adder, LONG firstLost, LONG lastLost, size_t from, size_t to) {
        bool marked = false;
        for (size_t j = from; j <= to && j < stream.size(); ++j) {
            marked = marked || stream[j].overrun;
            lossBefore[j] = true;
        }
        EXPECT_TRUE(marked) << "adder " << adder << " lost " << firstLost << ".." << lastLost;
    };
    ULONG lost = 0;
    for (ULONG adder = 0; adder < kAdders; ++adder) {
        LONG previousSeq = -1;
        size_t from = 0;
        for (size_t pos : positions[adder]) {
            const LONG seq = static_cast<LONG>(stream[pos].seq);
            if (seq != previousSeq + 1) {
                lost += static_cast<ULONG>(seq - previousSeq - 1);
                lossWithin(adder, previousSeq + 1, seq - 1, from, pos);
            }
            previousSeq = seq;
            from = pos + 1;
        }
        // An adder that finished early may have lost its newest records to
        // the others; the mark then follows its last record seen.
        const LONG last = static_cast<LONG>(perAdder) - 1;
        if (previousSeq != last) {
            lost += static_cast<ULONG>(last - previousSeq);
            lossWithin(adder, previousSeq + 1, last, from, stream.size() - 1);
        }
    }
    for (size_t i = 0; i < stream.size(); ++i) {
        if (stream[i].overrun) {
            EXPECT_TRUE(lossBefore[i]) << "mark at " << i << " without a loss";
        }
    }
    *lostTotal = lost;
}

TEST_F(MonitorStressTest, EightAddersAndATightReaderLoseNothingUnmarked)
{
    constexpr ULONG kPerAdder = 20000;
    std::atomic<ULONG> running{kAdders};
    std::vector<winsim::Thread> adders;
    for (ULONG adder = 0; adder < kAdders; ++adder) {
        adders.push_back(winsim::Scheduler::Instance().Spawn("adder", [this, adder, &running] {
            for (ULONG seq = 0; seq < kPerAdder; ++seq) AddOne(adder, seq);
            running.fetch_sub(1);
        }));
    }
    std::vector<Seen> stream;
    while (running.load() != 0) FetchInto(stream);
    for (auto& thread : adders) thread.Join();
    while (FetchInto(stream) != 0) {
    }
    ULONG lost = 0;
    ExpectLossesMarkedExactly(stream, kPerAdder, &lost);
    EXPECT_EQ(stream.size() + lost, static_cast<size_t>(kAdders) * kPerAdder);
}

TEST_F(MonitorStressTest, ReaderThatKeepsUpSeesNoLossAndNoMark)
{
    // Rounds of 100 records per adder (800 < 999) with the reader emptying
    // the ring between rounds while the next round is already running.
    constexpr ULONG kRounds = 40;
    constexpr ULONG kPerRound = 100;
    std::atomic<ULONG> round{0};
    std::atomic<ULONG> done{0};
    std::vector<winsim::Thread> adders;
    for (ULONG adder = 0; adder < kAdders; ++adder) {
        adders.push_back(winsim::Scheduler::Instance().Spawn("adder", [this, adder, &round, &done] {
            for (ULONG r = 0; r < kRounds; ++r) {
                while (round.load() < r) std::this_thread::yield();
                for (ULONG i = 0; i < kPerRound; ++i) AddOne(adder, r * kPerRound + i);
                done.fetch_add(1);
            }
        }));
    }
    std::vector<Seen> stream;
    for (ULONG r = 0; r < kRounds; ++r) {
        // Wait for this round, reading what is there meanwhile; then empty.
        while (done.load() < (r + 1) * kAdders) FetchInto(stream);
        while (FetchInto(stream) != 0) {
        }
        round.store(r + 1);
    }
    for (auto& thread : adders) thread.Join();
    while (FetchInto(stream) != 0) {
    }
    ASSERT_EQ(stream.size(), static_cast<size_t>(kAdders) * kRounds * kPerRound);
    ULONG lost = 0;
    ExpectLossesMarkedExactly(stream, kRounds * kPerRound, &lost);
    EXPECT_EQ(lost, 0u);
    EXPECT_TRUE(std::none_of(stream.begin(), stream.end(), [](const Seen& s) { return s.overrun; }));
}

TEST_F(MonitorStressTest, TwoReadersNeverShareARecord)
{
    constexpr ULONG kPerAdder = 5000;
    std::atomic<ULONG> running{kAdders};
    std::vector<winsim::Thread> adders;
    for (ULONG adder = 0; adder < kAdders; ++adder) {
        adders.push_back(winsim::Scheduler::Instance().Spawn("adder", [this, adder, &running] {
            for (ULONG seq = 0; seq < kPerAdder; ++seq) AddOne(adder, seq);
            running.fetch_sub(1);
        }));
    }
    std::vector<Seen> other;
    winsim::Thread secondReader = winsim::Scheduler::Instance().Spawn("reader", [&] {
        while (running.load() != 0) FetchInto(other);
        while (FetchInto(other) != 0) {
        }
    });
    std::vector<Seen> mine;
    while (running.load() != 0) FetchInto(mine);
    for (auto& thread : adders) thread.Join();
    secondReader.Join();
    while (FetchInto(mine) != 0) {
    }
    std::vector<std::vector<bool>> seen(kAdders, std::vector<bool>(kPerAdder, false));
    for (const auto* stream : {&mine, &other}) {
        for (const Seen& s : *stream) {
            ASSERT_LT(s.seq, kPerAdder);
            ASSERT_FALSE(seen[s.adder][s.seq]) << "record handed out twice";
            seen[s.adder][s.seq] = true;
        }
    }
    // What neither reader got was dropped, which is then marked.
    const size_t total = mine.size() + other.size();
    const bool anyMark = std::any_of(mine.begin(), mine.end(), [](const Seen& s) { return s.overrun; }) ||
                         std::any_of(other.begin(), other.end(), [](const Seen& s) { return s.overrun; });
    if (total < static_cast<size_t>(kAdders) * kPerAdder) {
        EXPECT_TRUE(anyMark);
    }
}

}  // namespace
