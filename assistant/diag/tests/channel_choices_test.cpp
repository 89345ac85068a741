// "Select Monitor Channel": which ports it offers and how it names them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assistant/diag/channel_choices.h"

namespace {

DeviceInfoTable TwoAdapters()
{
    DeviceInfoTable table{};
    table.count = 2;
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 4; ++j) table.adapters[i].ports[j].comNumber = 3 + 4 * i + j;
    }
    return table;
}

std::vector<std::string> Texts(const std::vector<diag::ChannelChoice>& choices)
{
    std::vector<std::string> texts;
    for (const auto& choice : choices) texts.push_back(choice.text + "=" + std::to_string(choice.comNumber));
    return texts;
}

struct Watched : diag::MonitorChannelWindow {
    void AddRecord(const MonitorRecord&) override {}
};

TEST(MonitorChannelChoices, EveryPortOfEveryAdapterInTableOrder)
{
    diag::MonitorState monitor;
    const auto texts = Texts(diag::MonitorChannelChoices(TwoAdapters(), monitor));
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_EQ(texts[0], "COM3 (Device 1, Port 1)=3");
    EXPECT_EQ(texts[3], "COM6 (Device 1, Port 4)=6");
    EXPECT_EQ(texts[4], "COM7 (Device 2, Port 1)=7");
    EXPECT_EQ(texts[7], "COM10 (Device 2, Port 4)=10");
}

TEST(MonitorChannelChoices, MonitoredComNumbersAreLeftOut)
{
    diag::MonitorState monitor;
    Watched window;
    monitor.channels[5] = {4, &window};
    monitor.channels[6] = {9, nullptr};  // a free entry remembers nothing
    const auto texts = Texts(diag::MonitorChannelChoices(TwoAdapters(), monitor));
    EXPECT_EQ(texts.size(), 7u);
    EXPECT_EQ(texts[1], "COM5 (Device 1, Port 3)=5");
    EXPECT_EQ(texts[5], "COM9 (Device 2, Port 3)=9");
}

TEST(MonitorChannelChoices, ACountBeyondTheTableReadsNoFurther)
{
    diag::MonitorState monitor;
    DeviceInfoTable table = TwoAdapters();
    table.count = 1000;
    EXPECT_EQ(diag::MonitorChannelChoices(table, monitor).size(), 4u * kTableAdapterRecords);
    table.count = -1;
    EXPECT_TRUE(diag::MonitorChannelChoices(table, monitor).empty());
}

}  // namespace
