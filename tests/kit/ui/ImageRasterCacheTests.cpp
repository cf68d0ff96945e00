// SPDX-License-Identifier: MIT
#include "../base/TempFolder.h"

#include "kit/base/FileManager.h"
#include "kit/base/Log.h"
#include "kit/ui/Image.h"
#include "kit/ui/ImageRasterCache.h"
#include "kit/ui/SVGLibrary.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace kit;
using kit::testing::ScopedEnvironment;
using kit::testing::TempFolder;

namespace {

// Anti-aliased edges and a translucent fill: every premultiplied value a raster can hold.
constexpr std::string_view kTranslucent = R"(<svg xmlns="http://www.w3.org/2000/svg" width="30" height="20">)"
                                          R"(<circle cx="15" cy="10" r="9" fill="#3080c0" fill-opacity="0.6"/>)"
                                          R"(<rect x="2" y="3" width="7.3" height="5.5" fill="#e02020"/></svg>)";
constexpr std::string_view kOpaque
    = R"(<svg xmlns="http://www.w3.org/2000/svg" width="12" height="12">)"
      R"(<rect width="12" height="12" fill="#102030"/><circle cx="6" cy="6" r="4" fill="#f0e0d0"/></svg>)";

// Large enough at 400 × 300 pixels to be kept as rows: different in every row and column.
constexpr std::string_view kBackdrop
    = R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="200" height="150"><defs>)svg"
      R"svg(<radialGradient id="g" cx="0.2" cy="0.1" r="1.1"><stop offset="0" stop-color="#405060"/>)svg"
      R"svg(<stop offset="1" stop-color="#101418" stop-opacity="0.8"/></radialGradient></defs>)svg"
      R"svg(<rect width="200" height="150" fill="url(#g)"/><g stroke="#fff" stroke-opacity="0.3">)svg"
      R"svg(<line x1="33.3" y1="0" x2="33.3" y2="150"/><line x1="0" y1="71.7" x2="200" y2="71.7"/></g></svg>)svg";

std::vector<std::string> s_logged;

// What drawing the image into `rect` with `alpha`, clipped to `clip`, leaves on a surface of
// w × h pixels that held `under`.
std::string clippedPixels(const ImagePtr& image, int w, int h, const std::string& under, Rect rect, Rect clip, double alpha)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_surface_flush(surface);
    std::memcpy(cairo_image_surface_get_data(surface), under.data(), under.size());
    cairo_surface_mark_dirty(surface);
    cairo_t* cr = cairo_create(surface);
    cairo_rectangle(cr, clip.x(), clip.y(), clip.width(), clip.height());
    cairo_clip(cr);
    image->drawInto(cr, rect, alpha);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    std::string bytes(reinterpret_cast<const char*>(cairo_image_surface_get_data(surface)), under.size());
    cairo_surface_destroy(surface);
    return bytes;
}

// The image drawn into w × h pixels, as bytes.
std::string pixels(const ImagePtr& image, int w, int h)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(surface);
    if (image)
        image->drawInto(cr, { 0, 0, double(w), double(h) }, 1);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    std::string bytes(reinterpret_cast<const char*>(cairo_image_surface_get_data(surface)),
        std::size_t(cairo_image_surface_get_stride(surface) * h));
    cairo_surface_destroy(surface);
    return bytes;
}

std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string entry(const std::string& folder, std::string_view svg, std::string_view suffix)
{
    return folder + "/" + ImageRasterCache::keyFor(svg) + std::string(suffix);
}

} // namespace

class ImageRasterCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        s_logged.clear();
        Log::setEchoToStderr(false);
        Log::setCaptureHook([](std::string_view line) { s_logged.emplace_back(line); });
    }
    void TearDown() override
    {
        Image::setRasterCache("", false);
        svg::setLibraryNameForTesting("");
        Image::clearCache();
        Log::setCaptureHook(nullptr);
        Log::setEchoToStderr(true);
    }
    // The SVG library cannot be loaded from here on: whatever draws comes from the cache.
    static void loseTheSVGLibrary() { svg::setLibraryNameForTesting("libquarrin-missing-svg.so.0"); }

    TempFolder temp;
    std::string folder = temp / "cache/images-1";
};

TEST_F(ImageRasterCacheTest, AWarmCacheGivesTheSizeAndTheSamePixelsWithoutTheSVGLibrary)
{
    std::string uncachedTranslucent = pixels(Image::fromSVGData(kTranslucent), 45, 31);
    std::string uncachedOpaque = pixels(Image::fromSVGData(kOpaque), 24, 24);
    Image::setRasterCache(folder, true);
    EXPECT_EQ(pixels(Image::fromSVGData(kTranslucent), 45, 31), uncachedTranslucent);
    EXPECT_EQ(pixels(Image::fromSVGData(kOpaque), 24, 24), uncachedOpaque);
    EXPECT_TRUE(FileManager::fileExists(entry(folder, kTranslucent, "-45x31.png")));
    EXPECT_TRUE(FileManager::fileExists(entry(folder, kTranslucent, ".size")));

    loseTheSVGLibrary();
    auto translucent = Image::fromSVGData(kTranslucent);
    ASSERT_NE(translucent, nullptr);
    EXPECT_EQ(translucent->size(), (Size { 30, 20 }));
    EXPECT_TRUE(translucent->isVector());
    EXPECT_EQ(pixels(translucent, 45, 31), uncachedTranslucent);
    // Opaque rasters are stored without alpha and still come back byte for byte.
    EXPECT_EQ(pixels(Image::fromSVGData(kOpaque), 24, 24), uncachedOpaque);
    // A pixel size never drawn before needs the library: nothing is drawn, nothing crashes.
    EXPECT_EQ(pixels(translucent, 60, 40), std::string(60 * 4 * 40, '\0'));
    EXPECT_TRUE(s_logged.size() == 1 && s_logged[0].find("cannot load libquarrin-missing-svg.so.0") == 0) << s_logged.size();
    // Without a cached size the document must be parsed, which fails as a missing file would.
    EXPECT_EQ(Image::fromSVGData(R"(<svg xmlns="http://www.w3.org/2000/svg" width="5" height="5"/>)"), nullptr);
}

TEST_F(ImageRasterCacheTest, AChangedFileIsRasterisedAgainAndBrokenEntriesAreReplaced)
{
    Image::setRasterCache(folder, true);
    std::string red
        = R"(<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4"><rect width="4" height="4" fill="#f00"/></svg>)";
    std::string blue
        = R"(<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4"><rect width="4" height="4" fill="#00f"/></svg>)";
    temp.write("images/dot.svg", red);
    Image::setSearchPath(temp / "images");
    std::string drawnRed = pixels(Image::named("dot"), 8, 8);
    temp.write("images/dot.svg", blue);
    Image::clearCache();
    std::string drawnBlue = pixels(Image::named("dot"), 8, 8);
    EXPECT_NE(drawnBlue, drawnRed);
    EXPECT_EQ(drawnBlue, pixels(Image::fromSVGData(blue), 8, 8));

    // A truncated raster, a raster of another size under this one's name and a garbled size
    // read as misses, and are written again whole.
    std::string png = entry(folder, kTranslucent, "-45x31.png");
    std::string size = entry(folder, kTranslucent, ".size");
    std::string drawn = pixels(Image::fromSVGData(kTranslucent), 45, 31);
    auto whole = FileManager::readFile(png);
    ASSERT_TRUE(whole.ok());
    pixels(Image::fromSVGData(kOpaque), 24, 24);
    std::filesystem::copy_file(entry(folder, kOpaque, "-24x24.png"), png, std::filesystem::copy_options::overwrite_existing);
    temp.write("cache/images-1/" + ImageRasterCache::keyFor(kTranslucent) + ".size", "30 nan\n");
    EXPECT_EQ(pixels(Image::fromSVGData(kTranslucent), 45, 31), drawn);
    EXPECT_EQ(FileManager::readFile(png).value(), whole.value());
    EXPECT_EQ(ImageRasterCache::size(ImageRasterCache::keyFor(kTranslucent)), (Size { 30, 20 }));
    for (std::size_t length : { std::size_t(0), std::size_t(40), whole->size() - 20 }) {
        temp.write("cache/images-1/" + ImageRasterCache::keyFor(kTranslucent) + "-45x31.png",
            std::string_view(reinterpret_cast<const char*>(whole->data()), length));
        temp.write("cache/images-1/" + ImageRasterCache::keyFor(kTranslucent) + ".size", length ? "30 20" : "");
        EXPECT_EQ(pixels(Image::fromSVGData(kTranslucent), 45, 31), drawn) << length;
        EXPECT_EQ(FileManager::readFile(png).value(), whole.value()) << length;
        EXPECT_EQ(FileManager::readFile(size).value(), Data({ '3', '0', ' ', '2', '0', '\n' })) << length;
    }
    // An oversized size entry is not read whole, and is replaced.
    temp.write("cache/images-1/" + ImageRasterCache::keyFor(kTranslucent) + ".size", "30 20\n" + std::string(1 << 20, ' '));
    EXPECT_EQ(pixels(Image::fromSVGData(kTranslucent), 45, 31), drawn);
    EXPECT_EQ(FileManager::readFile(size).value().size(), 6u);
    // No temporary file is left behind.
    for (const std::string& name : filesIn(folder))
        EXPECT_NE(name[0], '.') << name;
}

TEST_F(ImageRasterCacheTest, BarsStretchedToAnyWidthComeFromOneStoredColumn)
{
    std::vector<std::string> bars;
    for (const char* folder : { "/resources/images", "/resources/vistrel/images" }) {
        for (auto& file : std::filesystem::directory_iterator(std::string(QUARRIN_SOURCE_DIR) + folder)) {
            std::string name = file.path().filename().string();
            if (name.starts_with("bar") && name.ends_with(".svg") && !name.starts_with("barShadow"))
                bars.push_back(file.path().string());
        }
    }
    ASSERT_GE(bars.size(), 10u);
    for (const std::string& path : bars) {
        Image::setRasterCache("", false);
        svg::setLibraryNameForTesting("");
        auto direct = Image::fromFile(path);
        ASSERT_NE(direct, nullptr) << path;
        int height = int(std::lround(direct->size().height * 2));
        std::vector<std::string> expected;
        for (int width = 1; width <= 700; width += 3)
            expected.push_back(pixels(direct, width, height));

        Image::setRasterCache(folder, true);
        pixels(Image::fromFile(path), 100, height);
        auto bytes = FileManager::readFile(path).value();
        std::string key = ImageRasterCache::keyFor(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        // The column stands in for the drawn width, which is not stored.
        EXPECT_TRUE(FileManager::fileExists(folder + "/" + key + "-column-" + std::to_string(height) + ".png")) << path;
        EXPECT_FALSE(FileManager::fileExists(folder + "/" + key + "-100x" + std::to_string(height) + ".png")) << path;
        loseTheSVGLibrary();
        auto cached = Image::fromFile(path);
        ASSERT_NE(cached, nullptr) << path;
        for (int width = 1, index = 0; width <= 700; width += 3, ++index)
            ASSERT_EQ(pixels(cached, width, height), expected[std::size_t(index)]) << path << " at " << width << " pixels";
        // Only the column is kept, whatever the width drawn.
        EXPECT_EQ(cached->heldPixelBytes(),
            std::size_t(cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, 1)) * std::size_t(height))
            << path;
    }
}

// A window-sized image is not kept in memory between frames: its rows go to disk once and each
// frame reads the band its damage reaches, with the same pixels as drawing from memory.
TEST_F(ImageRasterCacheTest, ALargeImageIsDrawnFromRowsOnDiskABandAtATime)
{
    const int w = 400, h = 300;
    std::string under = pixels(Image::fromSVGData(kOpaque), w, h);
    struct Draw {
        Rect clip;
        double alpha;
    };
    const Draw draws[] = { { { 0, 0, 400, 300 }, 1 }, { { 50, 101, 150, 37 }, 1 }, { { 10.5, 0, 80, 3.5 }, 0.6 },
        { { 0, 296, 400, 4 }, 1 }, { { 0, 120, 400, 0 }, 1 } };
    std::vector<std::string> expected;
    auto fromMemory = Image::fromSVGData(kBackdrop);
    for (const Draw& draw : draws)
        expected.push_back(clippedPixels(fromMemory, w, h, under, { 0, 0, 400, 300 }, draw.clip, draw.alpha));

    Image::setRasterCache(folder, true);
    auto image = Image::fromSVGData(kBackdrop);
    EXPECT_EQ(clippedPixels(image, w, h, under, { 0, 0, 400, 300 }, draws[0].clip, 1), expected[0]);
    std::string rows = entry(folder, kBackdrop, "-400x300.rows");
    EXPECT_EQ(std::filesystem::file_size(rows), std::uintmax_t(w) * h * 4);
    EXPECT_FALSE(FileManager::fileExists(entry(folder, kBackdrop, "-400x300.png"))) << "stored once, as rows";
    EXPECT_EQ(image->heldPixelBytes(), 0u);
    // A later run draws from the rows alone.
    loseTheSVGLibrary();
    auto warm = Image::fromSVGData(kBackdrop);
    ASSERT_NE(warm, nullptr);
    for (std::size_t i = 0; i < std::size(draws); ++i)
        EXPECT_EQ(clippedPixels(warm, w, h, under, { 0, 0, 400, 300 }, draws[i].clip, draws[i].alpha), expected[i]) << i;
    EXPECT_EQ(warm->heldPixelBytes(), 0u);
    EXPECT_TRUE(s_logged.empty());

    // Truncated or grown rows read as a miss; the image is drawn from the vector again and the
    // entry written whole.
    svg::setLibraryNameForTesting("");
    auto whole = FileManager::readFile(rows).value();
    for (std::size_t length : { std::size_t(0), whole.size() / 2, whole.size() + 4 }) {
        Data changed = whole;
        changed.resize(length, 0x7f);
        ASSERT_TRUE(FileManager::writeFileAtomically(rows, changed).ok());
        Image::clearCache();
        auto again = Image::fromSVGData(kBackdrop);
        EXPECT_EQ(clippedPixels(again, w, h, under, { 0, 0, 400, 300 }, draws[1].clip, 1), expected[1]) << length;
        EXPECT_EQ(FileManager::readFile(rows).value(), whole) << length;
    }

    // A small image, and a read-only cache without the rows, keep the raster in memory.
    Image::setRasterCache(temp / "other/images-1", false);
    auto readOnly = Image::fromSVGData(kBackdrop);
    EXPECT_EQ(clippedPixels(readOnly, w, h, under, { 0, 0, 400, 300 }, draws[1].clip, 1), expected[1]);
    EXPECT_EQ(readOnly->heldPixelBytes(), std::size_t(w) * h * 4);
    EXPECT_FALSE(FileManager::fileExists(temp / "other"));
    Image::setRasterCache(folder, true);
    auto small = Image::fromSVGData(kBackdrop);
    pixels(small, 200, 150);
    EXPECT_EQ(small->heldPixelBytes(), std::size_t(200) * 150 * 4);
    EXPECT_FALSE(FileManager::fileExists(entry(folder, kBackdrop, "-200x150.rows")));
}

TEST_F(ImageRasterCacheTest, AnUnwritableOrReadOnlyCacheStillDrawsAndWritesNothing)
{
    std::string expected = pixels(Image::fromSVGData(kTranslucent), 45, 31);
    // A folder below a file can never be made, whoever runs the test.
    temp.write("plain-file", "x");
    Image::setRasterCache(temp / "plain-file/images-1", true);
    EXPECT_EQ(pixels(Image::fromSVGData(kTranslucent), 45, 31), expected);
    EXPECT_EQ(pixels(Image::fromSVGData(kOpaque), 12, 12), pixels(Image::fromSVGData(kOpaque), 12, 12));
    EXPECT_EQ(s_logged.size(), 1u);

    Image::setRasterCache(folder, false);
    EXPECT_EQ(pixels(Image::fromSVGData(kTranslucent), 45, 31), expected);
    EXPECT_FALSE(FileManager::fileExists(temp / "cache"));
    // Filled by a writer, the read-only cache is used.
    Image::setRasterCache(folder, true);
    pixels(Image::fromSVGData(kTranslucent), 45, 31);
    Image::setRasterCache(folder, false);
    loseTheSVGLibrary();
    EXPECT_EQ(pixels(Image::fromSVGData(kTranslucent), 45, 31), expected);
}

TEST_F(ImageRasterCacheTest, AFirstWriteClearsOtherVersionsAndTrimsTheOldestEntries)
{
    temp.write("cache/images-0/old.png", "old");
    temp.write("cache/images-12/newer.png", "newer");
    temp.write("cache/settings/keep", "not ours");
    temp.write("cache/images-1/old-entry.png", std::string(ImageRasterCache::kMaxBytes, 'x'));
    temp.write("cache/images-1/recent-entry.png", "recent");
    temp.write("cache/images-1/.orphan.tmp", "left by a writer that died");
    auto now = Date::now();
    ASSERT_TRUE(FileManager::setModificationDate(folder + "/old-entry.png", now.byAdding(-3600)).ok());
    ASSERT_TRUE(FileManager::setModificationDate(folder + "/.orphan.tmp", now.byAdding(-3600)).ok());
    Image::setRasterCache(folder, true);
    pixels(Image::fromSVGData(kOpaque), 12, 12);
    EXPECT_EQ(filesIn(temp / "cache"), (std::vector<std::string> { "images-1", "settings" }));
    EXPECT_EQ(filesIn(folder),
        (std::vector<std::string> { ImageRasterCache::keyFor(kOpaque) + "-12x12.png", ImageRasterCache::keyFor(kOpaque) + ".size",
            "recent-entry.png" }));
}

TEST_F(ImageRasterCacheTest, TheDefaultFolderFollowsTheCacheHome)
{
    ScopedEnvironment environment;
    environment.set("HOME", temp.path());
    environment.set("XDG_CACHE_HOME", "/var/tmp/elsewhere");
    EXPECT_EQ(Image::defaultRasterCacheFolder(), "/var/tmp/elsewhere/quarrin/images-1");
    environment.set("XDG_CACHE_HOME", "relative/cache");
    EXPECT_EQ(Image::defaultRasterCacheFolder(), temp.path() + "/.cache/quarrin/images-1");
}
