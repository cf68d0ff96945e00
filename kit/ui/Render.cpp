// SPDX-License-Identifier: MIT
#include "kit/ui/Render.h"

#include "kit/ui/Animator.h"
#include "kit/ui/GraphicsContext.h"
#include "kit/ui/View.h"
#include "kit/ui/VisualEffectView.h"
#include "kit/ui/Window.h"

#include <algorithm>
#include <cmath>

namespace kit {

namespace {

// The focus ring: this wide, this far from the view's bounds.
constexpr double kFocusRingWidth = View::kFocusRingWidth;
constexpr double kFocusRingGap = View::kFocusRingGap;

Rect clipExtents(cairo_t* cr)
{
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    return { x1, y1, x2 - x1, y2 - y1 };
}

void renderView(View& view, cairo_t* cr, GraphicsContext& context, bool applyOwnTransform);

// Narrows the clip to what `content` (a subview of `parent`, whose coordinates `cr` is in) covers,
// widened to whole device pixels, so a group pushed for it is no larger than the content even
// when the damage spans the window; nothing outside was drawn, so the pixels are the same.
// While anything animates, what is drawn may lie outside the model's area: the clip stays.
void clipToReach(const View& content, const View& parent, cairo_t* cr)
{
    if (Animator::shared().hasAnimations())
        return;
    Rect reach = parent.convertRectFrom(content.damageArea(), nullptr);
    if (reach.isEmpty())
        return;
    double xs[] = { reach.minX(), reach.maxX(), reach.minX(), reach.maxX() };
    double ys[] = { reach.minY(), reach.minY(), reach.maxY(), reach.maxY() };
    double x1 = HUGE_VAL, y1 = HUGE_VAL, x2 = -HUGE_VAL, y2 = -HUGE_VAL;
    for (int i = 0; i < 4; ++i) {
        cairo_user_to_device(cr, &xs[i], &ys[i]);
        x1 = std::min(x1, xs[i]);
        y1 = std::min(y1, ys[i]);
        x2 = std::max(x2, xs[i]);
        y2 = std::max(y2, ys[i]);
    }
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    cairo_identity_matrix(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, std::floor(x1), std::floor(y1), std::ceil(x2) - std::floor(x1), std::ceil(y2) - std::floor(y1));
    cairo_clip(cr);
    cairo_set_matrix(cr, &matrix);
}

void renderSubviews(View& view, cairo_t* cr, GraphicsContext& context)
{
    auto* effect = dynamic_cast<VisualEffectView*>(&view);
    bool vibrant
        = effect && effect->effect() == VisualEffectView::Effect::NotificationCenterVibrancy && !isReduceTransparencyEnabled();
    // Drawing may change the list (a view removing itself); walk a copy.
    auto subviews = view.subviews();
    for (auto& subview : subviews) {
        if (vibrant && subview.get() == effect->contentView()) {
            // Vibrancy: the content's shapes in translucent white over a faint trace of their
            // own colours.
            cairo_save(cr);
            clipToReach(*subview, view, cr);
            cairo_push_group(cr);
            renderView(*subview, cr, context, true);
            cairo_pattern_t* content = cairo_pop_group(cr);
            cairo_set_source(cr, content);
            cairo_paint_with_alpha(cr, VisualEffectView::kVibrancyColorAlpha);
            cairo_set_source_rgba(cr, 1, 1, 1, VisualEffectView::kVibrancyWhiteAlpha);
            cairo_mask(cr, content);
            cairo_restore(cr);
            cairo_pattern_destroy(content);
            continue;
        }
        renderView(*subview, cr, context, true);
    }
}

// The view's background, content, subviews and border.
void renderBody(View& view, cairo_t* cr, GraphicsContext& context, const Rect& bounds)
{
    Rect visible = clipExtents(cr).intersection(bounds);
    double radius = view.cornerRadius();
    Color background = view.backgroundColor();
    if (!background.isClear() && !visible.isEmpty()) {
        cairo_new_path(cr);
        roundedRectPath(cr, bounds, radius);
        cairo_set_source_rgba(cr, background.red, background.green, background.blue, background.alpha);
        cairo_fill(cr);
    }
    bool clips = view.clipsToBounds();
    if (clips) {
        cairo_save(cr);
        cairo_new_path(cr);
        roundedRectPath(cr, bounds, radius);
        cairo_clip(cr);
    }
    if (!visible.isEmpty()) {
        context.save();
        view.draw(context, visible);
        context.restore();
    }
    view.didDisplay();
    if (!(clips && visible.isEmpty()))
        renderSubviews(view, cr, context);
    if (clips)
        cairo_restore(cr);
    // The border lies above the content and the subviews.
    if (view.borderWidth() > 0) {
        double w = view.borderWidth();
        Color c = view.borderColor();
        cairo_new_path(cr);
        roundedRectPath(cr, bounds.insetBy(w / 2, w / 2), std::max(0.0, radius - w / 2));
        cairo_set_line_width(cr, w);
        cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
        cairo_stroke(cr);
    }
}

// The shadow of what `content` holds, cast by `view`: the content's coverage, spread over the
// radius by averaging shifted copies, offset and painted in the shadow colour.
void paintShadow(View& view, cairo_t* cr, cairo_pattern_t* content)
{
    double radius = view.shadowRadius();
    int steps = radius > 0 ? 3 : 1;
    cairo_push_group_with_content(cr, CAIRO_CONTENT_ALPHA);
    cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
    for (int i = 0; i < steps; ++i) {
        for (int j = 0; j < steps; ++j) {
            double dx = steps > 1 ? radius * (i - 1) : 0;
            double dy = steps > 1 ? radius * (j - 1) : 0;
            cairo_save(cr);
            cairo_translate(cr, dx, dy);
            cairo_set_source(cr, content);
            cairo_paint_with_alpha(cr, 1.0 / (steps * steps));
            cairo_restore(cr);
        }
    }
    cairo_pattern_t* coverage = cairo_pop_group(cr);
    Color c = view.shadowColor();
    Size offset = view.shadowOffset();
    cairo_save(cr);
    cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha * view.shadowOpacity());
    cairo_translate(cr, offset.width, offset.height);
    cairo_mask(cr, coverage);
    cairo_restore(cr);
    cairo_pattern_destroy(coverage);
}

void renderView(View& view, cairo_t* cr, GraphicsContext& context, bool applyOwnTransform)
{
    View::Presentation p = view.presentation();
    if (view.isHidden() || p.alpha <= 0) {
        view.didDisplay();
        return;
    }
    cairo_save(cr);
    if (applyOwnTransform) {
        cairo_translate(cr, p.center.x, p.center.y);
        if (!p.transform.isIdentity() && p.transform.isInvertible()) {
            cairo_matrix_t m;
            cairo_matrix_init(&m, p.transform.a, p.transform.b, p.transform.c, p.transform.d, p.transform.tx, p.transform.ty);
            cairo_transform(cr, &m);
        }
        cairo_translate(cr, -p.bounds.midX(), -p.bounds.midY());
    }
    bool layer = p.alpha < 1;
    if (layer)
        cairo_push_group(cr);

    if (view.shadowOpacity() > 0 && view.shadowColor().alpha > 0) {
        // The groups need only cover the view, what its subviews reach and the shadow's spread.
        Rect reach = p.bounds;
        for (auto& subview : view.subviews())
            reach = reach.united(subview->frame());
        Size offset = view.shadowOffset();
        double spread = view.shadowRadius() + std::max(std::abs(offset.width), std::abs(offset.height)) + 1;
        reach = reach.insetBy(-spread, -spread);
        cairo_save(cr);
        cairo_new_path(cr);
        cairo_rectangle(cr, reach.x(), reach.y(), reach.width(), reach.height());
        cairo_clip(cr);
        cairo_push_group(cr);
        renderBody(view, cr, context, p.bounds);
        cairo_pattern_t* content = cairo_pop_group(cr);
        paintShadow(view, cr, content);
        cairo_set_source(cr, content);
        cairo_paint(cr);
        cairo_pattern_destroy(content);
        cairo_restore(cr);
    } else {
        renderBody(view, cr, context, p.bounds);
    }
    if (view.showsFocusRing() && view.isFirstResponder()) {
        Color tint = view.tintColor();
        cairo_new_path(cr);
        // The ring's rectangle moves with the presented bounds while the view animates.
        Rect ring = view.focusRingRect();
        Rect model = view.bounds();
        ring = { ring.x() - model.x() + p.bounds.x(), ring.y() - model.y() + p.bounds.y(),
            ring.width() + p.bounds.width() - model.width(), ring.height() + p.bounds.height() - model.height() };
        double offset = kFocusRingGap + kFocusRingWidth / 2;
        double radius = std::max(0.0, view.cornerRadius() + (ring.width() > model.width() ? offset : -offset));
        roundedRectPath(cr, ring, radius);
        cairo_set_line_width(cr, kFocusRingWidth);
        cairo_set_source_rgba(cr, tint.red, tint.green, tint.blue, tint.alpha);
        cairo_stroke(cr);
    }
    if (layer) {
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, p.alpha);
    }
    cairo_restore(cr);
}

} // namespace

void renderTree(View& root, cairo_t* cr, double scale)
{
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    renderTree(root, cr, scale, { x1, y1, x2 - x1, y2 - y1 });
}

void renderTree(View& root, cairo_t* cr, double scale, const Rect& dirty)
{
    root.layoutIfNeeded();
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, dirty.x(), dirty.y(), dirty.width(), dirty.height());
    cairo_clip(cr);
    GraphicsContext context(cr, scale);
    // The root's own position is where the host put it: draw it at the origin.
    renderView(root, cr, context, false);
    cairo_restore(cr);
    if (auto* window = dynamic_cast<Window*>(&root))
        window->clearNeedsRedraw();
}

namespace {

bool castsShadow(const View& view) { return view.shadowOpacity() > 0 && view.shadowColor().alpha > 0; }

void growForShadows(const View& view, Rect& dirty, bool& grew)
{
    if (view.isHidden())
        return;
    if (castsShadow(view)) {
        Rect reach = view.damageArea();
        if (reach.intersects(dirty) && !(dirty.united(reach) == dirty)) {
            dirty = dirty.united(reach);
            grew = true;
        }
    }
    for (auto& subview : view.subviews())
        growForShadows(*subview, dirty, grew);
}

} // namespace

Rect damageWithShadows(View& root, const Rect& dirty)
{
    // damageArea() is in the coordinates of the tree's root.
    if (root.superview() || dirty.isEmpty())
        return dirty;
    Rect grown = dirty;
    // Growing may reach another shadow; a handful of rounds settles any real tree.
    for (int round = 0; round < 8; ++round) {
        bool grew = false;
        growForShadows(root, grown, grew);
        if (!grew)
            break;
    }
    return grown;
}

Rect alignedToPixels(const Rect& rect, double scale)
{
    if (rect.isEmpty() || !(scale > 0))
        return {};
    Rect r = rect.standardized();
    double x0 = std::floor(r.minX() * scale) / scale, y0 = std::floor(r.minY() * scale) / scale;
    double x1 = std::ceil(r.maxX() * scale) / scale, y1 = std::ceil(r.maxY() * scale) / scale;
    return { x0, y0, x1 - x0, y1 - y0 };
}

cairo_surface_t* renderToSurface(View& root, Size size, double scale)
{
    if (!(scale > 0))
        scale = 1;
    int pw = std::max(1, int(std::ceil(size.width * scale)));
    int ph = std::max(1, int(std::ceil(size.height * scale)));
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pw, ph);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    renderTree(root, cr, scale);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return surface;
}

} // namespace kit
