// `ui screenshot`: the target window as a PNG at the size winsim laid it
// out, with what its controls show.
#include <cairo.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>

#include "bench_test.h"

namespace bench {
namespace {

class ScreenshotTest : public BenchTest {
protected:
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("qtr84bench-screenshot-" + std::to_string(getpid()));
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // The picture's pixels as 0xRRGGBB, or an empty surface when it is no PNG.
    struct Picture {
        cairo_surface_t* surface;
        ~Picture() { cairo_surface_destroy(surface); }
        int Width() const { return cairo_image_surface_get_width(surface); }
        int Height() const { return cairo_image_surface_get_height(surface); }
        uint32_t At(int x, int y) const
        {
            const auto* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
            return reinterpret_cast<const uint32_t*>(row)[x] & 0xFFFFFF;
        }
    };
    Picture Load(const std::string& name) const
    {
        return Picture{cairo_image_surface_create_from_png((dir / name).c_str())};
    }
};

TEST_F(ScreenshotTest, ThePictureHasTheWindowsSizeCaptionAndCheckMark)
{
    Run("testprogram start");
    Run("ui screenshot " + (dir / "before.png").string());
    ASSERT_TRUE(last);
    Run("ui click 1030");  // the check box at 165, 36 dialog units
    Run("ui screenshot " + (dir / "after.png").string());
    const Picture before = Load("before.png");
    const Picture after = Load("after.png");
    ASSERT_EQ(cairo_surface_status(before.surface), CAIRO_STATUS_SUCCESS);
    // 400 x 224 dialog units of 6 x 13 pixels per 4 x 8, in a frame of 3
    // and under a caption of 23.
    EXPECT_EQ(before.Width(), 600 + 6);
    EXPECT_EQ(before.Height(), 364 + 3 + 3 + 23);
    EXPECT_EQ(before.At(40, 10), 0x0078D7u);  // the active caption
    // The middle of the check box: white before the click, the mark after
    // (dialog units to pixels rounded, as MulDiv rounds).
    const int x = 3 + (165 * 6 + 2) / 4 + 7;
    const int y = 26 + (36 * 13 + 4) / 8 + 8;
    EXPECT_EQ(before.At(x, y), 0xFFFFFFu);
    EXPECT_NE(after.At(x, y), 0xFFFFFFu);
}

TEST_F(ScreenshotTest, AFileThatCannotBeWrittenIsAnError)
{
    Run("testprogram start");
    const std::string text = Run("ui screenshot " + (dir / "missing" / "x.png").string());
    EXPECT_FALSE(last);
    EXPECT_EQ(text.rfind("error: screenshot ", 0), 0u) << text;
}

}  // namespace
}  // namespace bench
