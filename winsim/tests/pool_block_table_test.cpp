// The pool's registry of live blocks: every address inserted is found with
// its header until erased, whatever the collisions, erasures and growth.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include "verifier/pool_block_table.h"

namespace winsim {
namespace {

const void* Address(uintptr_t value)
{
    return reinterpret_cast<const void*>(value);
}

PoolBlockHeader HeaderFor(uintptr_t value)
{
    return PoolBlockHeader{static_cast<ULONG>(value), 0, value * 3, value};
}

// Checks the table against a model holding the same blocks.
void ExpectSame(const PoolBlockTable& table, const std::map<uintptr_t, PoolBlockHeader>& model)
{
    ASSERT_EQ(table.Size(), model.size());
    for (const auto& [value, header] : model) {
        const PoolBlockTable::Entry* e = table.Find(Address(value));
        ASSERT_NE(e, nullptr) << value;
        EXPECT_EQ(e->header, header) << value;
    }
    size_t visited = 0;
    table.ForEach([&](const void* address, const PoolBlockHeader& header) {
        auto it = model.find(reinterpret_cast<uintptr_t>(address));
        ASSERT_NE(it, model.end());
        EXPECT_EQ(header, it->second);
        ++visited;
    });
    EXPECT_EQ(visited, model.size());
}

TEST(PoolBlockTableTest, NullAndUnknownAddressesAreNotFound)
{
    PoolBlockTable table;
    EXPECT_EQ(table.Find(nullptr), nullptr) << "a free slot must not answer for the null address";
    table.Insert(Address(0x1000), HeaderFor(0x1000));
    EXPECT_EQ(table.Find(nullptr), nullptr);
    EXPECT_EQ(table.Find(Address(0x1010)), nullptr);
    ASSERT_NE(table.Find(Address(0x1000)), nullptr);
}

TEST(PoolBlockTableTest, ErasingInsideProbeRunsKeepsTheRestFindable)
{
    // Filled to just under the point where it grows, the table is mostly
    // probe runs; each erasure must leave every other entry findable.
    std::mt19937_64 random(11);
    PoolBlockTable table;
    std::map<uintptr_t, PoolBlockHeader> model;
    std::vector<uintptr_t> live;
    while (live.size() < 500) {
        const uintptr_t value = (random() % (1u << 20)) << 4 | 0x20000000;
        if (model.count(value) != 0) continue;
        table.Insert(Address(value), HeaderFor(value));
        model[value] = HeaderFor(value);
        live.push_back(value);
    }
    std::shuffle(live.begin(), live.end(), random);
    for (uintptr_t value : live) {
        table.Erase(table.Find(Address(value)));
        model.erase(value);
        EXPECT_EQ(table.Find(Address(value)), nullptr);
        ExpectSame(table, model);
        if (HasFatalFailure()) return;
    }
}

TEST(PoolBlockTableTest, ManyBlocksComingAndGoingMatchAModel)
{
    // Enough live blocks to grow the table several times, freed in random
    // order among new allocations, as a busy driver does.
    std::mt19937_64 random(5);
    PoolBlockTable table;
    std::map<uintptr_t, PoolBlockHeader> model;
    std::vector<uintptr_t> live;
    for (int round = 0; round < 40000; ++round) {
        if (live.empty() || random() % 3 != 0) {
            const uintptr_t value = (random() % (1u << 24)) << 4 | 0x10000000;
            if (model.count(value) != 0) continue;
            table.Insert(Address(value), HeaderFor(value));
            model[value] = HeaderFor(value);
            live.push_back(value);
        } else {
            const size_t pick = random() % live.size();
            const uintptr_t value = live[pick];
            live[pick] = live.back();
            live.pop_back();
            const PoolBlockTable::Entry* e = table.Find(Address(value));
            ASSERT_NE(e, nullptr) << value;
            table.Erase(e);
            model.erase(value);
        }
    }
    EXPECT_GT(model.size(), 10000u);
    ExpectSame(table, model);
}

}  // namespace
}  // namespace winsim
