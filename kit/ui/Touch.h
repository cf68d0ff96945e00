// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Geometry.h"

namespace kit {

class View;
class Window;

// One finger (or the pointer) on the screen. The window delivers the same touch through its
// phases to the view that was hit when it began, unless an ancestor intercepts it.
struct Touch {
    enum class Phase { Began, Moved, Ended, Cancelled };

    Phase phase = Phase::Began;
    // Where the touch is now and where it was at the previous event, in window coordinates.
    Point locationInWindow;
    Point previousLocationInWindow;
    // Where it began, in window coordinates.
    Point startLocationInWindow;
    // Points per second in window coordinates, measured by the host (drags; zero for taps).
    Point velocity;
    // Seconds on the run loop's clock.
    double timestamp = 0;
    int tapCount = 1;
    Window* window = nullptr;
    // The view the touch was delivered to.
    View* view = nullptr;

    // Location in the coordinate space of `view`; window coordinates for nullptr.
    Point locationInView(const View* view) const;
    Point previousLocationInView(const View* view) const;
    // Distance moved since the touch began, in window points.
    double distanceFromStart() const;
};

} // namespace kit
