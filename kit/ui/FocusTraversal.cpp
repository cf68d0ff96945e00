// SPDX-License-Identifier: MIT
#include "kit/ui/FocusTraversal.h"

#include "kit/ui/View.h"

#include <algorithm>

namespace kit {

void sortInReadingOrder(std::vector<FocusCandidate>& candidates)
{
    // Lines first: walking the candidates by their tops, a top more than the tolerance below
    // the current line's first top starts a new line. Then each line left to right.
    std::vector<std::size_t> byTop(candidates.size());
    for (std::size_t i = 0; i < byTop.size(); ++i)
        byTop[i] = i;
    std::stable_sort(byTop.begin(), byTop.end(),
        [&](std::size_t a, std::size_t b) { return candidates[a].frame.minY() < candidates[b].frame.minY(); });
    std::vector<int> line(candidates.size(), 0);
    int current = -1;
    double lineTop = 0;
    for (std::size_t index : byTop) {
        double top = candidates[index].frame.minY();
        if (current < 0 || top - lineTop > kFocusLineTolerance) {
            ++current;
            lineTop = top;
        }
        line[index] = current;
    }
    std::vector<std::size_t> order(candidates.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (line[a] != line[b])
            return line[a] < line[b];
        return candidates[a].frame.minX() < candidates[b].frame.minX();
    });
    std::vector<FocusCandidate> sorted;
    sorted.reserve(candidates.size());
    for (std::size_t index : order)
        sorted.push_back(candidates[index]);
    candidates = std::move(sorted);
}

View* nextInFocusOrder(const std::vector<View*>& order, const View* current, bool backwards)
{
    if (order.empty())
        return nullptr;
    auto at = std::find(order.begin(), order.end(), current);
    if (at == order.end())
        return backwards ? order.back() : order.front();
    auto index = static_cast<std::size_t>(at - order.begin());
    std::size_t count = order.size();
    return order[backwards ? (index + count - 1) % count : (index + 1) % count];
}

namespace {

bool isShown(const View& view) { return !view.isHidden() && view.alpha() >= 0.01 && view.isUserInteractionEnabled(); }

// `visible` is the part of the root's bounds not clipped away so far, in window coordinates.
void collect(View& view, const Rect& visible, std::vector<FocusCandidate>& out)
{
    for (auto& child : view.subviews()) {
        if (!isShown(*child))
            continue;
        Rect frame = child->convertRectTo(child->bounds(), nullptr);
        Rect seen = frame.intersection(visible);
        if (child->canBecomeFocused() && !seen.isEmpty())
            out.push_back({ child.get(), frame });
        collect(*child, child->clipsToBounds() ? seen : visible, out);
    }
}

} // namespace

std::vector<View*> focusOrder(View& root)
{
    std::vector<FocusCandidate> candidates;
    if (isShown(root))
        collect(root, root.convertRectTo(root.bounds(), nullptr), candidates);
    sortInReadingOrder(candidates);
    std::vector<View*> order;
    order.reserve(candidates.size());
    for (auto& candidate : candidates)
        order.push_back(candidate.view);
    return order;
}

} // namespace kit
