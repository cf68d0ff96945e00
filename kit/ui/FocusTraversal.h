// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Geometry.h"

#include <vector>

namespace kit {

class View;

// The order Tab walks the keyboard focus in: the focusable views a person sees, in reading
// order. Kept apart from the views so the order itself is plain logic.

// A view Tab may stop at, with its frame in window coordinates.
struct FocusCandidate {
    View* view = nullptr;
    Rect frame;
};

// Reading order: top to bottom, then left to right. Tops within kFocusLineTolerance points of
// the line's first view count as one line (a bar's buttons whose heights differ a little).
// Stable: equal places keep their given order.
inline constexpr double kFocusLineTolerance = 4;
void sortInReadingOrder(std::vector<FocusCandidate>& candidates);

// The view after `current` in `order` (before it when `backwards`), wrapping around at either
// end. Without a current view, or one not in the order, the first (or last) one. Null when
// the order is empty.
View* nextInFocusOrder(const std::vector<View*>& order, const View* current, bool backwards);

// The views under `root` that Tab stops at, in reading order: those whose canBecomeFocused()
// holds and that can be seen, i.e. neither they nor an ancestor up to `root` is hidden or
// nearly transparent (alpha < 0.01) or refuses interaction, and some of them lies inside
// `root`'s bounds and every clipping ancestor's bounds. `root` itself is not a candidate.
std::vector<View*> focusOrder(View& root);

} // namespace kit
