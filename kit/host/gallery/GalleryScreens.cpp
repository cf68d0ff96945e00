// SPDX-License-Identifier: MIT
#include "kit/host/gallery/GalleryScreens.h"

#include "kit/base/RunLoop.h"
#include "kit/device/DeviceProfile.h"
#include "kit/ui/AlertController.h"
#include "kit/ui/BarButtonItem.h"
#include "kit/ui/Button.h"
#include "kit/ui/Font.h"
#include "kit/ui/Image.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/NavigationController.h"
#include "kit/ui/PopoverPresentationController.h"
#include "kit/ui/SegmentedControl.h"
#include "kit/ui/TabBarController.h"
#include "kit/ui/TableView.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

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

// Tab icons: plain shapes, tinted by the tab bar.
ImagePtr icon(const char* shape)
{
    std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' width='30' height='30' viewBox='0 0 30 30'>";
    svg += shape;
    svg += "</svg>";
    return Image::fromSVGData(svg);
}

// Keeps a controller for as long as the gallery shows its view, and plays the part of the
// window for it: the controller appears when the view comes on screen and disappears when it
// leaves. `onScreen` runs once the view is in a window, so it can present over it.
class ControllerHolderView : public View {
public:
    std::shared_ptr<ViewController> controller;
    std::function<void(ViewController&)> onScreen;

    std::string className() const override { return "GalleryControllerHolder"; }

    void hold(std::shared_ptr<ViewController> held)
    {
        controller = std::move(held);
        auto view = controller->viewPtr();
        view->setFrame(bounds());
        view->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
        addSubview(view);
    }

protected:
    void didMoveToWindow() override
    {
        if (!controller)
            return;
        if (window()) {
            controller->beginAppearanceTransition(true, false);
            controller->endAppearanceTransition();
            if (onScreen) {
                std::weak_ptr<View> weak = weak_from_this();
                RunLoop::main().performAfterDelay(weak, 0, [weak] {
                    auto self = std::static_pointer_cast<ControllerHolderView>(weak.lock());
                    if (self && self->window() && self->onScreen)
                        self->onScreen(*self->controller);
                });
            }
            return;
        }
        // What it presented lies over the window, outside this view: it goes with the page.
        for (ViewController* c = controller.get(); c; c = c->presentedViewController()) {
            if (c->presentedViewController()) {
                c->dismissViewController(false);
                break;
            }
        }
        controller->beginAppearanceTransition(false, false);
        controller->endAppearanceTransition();
    }
};

std::shared_ptr<ControllerHolderView> holderFor(std::shared_ptr<ViewController> controller, double width, double height)
{
    auto holder = View::create<ControllerHolderView>();
    holder->setFrame({ 0, 0, width, height });
    holder->hold(std::move(controller));
    return holder;
}

struct GalleryRow {
    std::string title;
    std::string detail;
    TableViewCellAccessoryType accessory = TableViewCellAccessoryType::None;
    TableViewCellEditingStyle editingStyle = TableViewCellEditingStyle::Delete;
};

struct GallerySection {
    std::string header;
    std::vector<GalleryRow> rows;
};

// A section's title over its rows, in the grouped style's small grey capitals.
class SectionHeaderView : public View {
public:
    explicit SectionHeaderView(const std::string& text)
    {
        m_label = View::create<Label>(text);
        m_label->setFont(Font::systemFont(13));
        m_label->setTextColor(Color::rgba(0.43, 0.43, 0.45, 1));
    }
    void layoutSubviews() override
    {
        Rect b = bounds();
        m_label->setFrame({ 15, std::max(0.0, b.height() - 24), std::max(0.0, b.width() - 30), 18 });
    }

protected:
    void didCreate() override { addSubview(m_label); }

private:
    std::shared_ptr<Label> m_label;
};

// A screen that is one table of fixed rows; the editing controls really delete and insert.
class TableScreen : public ViewController, public TableViewDataSource, public TableViewDelegate {
public:
    TableScreen(std::string title, TableViewStyle style, TableViewCellStyle cellStyle, std::vector<GallerySection> sections)
        : m_style(style)
        , m_cellStyle(cellStyle)
        , m_sections(std::move(sections))
    {
        setTitle(std::move(title));
    }
    ~TableScreen() override
    {
        if (m_table) {
            m_table->setDataSource(nullptr);
            m_table->setDelegate(nullptr);
        }
    }

    TableView* table()
    {
        view();
        return m_table.get();
    }

    // ViewController
    void loadView() override
    {
        auto screen = DeviceProfile::current().screenSize;
        m_table = TableView::create({ 0, 0, screen.width, screen.height }, m_style);
        m_table->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
        if (m_style == TableViewStyle::Grouped)
            m_table->setBackgroundColor(Color::rgba(0.94, 0.94, 0.96, 1));
        else
            m_table->setBackgroundColor(Color::white());
        m_table->setDataSource(this);
        m_table->setDelegate(this);
        setView(m_table);
    }

    // TableViewDataSource
    int numberOfSectionsInTableView(TableView&) override { return static_cast<int>(m_sections.size()); }
    int numberOfRowsInSection(TableView&, int section) override
    {
        return section >= 0 && section < int(m_sections.size()) ? int(m_sections[section].rows.size()) : 0;
    }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& table, const IndexPath& path) override
    {
        auto cell = table.dequeueReusableCell("row");
        if (!cell)
            cell = TableViewCell::create(m_cellStyle, "row");
        const GalleryRow& row = m_sections[path.section].rows[path.row];
        cell->textLabel()->setText(row.title);
        if (cell->detailTextLabel())
            cell->detailTextLabel()->setText(row.detail);
        cell->setAccessoryType(row.accessory);
        return cell;
    }
    void commitEditingStyle(TableView& table, TableViewCellEditingStyle style, const IndexPath& path) override
    {
        auto& rows = m_sections[path.section].rows;
        if (style == TableViewCellEditingStyle::Delete) {
            rows.erase(rows.begin() + path.row);
            table.deleteRows({ path }, TableViewRowAnimation::Fade);
        } else if (style == TableViewCellEditingStyle::Insert) {
            rows.insert(rows.begin() + path.row, { "New interface " + std::to_string(++m_added), "added" });
            table.insertRows({ path }, TableViewRowAnimation::Fade);
        }
    }

    // TableViewDelegate
    double heightForHeaderInSection(TableView& table, int section) override
    {
        if (m_sections[section].header.empty())
            return m_style == TableViewStyle::Grouped ? 20 : 0;
        return table.sectionHeaderHeight() > 0 ? table.sectionHeaderHeight() : 35;
    }
    std::shared_ptr<View> viewForHeaderInSection(TableView&, int section) override
    {
        if (m_sections[section].header.empty())
            return nullptr;
        return View::create<SectionHeaderView>(m_sections[section].header);
    }
    TableViewCellEditingStyle editingStyleForRowAtIndexPath(TableView&, const IndexPath& path) override
    {
        return m_sections[path.section].rows[path.row].editingStyle;
    }

private:
    TableViewStyle m_style;
    TableViewCellStyle m_cellStyle;
    std::vector<GallerySection> m_sections;
    std::shared_ptr<TableView> m_table;
    int m_added = 0;
};

// A plain screen with a heading and a line of text.
class MessageScreen : public ViewController {
public:
    MessageScreen(std::string title, std::string heading, std::string text, Color background)
        : m_heading(std::move(heading))
        , m_text(std::move(text))
        , m_background(background)
    {
        setTitle(std::move(title));
    }

    void viewDidLoad() override
    {
        View* root = view();
        root->setBackgroundColor(m_background);
        double w = root->bounds().width();
        auto heading = label(m_heading, Font::boldSystemFont(34), Color::black(), { 16, 90, w - 32, 44 });
        heading->setTextAlignment(TextAlignment::Center);
        heading->setAutoresizingMask(FlexibleWidth);
        root->addSubview(heading);
        auto text = label(m_text, Font::systemFont(15), Color::darkGray(), { 24, 140, w - 48, 60 });
        text->setNumberOfLines(0);
        text->setTextAlignment(TextAlignment::Center);
        text->setAutoresizingMask(FlexibleWidth);
        root->addSubview(text);
    }

private:
    std::string m_heading;
    std::string m_text;
    Color m_background;
};

std::vector<GallerySection> deviceSections()
{
    using A = TableViewCellAccessoryType;
    return { { "",
        { { "iPhone 6", "", A::DisclosureIndicator }, { "iPad 2", "", A::DisclosureIndicator },
            { "iPad Pro 12.9-inch", "", A::DisclosureIndicator }, { "This machine", "", A::DisclosureIndicator } } } };
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
    const Color colours[] = { Color::black(), Color::lightGray(), Color::systemRed(), Color::systemGreen(), Color::systemBlue(),
        Color::rgba(0.0, 0.68, 0.96) };
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

std::shared_ptr<View> makeNavigationScreen(double width, double height)
{
    using A = TableViewCellAccessoryType;
    auto devices
        = ViewController::create<TableScreen>("Devices", TableViewStyle::Plain, TableViewCellStyle::Default, deviceSections());
    auto details = ViewController::create<TableScreen>("iPad 2", TableViewStyle::Grouped, TableViewCellStyle::Value1,
        std::vector<GallerySection> {
            { "MODEL", { { "Identifier", "iPad2,1", A::None }, { "Released", "March 2011", A::None } } },
            { "HARDWARE",
                { { "Memory", "512 MB", A::None }, { "Storage", "16 GB", A::None }, { "Display", "9.7-inch", A::None } } },
        });
    details->navigationItem().rightView = BarButtonItem::systemItem(BarButtonItem::SystemItem::Edit, {});
    auto navigation = NavigationController::create(devices);
    navigation->pushViewController(details, false);
    return holderFor(navigation, width, height);
}

std::shared_ptr<View> makeTabsScreen(double width, double height)
{
    struct Tab {
        const char* title;
        const char* heading;
        const char* text;
        const char* shape;
    };
    const Tab tabs[] = {
        { "Usage", "42 %", "of the memory is in use",
            "<rect x='3' y='16' width='6' height='11'/><rect x='12' y='9' width='6' height='18'/><rect x='21' y='3' width='6' height='24'/>" },
        { "Battery", "87 %", "charged, about 6 hours left",
            "<rect x='2' y='9' width='23' height='13' rx='2'/><rect x='26' y='13' width='3' height='5'/>" },
        { "Tech Specs", "iPad 2", "Apple A5, 512 MB, 9.7-inch display", "<circle cx='15' cy='15' r='12'/>" },
    };
    std::vector<std::shared_ptr<ViewController>> controllers;
    for (const Tab& tab : tabs) {
        auto screen = ViewController::create<MessageScreen>(tab.title, tab.heading, tab.text, Color::white());
        auto navigation = NavigationController::create(screen);
        navigation->tabBarItem().title = tab.title;
        navigation->tabBarItem().image = icon(tab.shape);
        controllers.push_back(navigation);
    }
    auto tabBar = TabBarController::create();
    tabBar->setViewControllers(controllers);
    tabBar->setSelectedIndex(1);
    return holderFor(tabBar, width, height);
}

std::shared_ptr<View> makeSegmentsScreen(double width, double height)
{
    auto root = View::create<View>();
    root->setFrame({ 0, 0, width, height });
    root->setBackgroundColor(Color::white());
    double y = 16;
    auto heading = [&](const std::string& text) {
        root->addSubview(label(text, Font::boldSystemFont(15), Color::black(), { 16, y, width - 32, 20 }));
        y += 26;
    };
    auto place = [&](std::shared_ptr<SegmentedControl> control, double controlWidth) {
        control->setFrame({ 16, y, controlWidth, control->frame().height() });
        root->addSubview(control);
        y += control->frame().height() + 20;
        return control;
    };

    heading("Selecting");
    auto period = place(View::create<SegmentedControl>(std::vector<std::string> { "Day", "Week", "Month" }), width - 32);
    period->setSelectedSegmentIndex(1);

    heading("Momentary (nothing stays selected)");
    auto share = place(View::create<SegmentedControl>(std::vector<std::string> { "Twitter", "Facebook", "Mail" }), width - 32);
    share->setMomentary(true);
    auto tapped = label("Tapped: none yet", Font::systemFont(13), Color::darkGray(), { 16, y - 16, width - 32, 18 });
    root->addSubview(tapped);
    y += 10;
    Label* tappedView = tapped.get();
    share->addAction(ControlEvent::ValueChanged, [tappedView](Control& sender) {
        auto& control = static_cast<SegmentedControl&>(sender);
        tappedView->setText("Tapped: " + control.titleForSegmentAtIndex(control.selectedSegmentIndex()));
    });

    heading("Tinted");
    auto tinted = place(View::create<SegmentedControl>(std::vector<std::string> { "Wi-Fi", "Cellular", "Ethernet" }), width - 32);
    tinted->setTintColor(Color::rgba(0.95, 0.45, 0.05));
    tinted->setSelectedSegmentIndex(0);

    heading("Disabled");
    auto disabled = place(View::create<SegmentedControl>(std::vector<std::string> { "On", "Off" }), 160);
    disabled->setSelectedSegmentIndex(1);
    disabled->setEnabled(false);

    heading("Narrow, long titles are cut short");
    place(View::create<SegmentedControl>(std::vector<std::string> { "Portrait orientation", "Landscape orientation" }), 220)
        ->setSelectedSegmentIndex(0);

    heading("Fitted to its titles");
    auto fitted = View::create<SegmentedControl>(std::vector<std::string> { "A", "B", "C", "D" });
    place(fitted, fitted->frame().width())->setSelectedSegmentIndex(3);
    return root;
}

std::shared_ptr<View> makeAlertScreen(double width, double height)
{
    auto behind
        = ViewController::create<TableScreen>("Devices", TableViewStyle::Plain, TableViewCellStyle::Default, deviceSections());
    auto navigation = NavigationController::create(behind);
    auto holder = holderFor(navigation, width, height);
    holder->onScreen = [](ViewController& controller) {
        auto alert = AlertController::create("New data available",
            "The device list was updated. Restart the application to see the newest devices.");
        alert->addAction(AlertAction::create("Not now", AlertActionStyle::Cancel));
        alert->addAction(AlertAction::create("Restart", AlertActionStyle::Default));
        // The gallery's window has no root controller for AlertController::show to find.
        controller.presentViewController(alert, true);
    };
    return holder;
}

std::shared_ptr<View> makePopoverScreen(double width, double height)
{
    class PopoverScreen : public MessageScreen {
    public:
        PopoverScreen()
            : MessageScreen("Compare", "Compare", "Pick the devices to compare from the list.", Color::white())
        {
        }
        std::shared_ptr<Button> button = Button::system("Choose devices");

        void viewDidLoad() override
        {
            MessageScreen::viewDidLoad();
            button->setFont(Font::systemFont(17));
            button->sizeToFit();
            Rect b = view()->bounds();
            button->setFrame({ b.width() - button->frame().width() - 12, 226, button->frame().width(), 34 });
            button->setAutoresizingMask(FlexibleLeftMargin);
            view()->addSubview(button);
            std::weak_ptr<ViewController> weak = weak_from_this();
            button->addAction(ControlEvent::TouchUpInside, [weak](Control&) {
                if (auto self = std::static_pointer_cast<PopoverScreen>(weak.lock()))
                    self->openList();
            });
        }
        void openList()
        {
            using A = TableViewCellAccessoryType;
            auto list = ViewController::create<TableScreen>("Devices", TableViewStyle::Plain, TableViewCellStyle::Default,
                std::vector<GallerySection> { { "",
                    { { "iPhone 6", "", A::Checkmark }, { "iPad 2", "", A::Checkmark }, { "iPad Pro 12.9-inch", "", A::None },
                        { "This machine", "", A::None } } } });
            list->setModalPresentationStyle(ModalPresentationStyle::Popover);
            list->setPreferredContentSize({ 240, 4 * 44 });
            auto* popover = PopoverPresentationController::forController(*list);
            popover->setSourceView(button.get());
            popover->setSourceRect(button->bounds());
            presentViewController(list, true);
        }
    };
    auto screen = ViewController::create<PopoverScreen>();
    auto holder = holderFor(screen, width, height);
    holder->onScreen = [](ViewController& controller) { static_cast<PopoverScreen&>(controller).openList(); };
    return holder;
}

std::shared_ptr<View> makeEditingScreen(double width, double height)
{
    using E = TableViewCellEditingStyle;
    using A = TableViewCellAccessoryType;
    auto interfaces = ViewController::create<TableScreen>("Interfaces", TableViewStyle::Grouped, TableViewCellStyle::Value1,
        std::vector<GallerySection> {
            { "WATCHED",
                { { "en0", "Ethernet", A::DisclosureIndicator, E::Delete },
                    { "wlp2s0", "Wi-Fi", A::DisclosureIndicator, E::Delete },
                    { "wwan0", "Cellular", A::DisclosureIndicator, E::Delete }, { "Add interface", "", A::None, E::Insert } } },
            { "NOT WATCHED", { { "lo", "Loopback", A::None, E::None }, { "docker0", "Bridge", A::None, E::Delete } } },
        });
    auto navigation = NavigationController::create(interfaces);
    TableScreen* screen = interfaces.get();
    NavigationController* nav = navigation.get();
    std::shared_ptr<BarButtonItem> toggle;
    toggle = BarButtonItem::systemItem(BarButtonItem::SystemItem::Done, [screen, nav] {
        TableView* table = screen->table();
        table->setEditing(!table->isEditing(), true);
        auto* item = static_cast<BarButtonItem*>(screen->navigationItem().rightView.get());
        item->setTitle(BarButtonItem::titleForSystemItem(
            table->isEditing() ? BarButtonItem::SystemItem::Done : BarButtonItem::SystemItem::Edit));
        item->setFont(table->isEditing() ? Font::boldSystemFont(17) : Font::systemFont(17));
        item->sizeToFit();
        nav->navigationBar()->setNeedsLayout();
    });
    interfaces->navigationItem().rightView = toggle;
    interfaces->table()->setEditing(true);
    return holderFor(navigation, width, height);
}

const std::vector<GalleryScreen>& galleryScreens()
{
    static const std::vector<GalleryScreen> screens = {
        { "controls", makeControlsScreen },
        { "busy", makeBusyScreen },
        { "navigation", makeNavigationScreen },
        { "tabs", makeTabsScreen },
        { "segments", makeSegmentsScreen },
        { "alert", makeAlertScreen },
        { "popover", makePopoverScreen },
        { "editing", makeEditingScreen },
    };
    return screens;
}

} // namespace kit
