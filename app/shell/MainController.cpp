// SPDX-License-Identifier: MIT
#include "app/shell/MainController.h"

#include "app/battery/BatteryController.h"
#include "app/compare/CompareController.h"
#include "app/shell/SocModView.h"
#include "app/techspecs/SpecsController.h"
#include "app/usage/UsageController.h"
#include "common/metrics/SharedTools.h"
#include "kit/base/NotificationCenter.h"
#include "kit/device/Device.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/NavigationController.h"

MainController::MainController() { m_socModView = kit::View::create<SocModView>(kit::Rect {}); }

namespace {

// The comparison opens its selection list on its own navigation stack.
std::shared_ptr<kit::ViewController> makeCompareTab()
{
    auto compare = kit::ViewController::create<CompareController>();
    auto navigation = kit::NavigationController::create(compare);
    navigation->setTitle(compare->title());
    navigation->navigationBar()->setBarStyle(kit::BarStyle::Black);
    return navigation;
}

} // namespace

MainController::~MainController() { kit::NotificationCenter::defaultCenter().removeObserver(this); }

std::vector<MainController::Tab> MainController::tabs()
{
    // Each screen takes its place here as it is built: Usage, Battery, Tech Specs, Compare.
    return {
        { [] { return kit::ViewController::create<UsageController>(); }, "usageTabBarIcon", "usage" },
        { [] { return kit::ViewController::create<BatteryController>(); }, "batteryTabBarIcon", "battery" },
        { [] { return kit::ViewController::create<SpecsController>(); }, "specTabBarIcon", "techspecs" },
        { makeCompareTab, "compareTabBarIcon", "compare" },
    };
}

void MainController::viewDidLoad()
{
    kit::TabBarController::viewDidLoad();

    std::vector<std::shared_ptr<kit::ViewController>> screens;
    for (auto& tab : tabs()) {
        auto screen = tab.make();
        screen->tabBarItem().image = kit::Image::named(tab.imageName);
        screen->tabBarItem().title = screen->title();
        screens.push_back(std::move(screen));
    }
    tabBar()->setBarStyle(kit::BarStyle::Black);
    setViewControllers(std::move(screens));

    kit::View& root = *view();
    double width = root.bounds().width();

    // The shadow lies directly above the tab bar, beneath the bar's own content.
    auto shadow = kit::Image::named("tabBarShadow");
    double shadowHeight = shadow ? shadow->size().height : 0;
    m_shadowView = kit::View::create<kit::ImageView>(shadow);
    m_shadowView->setFrame({ 0, -shadowHeight, width, shadowHeight });
    m_shadowView->setAutoresizingMask(kit::FlexibleWidth);
    tabBar()->insertSubview(m_shadowView, 0);

    m_bgImageView = kit::View::create<kit::ImageView>(SharedTools::launchImage());
    m_bgImageView->setFrame(root.bounds());
    m_bgImageView->setAutoresizingMask(kit::FlexibleWidth | kit::FlexibleHeight);
    m_bgImageView->setContentMode(kit::ContentMode::ScaleToFill);
    root.insertSubview(m_bgImageView, 0);

    m_socModView->setFrame(root.bounds());
    m_socModView->setAutoresizingMask(kit::FlexibleWidth | kit::FlexibleHeight);
    root.addSubview(m_socModView);
}

unsigned MainController::supportedInterfaceOrientations() const
{
    if (kit::Device::idiom() == kit::Idiom::Pad)
        return kit::OrientationAll;
    return kit::OrientationPortrait | kit::OrientationPortraitUpsideDown;
}

void MainController::viewWillTransitionToSize(kit::Size size, kit::TransitionCoordinator& coordinator)
{
    kit::TabBarController::viewWillTransitionToSize(size, coordinator);
    // The picture for the new orientation: chosen once the screen has its new size.
    coordinator.animateAlongsideTransition({}, [this] {
        if (m_bgImageView)
            m_bgImageView->setImage(SharedTools::launchImage());
    });
}
