// SPDX-License-Identifier: MIT
#pragma once

#include "kit/device/DeviceProfile.h"
#include "kit/ui/Geometry.h"
#include "kit/ui/View.h"
#include "kit/ui/ViewController.h"

namespace kit::test {

// Loads a screen's view at the given size: the size is in place before the view is first asked
// for, so loadView and viewDidLoad run exactly once and see the size the test wants. Calling
// view() and then viewDidLoad() again builds the screen twice and registers its observers twice.
inline View* loadScreen(ViewController& controller, Size size)
{
    if (controller.isViewLoaded()) {
        controller.view()->setFrame({ 0, 0, size.width, size.height });
        return controller.view();
    }
    // The default root view takes the profile's screen size; lend it the test's size while
    // the view loads.
    DeviceProfile saved = DeviceProfile::current();
    DeviceProfile lent = saved;
    lent.screenSize = { size.width, size.height };
    DeviceProfile::setCurrent(lent);
    View* view = controller.view();
    DeviceProfile::setCurrent(saved);
    // A screen with a loadView of its own may not take the profile's size.
    if (view && (view->frame().width() != size.width || view->frame().height() != size.height))
        view->setFrame({ view->frame().minX(), view->frame().minY(), size.width, size.height });
    return view;
}

} // namespace kit::test
