// SPDX-License-Identifier: MIT
#include "app/compare/CompareController.h"

#include "app/compare/CompareListController.h"
#include "app/specs/DataKeeper.h"
#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"
#include "kit/base/UserDefaults.h"
#include "kit/device/Device.h"
#include "kit/ui/Application.h"
#include "kit/ui/BarButtonItem.h"
#include "kit/ui/Button.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/NavigationController.h"
#include "kit/ui/TableViewCell.h"
#include "kit/ui/Window.h"

#include <algorithm>
#include <cmath>

namespace {

bool isPad() { return kit::Device::idiom() == kit::Idiom::Pad; }
double pick(double pad, double phone) { return isPad() ? pad : phone; }

std::string localized(std::string_view key) { return kit::Bundle::mainBundle().localizedString(key); }

// Dimensions of the comparison by idiom.
double modelsColumnWidth() { return pick(200, 124); }
double sectionHeaderHeight() { return pick(40, 30); }

const kit::Color kModelsTextColor { 0.66, 0.70, 0.74, 1.0 };
const kit::Color kValueTextColor { 0.86, 0.90, 0.94, 1.0 };

std::shared_ptr<kit::Label> makeCellLabel(int tag, kit::TextAlignment alignment, const kit::Color& color)
{
    auto label = kit::View::create<kit::Label>();
    label->setTag(tag);
    label->setTextAlignment(alignment);
    label->setTextColor(color);
    label->setShadowColor(kit::Color::black().withAlpha(0.6));
    label->setShadowOffset({ 0, 1 });
    label->setBackgroundColor(kit::Color::clear());
    label->setNumberOfLines(0);
    return label;
}

double heightRoundedUp(const kit::AttributedString& text, double width, double lineLimit)
{
    return std::ceil(text.boundingRect(kit::Size { width, lineLimit }).height()) + 1;
}

// The figure that the value bar sits under: the value text up to the line break before its
// second part.
kit::AttributedString firstPart(const kit::AttributedString& value)
{
    kit::AttributedString part;
    for (const auto& run : value.runs()) {
        std::size_t end = run.text.find('\n');
        part.append(run.text.substr(0, end), run.attributes);
        if (end != std::string::npos)
            break;
    }
    return part;
}

// How many lines the value label wraps that figure into: a long one ("296.63 × 228.98 ×
// 15.85 mm") needs more than one on a narrow phone.
int firstPartLines(const kit::Label& value)
{
    if (!value.attributedText())
        return 1;
    kit::TextLayout::Options options;
    options.width = value.bounds().width();
    options.defaultFont = value.font();
    return std::max(1, kit::TextLayout(firstPart(*value.attributedText()), options).lineCount());
}

const kit::AttributedString& styledText(const kit::Value& item)
{
    static const kit::AttributedString empty;
    auto styled = item.objectAs<kit::AttributedString>();
    return styled ? *styled : empty;
}

} // namespace

CompareController::CompareController()
    : m_bodyFont(kit::Font::preferredFontForTextStyle("UIFontTextStyleBody"))
    , m_textBorder(pick(12, 8))
    , m_styles(ComparisonBuilder::textStyles(isPad()))
{
    setTitle(localized("Compare"));
    navigationItem().rightView
        = kit::BarButtonItem::systemItem(kit::BarButtonItem::SystemItem::Edit, [this] { prepareSelectedModels(); });
}

CompareController::~CompareController()
{
    m_observations.clear();
    kit::NotificationCenter::defaultCenter().removeObserver(this);
    if (auto list = m_presentedList.lock())
        kit::PopoverPresentationController::forController(*list)->setDelegate(nullptr);
    if (m_comparisonTableView) {
        m_comparisonTableView->setDataSource(nullptr);
        m_comparisonTableView->setDelegate(nullptr);
    }
}

void CompareController::viewDidLoad()
{
    kit::ViewController::viewDidLoad();
    if (isPad())
        buildCompareListButton();
    buildComparisonTable();

    auto& center = kit::NotificationCenter::defaultCenter();
    m_observations.push_back(center.addObserver(kit::kApplicationDidBecomeActiveNotification, nullptr, this,
        [this](const kit::Notification&) { didBecomeActive(); }));
    m_observations.push_back(center.addObserver(kit::kApplicationDidEnterBackgroundNotification, nullptr, this,
        [this](const kit::Notification&) { didEnterBackground(); }));
    m_wasInactive = false;
}

void CompareController::buildCompareListButton()
{
    m_compareListButton = kit::Button::system(localized("ComparisonModelsListEdit"));
    m_compareListButton->setFont(m_bodyFont);
    m_compareListButton->sizeToFit();
    m_compareListButton->addAction(kit::ControlEvent::TouchUpInside, [this](kit::Control&) { prepareSelectedModels(); });
    view()->addSubview(m_compareListButton);
}

void CompareController::buildComparisonTable()
{
    kit::View& root = *view();
    bool pad = isPad();
    m_comparisonTableView = kit::TableView::create(root.bounds(), kit::TableViewStyle::Plain);
    m_comparisonTableView->setDataSource(this);
    m_comparisonTableView->setDelegate(this);
    m_comparisonTableView->setContentInset({ 0, 0, pick(80, 40), 0 });
    m_comparisonTableView->setBackgroundColor(kit::Color::clear());
    m_comparisonTableView->setSeparatorStyle(kit::TableViewCellSeparatorStyle::None);
    m_comparisonTableView->setCornerRadius(pick(4, 0));
    // A tablet's table is placed by updateOrientationAndAnimateDuration alone. A phone's follows
    // the view, which on the desktop may also be made wider.
    if (!pad)
        m_comparisonTableView->setAutoresizingMask(kit::FlexibleWidth | kit::FlexibleHeight);
    root.addSubview(m_comparisonTableView);
}

void CompareController::viewWillAppear(bool animated)
{
    kit::ViewController::viewWillAppear(animated);
    updateOrientationAndAnimateDuration(0);
    updateUI();
}

void CompareController::viewWillTransitionToSize(kit::Size size, kit::TransitionCoordinator& coordinator)
{
    kit::ViewController::viewWillTransitionToSize(size, coordinator);
    // The window takes its new size only after this call; the layout is for the size to come.
    m_transitionSize = size;
    updateOrientationAndAnimateDuration(coordinator.transitionDuration());
    m_transitionSize.reset();
}

kit::Size CompareController::screenSize() const
{
    if (m_transitionSize)
        return *m_transitionSize;
    if (auto* window = this->window())
        return window->bounds().size;
    auto screen = kit::Device::screenSize();
    return { screen.width, screen.height };
}

void CompareController::updateOrientationAndAnimateDuration(double duration)
{
    if (!isPad() || !isViewLoaded())
        return;
    kit::View::animate(duration, [this] {
        auto [width, height] = screenSize();
        double margin = width < height ? 0.1 : 0.2;
        m_comparisonTableView->setFrame({ width * margin, height * 0.05, width * (1 - 2 * margin), height * 0.9 });
        if (m_compareListButton) {
            kit::Rect table = m_comparisonTableView->frame();
            kit::Size button = m_compareListButton->frame().size;
            m_compareListButton->setFrame(
                { table.maxX() - button.width, table.minY() - button.height, button.width, button.height });
        }
    });
}

void CompareController::didEnterBackground() { m_wasInactive = true; }

void CompareController::didBecomeActive()
{
    if (!m_wasInactive)
        return;
    m_wasInactive = false;
    updateUI();
}

void CompareController::updateUI()
{
    if (auto* navigation = navigationController())
        navigation->setNavigationBarHidden(isPad());
    updateCompareData();
}

void CompareController::prepareSelectedModels()
{
    if (!isPad()) {
        // Coming back from the list makes this screen appear again, which rebuilds it.
        auto* navigation = navigationController();
        if (!navigation || navigation->topViewController() != this || navigation->isInTransition())
            return;
        navigation->pushViewController(kit::ViewController::create<CompareListController>(kit::TableViewStyle::Grouped), true);
        return;
    }
    // One list at a time: a second popover would be refused, and its dismissal never told.
    if (!m_compareListButton || presentedViewController())
        return;
    auto list
        = kit::NavigationController::create(kit::ViewController::create<CompareListController>(kit::TableViewStyle::Grouped));
    if (auto* own = navigationController())
        list->navigationBar()->setBarStyle(own->navigationBar()->barStyle());
    list->setModalPresentationStyle(kit::ModalPresentationStyle::Popover);
    auto* popover = kit::PopoverPresentationController::forController(*list);
    popover->setSourceView(view());
    popover->setSourceRect(m_compareListButton->frame());
    popover->setPermittedArrowDirections(kit::PopoverArrowDirectionAny);
    popover->setDelegate(this);
    m_compareListPopoverController = popover;
    m_presentedList = list;
    presentViewController(list, true);
}

void CompareController::updateCompareData()
{
    auto selection = ComparisonBuilder::selection(kit::UserDefaults::standardUserDefaults(), DataKeeper::thisModelKey(), true);
    m_dataModel = ComparisonBuilder::build(
        selection, DataKeeper::comparisonSpecsKeys(), [](std::string_view key) { return DataKeeper::specsForModel(key); },
        m_styles);
    if (m_comparisonTableView)
        m_comparisonTableView->reloadData();
}

void CompareController::calcSizesForString(const kit::AttributedString& first, const kit::AttributedString& second, double width)
{
    double lineLimit = kMeasuredLineLimit * (m_styles.name.font ? m_styles.name.font->lineHeight() : 0);
    double firstWidth = modelsColumnWidth();
    double secondWidth = width - 3 * m_textBorder - firstWidth;
    m_firstSize = { firstWidth, heightRoundedUp(first, firstWidth, lineLimit) };
    m_secondSize = { secondWidth, heightRoundedUp(second, secondWidth, lineLimit) };
}

void CompareController::setFramesForLabel(kit::Label& first, kit::Label& second, double width)
{
    static const kit::AttributedString empty;
    calcSizesForString(first.attributedText() ? *first.attributedText() : empty,
        second.attributedText() ? *second.attributedText() : empty, width);
    first.setFrame({ { m_textBorder, m_textBorder }, m_firstSize });
    second.setFrame({ { first.frame().maxX() + m_textBorder, m_textBorder }, m_secondSize });
}

double CompareController::valueBarWidth(double room, double number, double firstNumber)
{
    double ratio = number / (firstNumber == 0 ? 1 : firstNumber);
    // Bars measure positive figures against a positive largest one. Negative or overflowing
    // figures would draw bars backwards or past the cell.
    if (firstNumber < 0 || !std::isfinite(ratio) || !(room > 0))
        return 0;
    return std::ceil(room * std::clamp(ratio, 0.0, 1.0));
}

const kit::Value& CompareController::rowAt(const kit::IndexPath& indexPath) const
{
    return m_dataModel.at(static_cast<std::size_t>(indexPath.section))[ComparisonBuilder::kRowsKey].at(
        static_cast<std::size_t>(indexPath.row));
}

double CompareController::availableWidth(kit::TableView& tableView, const kit::Value& row) const
{
    double accessory = 0;
    if (auto view = row[ComparisonBuilder::kAccessoryKey].objectAs<kit::View>())
        accessory = view->frame().width();
    return tableView.bounds().width() - accessory - m_textBorder;
}

int CompareController::numberOfSectionsInTableView(kit::TableView&) { return static_cast<int>(m_dataModel.size()); }

int CompareController::numberOfRowsInSection(kit::TableView&, int section)
{
    return static_cast<int>(m_dataModel.at(static_cast<std::size_t>(section))[ComparisonBuilder::kRowsKey].count());
}

std::shared_ptr<kit::TableViewCell> CompareController::cellForRowAtIndexPath(kit::TableView& tableView,
    const kit::IndexPath& indexPath)
{
    auto cell = tableView.dequeueReusableCell(std::string(kCellIdentifier));
    if (!cell) {
        cell = kit::TableViewCell::create(kit::TableViewCellStyle::Default, std::string(kCellIdentifier));
        cell->setSelectionStyle(kit::TableViewCellSelectionStyle::None);
        cell->setBackgroundColor(kit::Color::clear());
        if (isPad())
            cell->setBackgroundView(kit::View::create<kit::ImageView>(kit::Image::named("generalCellBg")));

        // The bar first, so it lies beneath the labels.
        auto bar = kit::View::create<kit::ImageView>(kit::Image::named("barBlue"));
        bar->setTag(kValueBarTag);
        bar->setClipsToBounds(true);
        bar->setCornerRadius(pick(5, 2));
        kit::View* content = cell->contentView();
        content->addSubview(bar);
        content->addSubview(makeCellLabel(kModelsLabelTag, kit::TextAlignment::Right, kModelsTextColor));
        content->addSubview(makeCellLabel(kValueLabelTag, kit::TextAlignment::Natural, kValueTextColor));
        content->addSubview(kit::View::create<kit::ImageView>(kit::Image::named("specsCellDivider")));
    }
    cell->setAccessoryView(rowAt(indexPath)[ComparisonBuilder::kAccessoryKey].objectAs<kit::View>());
    return cell;
}

void CompareController::willDisplayCell(kit::TableView& tableView, kit::TableViewCell& cell, const kit::IndexPath& indexPath)
{
    kit::View* content = cell.contentView();
    auto* models = dynamic_cast<kit::Label*>(content->viewWithTag(kModelsLabelTag));
    auto* value = dynamic_cast<kit::Label*>(content->viewWithTag(kValueLabelTag));
    kit::View* bar = content->viewWithTag(kValueBarTag);
    if (!models || !value || !bar)
        return;
    const kit::Value& row = rowAt(indexPath);
    models->setAttributedText(row[ComparisonBuilder::kRowFirstItemKey].objectAs<kit::AttributedString>());
    value->setAttributedText(row[ComparisonBuilder::kRowSecondItemKey].objectAs<kit::AttributedString>());
    setFramesForLabel(*models, *value, availableWidth(tableView, row));

    const kit::Value& firstRow = rowAt({ indexPath.section, 0 });
    double x = value->frame().minX() - 4;
    double lineHeight = m_styles.value.font ? m_styles.value.font->lineHeight() : 0;
    double room = content->bounds().width() - x - m_textBorder;
    // The bar is as tall as the figure's lines, so a wrapped figure stays on it.
    bar->setFrame({ x, value->frame().minY(),
        valueBarWidth(room, ComparisonBuilder::rowNumber(row), ComparisonBuilder::rowNumber(firstRow)),
        firstPartLines(*value) * lineHeight + 2 });
}

double CompareController::heightForRowAtIndexPath(kit::TableView& tableView, const kit::IndexPath& indexPath)
{
    const kit::Value& row = rowAt(indexPath);
    calcSizesForString(styledText(row[ComparisonBuilder::kRowFirstItemKey]),
        styledText(row[ComparisonBuilder::kRowSecondItemKey]), availableWidth(tableView, row));
    return 2 * m_textBorder + std::max(m_firstSize.height, m_secondSize.height);
}

double CompareController::heightForHeaderInSection(kit::TableView&, int) { return sectionHeaderHeight(); }

std::shared_ptr<kit::View> CompareController::viewForHeaderInSection(kit::TableView& tableView, int section)
{
    double width = tableView.bounds().width();
    double height = sectionHeaderHeight();
    auto header = kit::View::create<kit::ImageView>(kit::Image::named("generalTableHeader"));
    header->setFrame({ 0, 0, width, height });
    auto label = kit::View::create<kit::Label>();
    label->setFrame({ m_textBorder, 0, width - 2 * m_textBorder, height });
    label->setText(m_dataModel.at(static_cast<std::size_t>(section))[ComparisonBuilder::kHeaderKey].string());
    label->setFont(SharedTools::fontWithName("HelveticaNeue-Bold", pick(17, 13)));
    label->setTextColor(kit::Color::white(0.8));
    label->setShadowColor(kit::Color::black().withAlpha(0.6));
    label->setShadowOffset({ 0, 1 });
    label->setBackgroundColor(kit::Color::clear());
    header->addSubview(label);
    return header;
}

void CompareController::popoverPresentationControllerDidDismissPopover(kit::PopoverPresentationController& popover)
{
    if (&popover != m_compareListPopoverController)
        return;
    m_compareListPopoverController = nullptr;
    updateCompareData();
}

void CompareController::willRepositionPopoverToRect(kit::PopoverPresentationController&, kit::Rect& rect, kit::View*& view)
{
    view = this->view();
    if (m_compareListButton)
        rect = m_compareListButton->frame();
}
