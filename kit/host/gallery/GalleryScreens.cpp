#include "kit/host/gallery/GalleryScreens.h"

#include "kit/ui/Button.h"
#include "kit/ui/Font.h"
#include "kit/ui/Image.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/View.h"

#include <cstdio>

namespace kit {

namespace {

// Small self-contained pictures, so the gallery does not depend on the application's assets.
ImagePtr swatch(int index)
{
    static const char* const colours[] = { "#e53935", "#fb8c00", "#fdd835", "#43a047", "#1e88e5", "#8e24aa" };
    const char* fill = colours[index % 6];
    char svg[512];
    std::snprintf(svg, sizeof(svg),
        "<svg xmlns='http://www.w3.org/2000/svg' width='32' height='32' viewBox='0 0 32 32'>"
        "<rect x='1' y='1' width='30' height='30' rx='6' fill='%s'/>"
        "<circle cx='16' cy='16' r='%d' fill='white' fill-opacity='0.8'/></svg>",
        fill, 4 + index % 8);
    return Image::fromSVGData(svg);
}

std::shared_ptr<Label> label(const std::string& text, FontPtr font, Color colour, Rect frame)
{
    auto view = View::create<Label>(text);
    view->setFont(std::move(font));
    view->setTextColor(colour);
    view->setFrame(frame);
    return view;
}

} // namespace

std::shared_ptr<View> makeControlsScreen(double width, double height)
{
    auto root = View::create<View>();
    root->setFrame({ 0, 0, width, height });
    root->setBackgroundColor(Color::white());
    double y = 12;

    root->addSubview(label("Labels", Font::boldSystemFont(20), Color::black(), { 16, y, width - 32, 26 }));
    y += 32;
    const TextAlignment alignments[] = { TextAlignment::Left, TextAlignment::Center, TextAlignment::Right };
    const char* names[] = { "Left aligned", "Centred", "Right aligned" };
    for (int i = 0; i < 3; ++i) {
        auto view = label(names[i], Font::systemFont(15), Color::darkGray(), { 16, y, width - 32, 20 });
        view->setTextAlignment(alignments[i]);
        view->setBackgroundColor(Color::white(0.94));
        root->addSubview(view);
        y += 24;
    }
    auto wrapped = label("A longer text that wraps over several lines when the label allows any number of lines.",
        Font::systemFont(14), Color::black(), { 16, y, width - 32, 0 });
    wrapped->setNumberOfLines(0);
    wrapped->setLineBreakMode(LineBreakMode::WordWrap);
    wrapped->sizeToFit();
    root->addSubview(wrapped);
    y += wrapped->frame().height() + 8;
    auto shadowed = label("Shadowed", Font::boldSystemFont(18), Color::white(), { 16, y, 160, 24 });
    shadowed->setShadowColor(Color::black().withAlpha(0.6));
    shadowed->setShadowOffset({ 1, 1 });
    shadowed->setBackgroundColor(Color::hex(0x1e88e5));
    root->addSubview(shadowed);
    y += 36;

    root->addSubview(label("Buttons", Font::boldSystemFont(20), Color::black(), { 16, y, width - 32, 26 }));
    y += 32;
    auto button = Button::system("Tap me");
    button->setFrame({ 16, y, 120, 36 });
    button->setTag(kGalleryButtonTag);
    auto counter = label("0 taps", Font::systemFont(15), Color::black(), { 152, y, width - 168, 36 });
    counter->setTag(kGalleryTapCountTag);
    auto taps = std::make_shared<int>(0);
    Label* counterView = counter.get();
    button->addAction(ControlEvent::TouchUpInside, [taps, counterView](Control&) {
        ++*taps;
        counterView->setText(std::to_string(*taps) + (*taps == 1 ? " tap" : " taps"));
    });
    root->addSubview(button);
    root->addSubview(counter);
    y += 44;
    auto custom = Button::custom(swatch(4));
    custom->setFrame({ 16, y, 32, 32 });
    root->addSubview(custom);
    y += 44;

    root->addSubview(label("Images and colours", Font::boldSystemFont(20), Color::black(), { 16, y, width - 32, 26 }));
    y += 32;
    for (int i = 0; i < 6; ++i) {
        auto image = View::create<ImageView>(swatch(i));
        image->setFrame({ 16 + i * 40.0, y, 32, 32 });
        root->addSubview(image);
    }
    y += 40;
    auto stretched = View::create<ImageView>(swatch(3));
    stretched->setFrame({ 16, y, width - 32, 24 });
    stretched->setContentMode(ContentMode::ScaleToFill);
    root->addSubview(stretched);
    y += 32;
    const Color colours[] = { Color::black(), Color::lightGray(), Color::systemRed(), Color::systemGreen(),
        Color::systemBlue(), Color::rgba(0.0, 0.68, 0.96) };
    for (int i = 0; i < 6; ++i) {
        auto box = View::create<View>();
        box->setFrame({ 16 + i * 40.0, y, 32, 32 });
        box->setBackgroundColor(colours[i]);
        box->setCornerRadius(i % 2 ? 16 : 4);
        root->addSubview(box);
    }
    y += 40;
    auto turned = label("Turned", Font::systemFont(15), Color::black(), { 16, y + 20, 100, 20 });
    turned->setTransform(AffineTransform::rotation(-0.3));
    turned->setBackgroundColor(Color::white(0.9));
    root->addSubview(turned);
    (void)height;
    return root;
}

std::shared_ptr<View> makeBusyScreen(double width, double height)
{
    auto root = View::create<View>();
    root->setFrame({ 0, 0, width, height });
    root->setBackgroundColor(Color::white(0.97));
    // Three columns of labels in rows of 20, then a grid of images below them.
    double columnWidth = (width - 16) / 3;
    for (int i = 0; i < kBusyLabelCount; ++i) {
        int column = i / 20, row = i % 20;
        auto view = label("Label " + std::to_string(i + 1) + (i % 3 == 0 ? " with a longer text" : ""),
            i % 4 == 0 ? Font::boldSystemFont(12) : Font::systemFont(12), i % 5 == 0 ? Color::systemBlue() : Color::black(),
            { 8 + column * columnWidth, 8 + row * 20.0, columnWidth - 4, 18 });
        view->setTextAlignment(column == 1 ? TextAlignment::Center : TextAlignment::Left);
        root->addSubview(view);
    }
    double top = 8 + 20 * 20 + 8;
    double cell = std::min((width - 16) / 5, (height - top - 8) / 4);
    for (int i = 0; i < kBusyImageCount; ++i) {
        auto image = View::create<ImageView>(swatch(i));
        image->setFrame({ 8 + (i % 5) * cell, top + (i / 5) * cell, cell - 6, cell - 6 });
        root->addSubview(image);
    }
    return root;
}

const std::vector<GalleryScreen>& galleryScreens()
{
    static const std::vector<GalleryScreen> screens = {
        { "controls", makeControlsScreen },
        { "busy", makeBusyScreen },
    };
    return screens;
}

} // namespace kit
