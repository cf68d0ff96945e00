// SPDX-License-Identifier: MIT
#include "kit/ui/Animator.h"

#include "kit/base/RunLoop.h"

#include <algorithm>
#include <cmath>

namespace kit {

struct Animator::Group {
    std::function<void(bool)> completion;
    double duration = 0;
    double delay = 0;
    View::Curve curve = View::Curve::EaseInOut;
    double start = 0;
    int tracks = 0;
    bool superseded = false;
};

struct Animator::Track {
    View* view = nullptr;
    Property property = Center;
    View::Presentation from;
    std::shared_ptr<Group> group;
};

Animator& Animator::shared()
{
    static Animator* animator = new Animator; // never destroyed: views may outlive static teardown
    return *animator;
}

Animator::Animator() = default;
Animator::~Animator() = default;

namespace {

// The cubic Bézier from (0,0) to (1,1) with control points (x1,y1) and (x2,y2), solved for x.
double bezier(double x1, double y1, double x2, double y2, double x)
{
    auto coord = [](double p1, double p2, double t) {
        double u = 1 - t;
        return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
    };
    auto slope = [](double p1, double p2, double t) {
        double u = 1 - t;
        return 3 * u * u * p1 + 6 * u * t * (p2 - p1) + 3 * t * t * (1 - p2);
    };
    double t = x;
    for (int i = 0; i < 8; ++i) {
        double err = coord(x1, x2, t) - x;
        if (std::abs(err) < 1e-7)
            break;
        double d = slope(x1, x2, t);
        if (std::abs(d) < 1e-6)
            break;
        t = std::clamp(t - err / d, 0.0, 1.0);
    }
    // Bisection finishes what Newton's method could not.
    double lo = 0, hi = 1;
    for (int i = 0; i < 40 && std::abs(coord(x1, x2, t) - x) > 1e-7; ++i) {
        t = (lo + hi) / 2;
        if (coord(x1, x2, t) < x)
            lo = t;
        else
            hi = t;
    }
    return coord(y1, y2, t);
}

double lerp(double a, double b, double t) { return a + (b - a) * t; }

} // namespace

double Animator::ease(View::Curve curve, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    if (t == 0 || t == 1)
        return t;
    switch (curve) {
    case View::Curve::Linear:
        return t;
    case View::Curve::EaseIn:
        return bezier(0.42, 0, 1, 1, t);
    case View::Curve::EaseOut:
        return bezier(0, 0, 0.58, 1, t);
    case View::Curve::EaseInOut:
        break;
    }
    return bezier(0.42, 0, 0.58, 1, t);
}

bool Animator::hasAnimations() const { return !m_tracks.empty(); }

std::size_t Animator::animationCount() const { return m_tracks.size(); }

void Animator::setFrameDriven(bool frameDriven)
{
    m_frameDriven = frameDriven;
    if (frameDriven && m_timer) {
        m_timer->invalidate();
        m_timer.reset();
    }
    if (!frameDriven)
        startTimerIfNeeded();
}

void Animator::beginCapture(double duration, double delay, View::Curve curve)
{
    auto group = std::make_shared<Group>();
    group->duration = duration;
    group->delay = delay;
    group->curve = curve;
    group->start = RunLoop::main().now() + delay;
    m_capture.push_back(std::move(group));
}

bool Animator::isCapturing() const { return !m_capture.empty() && m_suppressed == 0; }

bool Animator::endCapture(std::function<void(bool)> completion)
{
    if (m_capture.empty())
        return false;
    auto group = m_capture.back();
    m_capture.pop_back();
    if (group->tracks == 0) {
        if (completion)
            completion(true);
        return false;
    }
    group->completion = std::move(completion);
    startTimerIfNeeded();
    if (onAnimationsStarted)
        onAnimationsStarted();
    return true;
}

void Animator::record(View& view, Property property, const View::Presentation& from)
{
    if (m_capture.empty())
        return;
    std::vector<std::shared_ptr<Group>> emptied;
    // A newer animation of the same value takes over from wherever the drawn value is now.
    for (auto it = m_tracks.begin(); it != m_tracks.end();) {
        if ((*it)->view == &view && (*it)->property == property) {
            auto group = (*it)->group;
            group->superseded = true;
            if (--group->tracks == 0)
                emptied.push_back(group);
            it = m_tracks.erase(it);
        } else {
            ++it;
        }
    }
    auto track = std::make_shared<Track>();
    track->view = &view;
    track->property = property;
    track->from = from;
    track->group = m_capture.back();
    ++track->group->tracks;
    m_tracks.push_back(track);
    view.setPresentation(from, property);
    for (auto& group : emptied) {
        if (group->completion)
            group->completion(false);
    }
}

void Animator::removeAnimations(View& view)
{
    std::vector<std::shared_ptr<Group>> emptied;
    for (auto it = m_tracks.begin(); it != m_tracks.end();) {
        if ((*it)->view == &view) {
            auto group = (*it)->group;
            group->superseded = true;
            if (--group->tracks == 0)
                emptied.push_back(group);
            it = m_tracks.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& group : emptied) {
        if (group->completion)
            group->completion(false);
    }
}

bool Animator::isAnimating(const View& view) const
{
    return std::any_of(m_tracks.begin(), m_tracks.end(), [&](auto& t) { return t->view == &view; });
}

void Animator::tick(double now)
{
    std::vector<std::shared_ptr<Group>> done;
    // Work on a copy: setting presentations can call out to the host.
    auto tracks = m_tracks;
    for (auto& track : tracks) {
        auto& group = *track->group;
        double t = group.duration > 0 ? (now - group.start) / group.duration : 1;
        View& view = *track->view;
        if (t >= 1) {
            view.clearPresentation(track->property);
            auto it = std::find(m_tracks.begin(), m_tracks.end(), track);
            if (it != m_tracks.end()) {
                m_tracks.erase(it);
                if (--group.tracks == 0)
                    done.push_back(track->group);
            }
            continue;
        }
        double e = ease(group.curve, std::max(0.0, t));
        View::Presentation to { view.center(), view.bounds(), view.transform(), view.alpha() };
        const View::Presentation& from = track->from;
        View::Presentation p = to;
        switch (track->property) {
        case Center:
            p.center = { lerp(from.center.x, to.center.x, e), lerp(from.center.y, to.center.y, e) };
            break;
        case Bounds:
            p.bounds = { lerp(from.bounds.origin.x, to.bounds.origin.x, e), lerp(from.bounds.origin.y, to.bounds.origin.y, e),
                lerp(from.bounds.size.width, to.bounds.size.width, e), lerp(from.bounds.size.height, to.bounds.size.height, e) };
            break;
        case Transform: {
            const auto& a = from.transform;
            const auto& b = to.transform;
            p.transform = { lerp(a.a, b.a, e), lerp(a.b, b.b, e), lerp(a.c, b.c, e), lerp(a.d, b.d, e), lerp(a.tx, b.tx, e),
                lerp(a.ty, b.ty, e) };
            break;
        }
        case Alpha:
            p.alpha = lerp(from.alpha, to.alpha, e);
            break;
        }
        view.setPresentation(p, track->property);
    }
    if (m_tracks.empty() && m_timer) {
        m_timer->invalidate();
        m_timer.reset();
    }
    for (auto& group : done) {
        if (group->completion) {
            auto completion = std::move(group->completion);
            completion(!group->superseded);
        }
    }
}

void Animator::cancelAll()
{
    std::vector<std::shared_ptr<Group>> groups;
    for (auto& track : m_tracks) {
        track->view->clearPresentation(track->property);
        if (std::find(groups.begin(), groups.end(), track->group) == groups.end())
            groups.push_back(track->group);
    }
    m_tracks.clear();
    if (m_timer) {
        m_timer->invalidate();
        m_timer.reset();
    }
    for (auto& group : groups) {
        group->tracks = 0;
        if (group->completion) {
            auto completion = std::move(group->completion);
            completion(false);
        }
    }
}

void Animator::startTimerIfNeeded()
{
    if (m_frameDriven || m_timer || m_tracks.empty())
        return;
    m_timer = Timer::scheduled(1.0 / 60, true, [](Timer&) { Animator::shared().tick(RunLoop::main().now()); });
}

} // namespace kit
