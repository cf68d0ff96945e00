// SPDX-License-Identifier: MIT
#include "kit/host/Png.h"

#include <cairo.h>
#include <glib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class PngTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/png-test-XXXXXX";
        ASSERT_NE(g_mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override { fs::remove_all(folder); }

    std::size_t entries() const { return std::distance(fs::directory_iterator(folder), fs::directory_iterator()); }

    fs::path folder;
};

cairo_surface_t* makeSurface()
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 3);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0, 0, 1);
    cairo_rectangle(cr, 3, 2, 1, 1);
    cairo_fill(cr);
    cairo_destroy(cr);
    return surface;
}

std::uint32_t pixel(cairo_surface_t* surface, int x, int y)
{
    cairo_surface_flush(surface);
    auto* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    return reinterpret_cast<std::uint32_t*>(row)[x];
}

} // namespace

TEST_F(PngTest, WrittenPictureReadsBackWithItsPixels)
{
    cairo_surface_t* surface = makeSurface();
    auto path = (folder / "a.png").string();
    auto result = kit::writePNG(surface, path);
    ASSERT_TRUE(result.ok()) << result.error();
    cairo_surface_destroy(surface);

    cairo_surface_t* back = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(back), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(back), 4);
    EXPECT_EQ(cairo_image_surface_get_height(back), 3);
    EXPECT_EQ(pixel(back, 0, 0), 0xffff0000u);
    EXPECT_EQ(pixel(back, 3, 2), 0xff0000ffu);
    cairo_surface_destroy(back);
    EXPECT_EQ(entries(), 1u) << "no temporary file may be left behind";
}

TEST_F(PngTest, ReplacesAnOlderFile)
{
    auto path = (folder / "a.png").string();
    std::ofstream(path) << "old";
    cairo_surface_t* surface = makeSurface();
    ASSERT_TRUE(kit::writePNG(surface, path).ok());
    cairo_surface_destroy(surface);
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    in.read(magic, 4);
    EXPECT_EQ(std::string(magic + 1, 3), "PNG");
}

TEST_F(PngTest, FailuresAreReportedAndLeaveNothingBehind)
{
    cairo_surface_t* surface = makeSurface();
    EXPECT_FALSE(kit::writePNG(surface, (folder / "missing" / "a.png").string()).ok());
    EXPECT_FALSE(kit::writePNG(surface, "").ok());
    // A folder in the way is not replaced.
    fs::create_directory(folder / "taken.png");
    std::ofstream(folder / "taken.png" / "keep") << "x";
    EXPECT_FALSE(kit::writePNG(surface, (folder / "taken.png").string()).ok());
    EXPECT_TRUE(fs::exists(folder / "taken.png" / "keep"));
    EXPECT_EQ(entries(), 1u);
    cairo_surface_destroy(surface);

    EXPECT_FALSE(kit::writePNG(nullptr, (folder / "b.png").string()).ok());
    cairo_surface_t* broken = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, -1, -1);
    EXPECT_FALSE(kit::writePNG(broken, (folder / "b.png").string()).ok());
    cairo_surface_destroy(broken);
    EXPECT_FALSE(fs::exists(folder / "b.png"));
}

// `vistrel --snapshot /proc/nope.png` once named its scratch file ("nope.png.a1B2c3") instead.
TEST_F(PngTest, AFileThatCannotBeCreatedIsNamedAsAskedFor)
{
    cairo_surface_t* surface = makeSurface();
    for (std::string path : { std::string("/proc/nope.png"), (folder / "missing" / "a.png").string() }) {
        auto result = kit::writePNG(surface, path);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.error().rfind("cannot write " + path + ": ", 0), 0u) << result.error();
    }
    cairo_surface_destroy(surface);
}
