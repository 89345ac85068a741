// The diagnostics frames' resources as the window system reads them: the
// toolbar bitmaps (32 x 32 per button, in button order), the command and
// pane texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "AssistantResources.h"
#include "assistant/res/resource.h"
#include "ui/resources/module_resources.h"

namespace {

namespace res = winsim::ui::resources;

const HMODULE kModule = reinterpret_cast<HMODULE>(0x7a560000);

class DiagnosticsResourcesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(res::RegisterModuleResources(kModule, AssistantResources())); }
    void TearDown() override { res::UnregisterModuleResources(kModule); }

    static std::string String(UINT id)
    {
        char text[512] = "";
        const int length = LoadStringA(kModule, id, text, sizeof(text));
        return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
    }
    // Width and height of a bitmap resource, from its BITMAPINFOHEADER.
    static std::pair<int32_t, int32_t> BitmapSize(int id)
    {
        HRSRC found = FindResourceA(kModule, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2));
        if (found == nullptr || SizeofResource(kModule, found) < 12) return {0, 0};
        const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(kModule, found)));
        int32_t size[2];
        std::memcpy(size, bytes + 4, sizeof(size));
        return {size[0], size[1]};
    }
};

TEST_F(DiagnosticsResourcesTest, ToolbarImagesHoldOneSquareButtonEach)
{
    EXPECT_EQ(BitmapSize(IDR_EVENT_TOOLBAR), std::make_pair(5 * 32, 32));
    EXPECT_EQ(BitmapSize(IDR_MONITOR_FRAME), std::make_pair(7 * 32, 32));
}

TEST_F(DiagnosticsResourcesTest, CommandTextsExplainTheButtons)
{
    EXPECT_EQ(String(ID_EVENTS_RESUME), "Resume Event Display");
    EXPECT_EQ(String(ID_EVENTS_HALT), "Halt Event Display");
    EXPECT_EQ(String(ID_EVENTS_CLEAR), "Clear Event Display");
    EXPECT_EQ(String(ID_EVENTS_LOG_TO_FILE), "Save Current Event Buffer Contents To File");
    EXPECT_EQ(String(ID_EVENTS_EXIT), "Quit Event Display");
    EXPECT_EQ(String(ID_MONITOR_OPEN_CHANNEL), "Open a new channel to monitor");
    EXPECT_EQ(String(ID_MONITOR_HALT), "Halt");
    EXPECT_EQ(String(ID_MONITOR_RESUME), "Resume Monitor");
    EXPECT_EQ(String(ID_MONITOR_CLEAR), "Clear Monitor Data Window");
    EXPECT_EQ(String(ID_MONITOR_EXIT), "Quit Monitor");
    EXPECT_EQ(String(ID_MONITOR_HEX), "Display Data In Hex");
    EXPECT_EQ(String(ID_MONITOR_ASCII), "Display Data in Ascii");
    EXPECT_EQ(String(ID_MONITOR_CASCADE), "Cascade the Channel Windows");
    EXPECT_EQ(String(ID_MONITOR_TILE), "Tile the Channel Windows");
}

TEST_F(DiagnosticsResourcesTest, PaneTextsKeepTheirWidth)
{
    EXPECT_EQ(String(IDS_STATE_PANE), "Enabled");
    EXPECT_EQ(String(IDS_OVERRUN_PANE), "OVRs:         ");
    EXPECT_EQ(String(IDS_CHANNEL_PANE), "Channel");
}

}  // namespace
