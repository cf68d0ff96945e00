// SPDX-License-Identifier: MIT
#include "UITestSupport.h"

#include "kit/ui/GraphicsContext.h"
#include "kit/ui/Image.h"
#include "kit/ui/ImageView.h"

#include <gtest/gtest.h>

using namespace kit;
using kit::test::near;
using kit::test::Snapshot;

class ImageTest : public ::testing::Test {
protected:
    void SetUp() override { Image::setSearchPath(kit::test::uiData("")); }
    void TearDown() override { Image::setSearchPath(kit::test::uiData("")); }
};

TEST_F(ImageTest, NaturalSizeIsTheSVGsWidthAndHeight)
{
    auto red = Image::named("red40x30");
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->size(), (Size { 40, 30 }));
    EXPECT_TRUE(red->isVector());
    // "px" units, and the name with its extension.
    auto halves = Image::named("halves.svg");
    ASSERT_NE(halves, nullptr);
    EXPECT_EQ(halves->size(), (Size { 20, 10 }));
}

TEST_F(ImageTest, NamedImagesAreCachedUntilTheSearchPathChanges)
{
    auto first = Image::named("red40x30");
    EXPECT_EQ(Image::named("red40x30"), first);
    Image::setSearchPath("/nonexistent-folder");
    EXPECT_EQ(Image::named("red40x30"), nullptr);
}

TEST_F(ImageTest, MissingUnsizedBrokenAndEscapingNamesAreNull)
{
    EXPECT_EQ(Image::named("no-such-image"), nullptr);
    EXPECT_EQ(Image::named("nosize"), nullptr);
    EXPECT_EQ(Image::named("broken"), nullptr);
    EXPECT_EQ(Image::named(""), nullptr);
    EXPECT_EQ(Image::named("../ui/red40x30"), nullptr);
    EXPECT_EQ(Image::named(".."), nullptr);
    EXPECT_EQ(Image::fromSVGData(""), nullptr);
    EXPECT_EQ(Image::fromSVGData("<svg"), nullptr);
}

TEST_F(ImageTest, ImageViewTakesTheNaturalSizeAndStretchesToFill)
{
    auto image = Image::named("halves");
    auto view = View::create<ImageView>(image);
    EXPECT_EQ(view->frame(), (Rect { 0, 0, 20, 10 }));
    view->setFrame({ 0, 0, 40, 40 });
    view->sizeToFit();
    EXPECT_EQ(view->bounds().size, (Size { 20, 10 }));
    view->setFrame({ 0, 0, 40, 40 });
    EXPECT_EQ(view->imageRect(), (Rect { 0, 0, 40, 40 }));
    view->setContentMode(ContentMode::ScaleAspectFit);
    EXPECT_EQ(view->imageRect(), (Rect { 0, 10, 40, 20 }));
    view->setContentMode(ContentMode::ScaleAspectFill);
    EXPECT_EQ(view->imageRect(), (Rect { -20, 0, 80, 40 }));
    view->setContentMode(ContentMode::BottomRight);
    EXPECT_EQ(view->imageRect(), (Rect { 20, 30, 20, 10 }));
    auto empty = View::create<ImageView>(nullptr);
    EXPECT_EQ(empty->frame(), Rect {});
    EXPECT_EQ(empty->sizeThatFits({ 10, 10 }), Size {});
}

TEST_F(ImageTest, StretchedImageDrawsEachHalfInItsColourAtScaleTwo)
{
    auto root = View::create<View>();
    root->setFrame({ 0, 0, 100, 50 });
    auto view = View::create<ImageView>(Image::named("halves"));
    view->setFrame({ 0, 0, 100, 50 });
    root->addSubview(view);
    Snapshot shot(*root, { 100, 50 }, 2);
    EXPECT_EQ(shot.width(), 200);
    EXPECT_TRUE(near(shot.at(10, 25), Color(0, 0, 1)));
    EXPECT_TRUE(near(shot.at(90, 25), Color(0, 1, 0)));
    // Crisp: the two device pixels either side of the middle are already pure.
    EXPECT_TRUE(near(shot.pixel(98, 50), Color(0, 0, 1), 0.05));
    EXPECT_TRUE(near(shot.pixel(101, 50), Color(0, 1, 0), 0.05));
}

TEST_F(ImageTest, ScaleToFillStretchesAViewBoxImageUnequally)
{
    // Regression: librsvg kept the aspect ratio, leaving a narrow centred sliver.
    auto root = View::create<View>();
    root->setFrame({ 0, 0, 221, 43 });
    root->setBackgroundColor(Color::white());
    auto bar = View::create<ImageView>(Image::named("bar8x24"));
    bar->setFrame({ 0, 0, 221, 43 });
    root->addSubview(bar);
    for (double scale : { 1.0, 2.0 }) {
        Snapshot shot(*root, { 221, 43 }, scale);
        EXPECT_TRUE(near(shot.at(2, 2), Color(1, 0, 0)));
        EXPECT_TRUE(near(shot.at(218, 40), Color(1, 0, 0)));
        EXPECT_TRUE(near(shot.at(110, 21), Color(1, 0, 0)));
    }
    // Turned, the image is drawn from the vector and stretches the same way.
    bar->setTransform(AffineTransform::rotation(0.3));
    Snapshot turned(*root, { 221, 43 }, 1);
    EXPECT_TRUE(near(turned.at(60, 21), Color(1, 0, 0)));
}

TEST_F(ImageTest, DrawnBitmapKeepsItsScaleAndTransparency)
{
    auto dot = Image::fromDrawing({ 10, 10 }, 2, false, [](GraphicsContext& g) {
        g.setFillColor(Color(1, 0, 0));
        g.fillEllipse({ 0, 0, 10, 10 });
    });
    ASSERT_NE(dot, nullptr);
    EXPECT_EQ(dot->size(), (Size { 10, 10 }));
    EXPECT_EQ(dot->scale(), 2);
    EXPECT_FALSE(dot->isVector());
    auto root = View::create<View>();
    root->setFrame({ 0, 0, 10, 10 });
    auto view = View::create<ImageView>(dot);
    root->addSubview(view);
    Snapshot shot(*root, { 10, 10 }, 2);
    EXPECT_TRUE(near(shot.at(5, 5), Color(1, 0, 0)));
    EXPECT_EQ(shot.at(0.2, 0.2).alpha, 0);
    EXPECT_EQ(Image::fromDrawing({ 0, 10 }, 2, false, {}), nullptr);
    EXPECT_EQ(Image::fromDrawing({ 1e9, 10 }, 2, false, {}), nullptr);
}
