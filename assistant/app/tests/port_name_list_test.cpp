// The COM port registry scan over the Ports class, plugged in or not.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "km/io_strings.h"
#include "machine/machine.h"
#include "port_name_list.h"
#include "registry/registry_store.h"
#include "um/um_process.h"

namespace {

constexpr const char16_t* kPortsGuid = u"{4D36E978-E325-11CE-BFC1-08002BE10318}";

class PortNameListTest : public ::testing::Test {
protected:
    std::unique_ptr<winsim::Machine> machine = std::make_unique<winsim::Machine>();

    // A Ports-class instance under Enum\ROOT\PORTS; empty texts are left out.
    static void AddPort(int instance, const std::string& friendlyName, const std::string& portName,
                        bool parametersKey = true)
    {
        winsim::registry::Store& store = winsim::registry::Store::Instance();
        const std::u16string key = u"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\ROOT\\PORTS\\" +
                                   winsim::io::FromAscii(std::to_string(1000 + instance));
        store.SetString(key, u"ClassGUID", kPortsGuid);
        if (!friendlyName.empty()) store.SetString(key, u"FriendlyName", winsim::io::FromAscii(friendlyName));
        if (parametersKey) store.SetString(key + u"\\Device Parameters", u"Other", u"x");
        if (!portName.empty()) {
            store.SetString(key + u"\\Device Parameters", u"PortName", winsim::io::FromAscii(portName));
        }
    }
    static size_t LocalBlocks() { return winsim::um::CurrentProcess().LocalBlocks(); }
};

TEST_F(PortNameListTest, NinePortsGrowTheBlockOnceAndAreListedInOrder)
{
    for (int i = 0; i < 9; ++i) AddPort(i, "Port " + std::to_string(i), "COM" + std::to_string(10 + i));
    PortNameList* list = BuildPortNameList();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count, 9);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(std::string(list->entries[i].portName), "COM" + std::to_string(10 + i));
        EXPECT_EQ(std::string(list->entries[i].description), "Port " + std::to_string(i));
    }
    EXPECT_EQ(LocalBlocks(), 2u);  // the list and one entries block: the first was freed
    FreePortNameList(list);
    EXPECT_EQ(LocalBlocks(), 0u);
    FreePortNameList(nullptr);
}

TEST_F(PortNameListTest, MissingValuesLeaveThePartsOfAnEntryTheyWouldFill)
{
    AddPort(0, "No name", "");                  // key, no PortName
    AddPort(1, "", "COM7");                     // no friendly name: all zero
    AddPort(2, "No key", "", false);            // no device-parameters key
    PortNameList* list = BuildPortNameList();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count, 3);
    EXPECT_STREQ(list->entries[0].portName, "COMxx");
    EXPECT_STREQ(list->entries[0].description, "No name");
    EXPECT_EQ(list->entries[1].portName[0], '\0');
    EXPECT_EQ(list->entries[1].description[0], '\0');
    EXPECT_EQ(list->entries[2].portName[0], '\0');
    EXPECT_STREQ(list->entries[2].description, "No key");
    FreePortNameList(list);
}

TEST_F(PortNameListTest, OverlongTextsAreCutToTheirFields)
{
    AddPort(0, std::string(300, 'd'), "COM" + std::string(300, '9'));
    PortNameList* list = BuildPortNameList();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count, 1);
    // A friendly name beyond its buffer cannot be read: the entry stays empty.
    EXPECT_EQ(list->entries[0].description[0], '\0');
    EXPECT_EQ(list->entries[0].portName[0], '\0');
    FreePortNameList(list);
}

TEST_F(PortNameListTest, AnEmptyClassGivesAnEmptyList)
{
    PortNameList* list = BuildPortNameList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count, 0);
    FreePortNameList(list);
}

}  // namespace
