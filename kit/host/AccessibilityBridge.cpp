// SPDX-License-Identifier: MIT
#include "kit/host/AccessibilityBridge.h"

#include "kit/host/HostCore.h"
#include "kit/ui/StatusBar.h"
#include "kit/ui/Window.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>

// The layer and the groups: widgets that place their children at the frames the bridge gave
// them and never draw, neither themselves nor their children.
struct KitAccessibleLayer {
    GtkWidget parent_instance;
};
struct KitAccessibleLayerClass {
    GtkWidgetClass parent_class;
};

G_DEFINE_TYPE(KitAccessibleLayer, kit_accessible_layer, GTK_TYPE_WIDGET)

namespace {

GQuark frameQuark()
{
    static GQuark quark = g_quark_from_static_string("kit-accessible-frame");
    return quark;
}

GdkRectangle frameOf(GtkWidget* widget)
{
    auto* frame = static_cast<GdkRectangle*>(g_object_get_qdata(G_OBJECT(widget), frameQuark()));
    return frame ? *frame : GdkRectangle { 0, 0, 0, 0 };
}

// Returns whether the frame changed.
bool setFrameOf(GtkWidget* widget, const kit::Rect& rect)
{
    // Whole pixels that cover the element.
    int x = int(std::floor(rect.minX()));
    int y = int(std::floor(rect.minY()));
    GdkRectangle frame { x, y, int(std::ceil(rect.maxX())) - x, int(std::ceil(rect.maxY())) - y };
    auto* old = static_cast<GdkRectangle*>(g_object_get_qdata(G_OBJECT(widget), frameQuark()));
    if (old && old->x == frame.x && old->y == frame.y && old->width == frame.width && old->height == frame.height)
        return false;
    auto* stored = g_new(GdkRectangle, 1);
    *stored = frame;
    g_object_set_qdata_full(G_OBJECT(widget), frameQuark(), stored, g_free);
    return true;
}

} // namespace

static void layerMeasure(GtkWidget*, GtkOrientation, int, int* minimum, int* natural, int*, int*)
{
    *minimum = 0;
    *natural = 0;
}

static void layerAllocate(GtkWidget* widget, int, int, int)
{
    GdkRectangle own = frameOf(widget);
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child; child = gtk_widget_get_next_sibling(child)) {
        GdkRectangle frame = frameOf(child);
        frame.x -= own.x;
        frame.y -= own.y;
        gtk_widget_size_allocate(child, &frame, -1);
    }
}

static void layerSnapshot(GtkWidget*, GtkSnapshot*) { }

static void layerDispose(GObject* object)
{
    GtkWidget* widget = GTK_WIDGET(object);
    while (GtkWidget* child = gtk_widget_get_first_child(widget))
        gtk_widget_unparent(child);
    G_OBJECT_CLASS(kit_accessible_layer_parent_class)->dispose(object);
}

static void kit_accessible_layer_class_init(KitAccessibleLayerClass* klass)
{
    GtkWidgetClass* widgetClass = GTK_WIDGET_CLASS(klass);
    widgetClass->measure = layerMeasure;
    widgetClass->size_allocate = layerAllocate;
    widgetClass->snapshot = layerSnapshot;
    G_OBJECT_CLASS(klass)->dispose = layerDispose;
    gtk_widget_class_set_accessible_role(widgetClass, GTK_ACCESSIBLE_ROLE_GENERIC);
}

static void kit_accessible_layer_init(KitAccessibleLayer*) { }

namespace kit {

struct AccessibilityBridge::Proxy {
    AccessibilityBridge* bridge = nullptr;
    GtkWidget* widget = nullptr;
    AccessibilityElement element;
};

struct BridgeCallbacks {
    static void clicked(GtkButton*, gpointer data)
    {
        auto* proxy = static_cast<AccessibilityBridge::Proxy*>(data);
        proxy->bridge->activate(proxy->element.identity);
    }

    static void afterPaint(GdkFrameClock*, gpointer data) { static_cast<AccessibilityBridge*>(data)->update(); }

    static void realized(GtkWidget* area, gpointer data)
    {
        auto& bridge = *static_cast<AccessibilityBridge*>(data);
        GdkFrameClock* clock = gtk_widget_get_frame_clock(area);
        if (!clock || bridge.m_afterPaintId)
            return;
        bridge.m_frameClock = clock;
        bridge.m_afterPaintId = g_signal_connect(clock, "after-paint", G_CALLBACK(afterPaint), &bridge);
    }

    static void unrealized(GtkWidget*, gpointer data)
    {
        auto& bridge = *static_cast<AccessibilityBridge*>(data);
        if (bridge.m_afterPaintId && bridge.m_frameClock)
            g_signal_handler_disconnect(bridge.m_frameClock, bridge.m_afterPaintId);
        bridge.m_afterPaintId = 0;
        bridge.m_frameClock = nullptr;
    }

    static void layerDestroyed(GtkWidget*, gpointer data) { static_cast<AccessibilityBridge*>(data)->forget(); }
};

namespace {

GtkAccessibleRole gtkRole(AccessibilityRole role)
{
    switch (role) {
    case AccessibilityRole::StaticText:
        return GTK_ACCESSIBLE_ROLE_LABEL;
    case AccessibilityRole::Button:
        return GTK_ACCESSIBLE_ROLE_BUTTON;
    case AccessibilityRole::Tab:
        return GTK_ACCESSIBLE_ROLE_TAB;
    case AccessibilityRole::Image:
        return GTK_ACCESSIBLE_ROLE_IMG;
    case AccessibilityRole::Header:
        return GTK_ACCESSIBLE_ROLE_HEADING;
    case AccessibilityRole::Adjustable:
        return GTK_ACCESSIBLE_ROLE_SLIDER;
    }
    return GTK_ACCESSIBLE_ROLE_LABEL;
}

// Roles that act: their proxies are buttons, whose "click" action AT-SPI offers on GTK 4.8.
bool acts(AccessibilityRole role) { return role == AccessibilityRole::Button || role == AccessibilityRole::Tab; }

bool showsSelection(const AccessibilityElement& element)
{
    return element.role == AccessibilityRole::Tab || (element.traits & AccessibilityTraitSelected);
}

void describe(GtkWidget* widget, const AccessibilityElement& element, const AccessibilityElement* old)
{
    GtkAccessible* accessible = GTK_ACCESSIBLE(widget);
    if (!old || old->label != element.label)
        gtk_accessible_update_property(accessible, GTK_ACCESSIBLE_PROPERTY_LABEL, element.label.c_str(), -1);
    if (!old || old->value != element.value) {
        if (element.value.empty()) {
            gtk_accessible_reset_property(accessible, GTK_ACCESSIBLE_PROPERTY_DESCRIPTION);
            if (element.role == AccessibilityRole::Adjustable)
                gtk_accessible_reset_property(accessible, GTK_ACCESSIBLE_PROPERTY_VALUE_TEXT);
        } else {
            gtk_accessible_update_property(accessible, GTK_ACCESSIBLE_PROPERTY_DESCRIPTION, element.value.c_str(), -1);
            if (element.role == AccessibilityRole::Adjustable)
                gtk_accessible_update_property(accessible, GTK_ACCESSIBLE_PROPERTY_VALUE_TEXT, element.value.c_str(), -1);
        }
    }
    if (showsSelection(element) && (!old || old->selected != element.selected || !showsSelection(*old)))
        gtk_accessible_update_state(accessible, GTK_ACCESSIBLE_STATE_SELECTED, gboolean(element.selected), -1);
    if (!old || old->enabled != element.enabled)
        gtk_accessible_update_state(accessible, GTK_ACCESSIBLE_STATE_DISABLED, gboolean(!element.enabled), -1);
}

// Keeps `widget` right after `previous` among its parent's children (first when null), so that
// AT-SPI lists them in reading order.
void placeAfter(GtkWidget* widget, GtkWidget* parent, GtkWidget* previous)
{
    if (gtk_widget_get_parent(widget) == parent && gtk_widget_get_prev_sibling(widget) == previous)
        return;
    gtk_widget_insert_after(widget, parent, previous);
}

} // namespace

AccessibilityBridge::AccessibilityBridge(HostCore& core, GtkWidget* area)
    : m_core(core)
    , m_area(area)
{
    m_overlay = gtk_overlay_new();
    gtk_overlay_set_child(GTK_OVERLAY(m_overlay), area);
    m_layer = GTK_WIDGET(g_object_new(kit_accessible_layer_get_type(), nullptr));
    // Pointer input goes through to the drawing area.
    gtk_widget_set_can_target(m_layer, false);
    gtk_overlay_add_overlay(GTK_OVERLAY(m_overlay), m_layer);
    g_signal_connect(m_layer, "destroy", G_CALLBACK(BridgeCallbacks::layerDestroyed), this);
    g_signal_connect(area, "realize", G_CALLBACK(BridgeCallbacks::realized), this);
    g_signal_connect(area, "unrealize", G_CALLBACK(BridgeCallbacks::unrealized), this);
}

AccessibilityBridge::~AccessibilityBridge()
{
    if (m_afterPaintId && m_frameClock)
        g_signal_handler_disconnect(m_frameClock, m_afterPaintId);
    if (m_layer) {
        g_signal_handlers_disconnect_by_data(m_layer, this);
        g_signal_handlers_disconnect_by_data(m_area, this);
        for (auto& [key, proxy] : m_proxies) {
            if (acts(proxy->element.role))
                g_signal_handlers_disconnect_by_data(proxy->widget, proxy.get());
        }
    }
}

// The widgets went with the window (the area and the proxies may be finalised already): nothing
// is left to update or to disconnect from.
void AccessibilityBridge::forget()
{
    m_proxies.clear();
    m_containers.clear();
    m_last.clear();
    m_focusedProxy = nullptr;
    m_afterPaintId = 0;
    m_frameClock = nullptr;
    m_layer = nullptr;
    m_area = nullptr;
}

std::vector<AccessibilityElement> AccessibilityBridge::elementsOnScreen(const HostCore& core)
{
    std::vector<AccessibilityElement> elements;
    auto windows = core.visibleWindows();
    // The status bar is drawn last but stands at the top of the screen: it is read first.
    std::stable_partition(windows.begin(), windows.end(), [](Window* window) { return dynamic_cast<StatusBarWindow*>(window); });
    for (Window* window : windows) {
        AffineTransform toHost = window->transformToSuperview();
        for (auto& element : accessibilityElements(*window)) {
            element.frame = toHost.apply(element.frame);
            elements.push_back(std::move(element));
        }
    }
    return elements;
}

void AccessibilityBridge::update()
{
    if (!m_layer)
        return;
    auto elements = elementsOnScreen(m_core);
    if (elements == m_last)
        return;
    apply(elements);
    m_last = std::move(elements);
}

AccessibilityBridge::Proxy& AccessibilityBridge::proxyFor(const AccessibilityElement& element)
{
    Key key { element.identity.view, element.identity.part };
    auto it = m_proxies.find(key);
    if (it != m_proxies.end()) {
        Proxy& proxy = *it->second;
        // A role is fixed once GTK has made the widget's accessible: a new one takes its place.
        if (proxy.element.role == element.role && proxy.element.container == element.container)
            return proxy;
        destroy(proxy);
        m_proxies.erase(it);
    }
    // A leaving proxy of the same kind, the one at the same place first.
    auto reusable = m_leaving.end();
    for (auto candidate = m_leaving.begin(); candidate != m_leaving.end(); ++candidate) {
        const AccessibilityElement& old = (*candidate)->element;
        if (old.role != element.role || old.container != element.container)
            continue;
        if (reusable == m_leaving.end() || old.frame == element.frame)
            reusable = candidate;
        if (old.frame == element.frame)
            break;
    }
    if (reusable != m_leaving.end()) {
        auto proxy = std::move(*reusable);
        m_leaving.erase(reusable);
        describe(proxy->widget, element, &proxy->element);
        proxy->element = element;
        Proxy& kept = *proxy;
        m_proxies.emplace(key, std::move(proxy));
        return kept;
    }
    auto proxy = std::make_unique<Proxy>();
    proxy->bridge = this;
    proxy->element = element;
    GtkAccessibleRole role = gtkRole(element.role);
    if (acts(element.role)) {
        proxy->widget = GTK_WIDGET(g_object_new(GTK_TYPE_BUTTON, "accessible-role", role, nullptr));
        g_signal_connect(proxy->widget, "clicked", G_CALLBACK(BridgeCallbacks::clicked), proxy.get());
    } else {
        proxy->widget = GTK_WIDGET(g_object_new(kit_accessible_layer_get_type(), "accessible-role", role, nullptr));
    }
    gtk_widget_set_focusable(proxy->widget, false);
    gtk_widget_set_focus_on_click(proxy->widget, false);
    describe(proxy->widget, element, nullptr);
    setFrameOf(proxy->widget, element.frame);
    Proxy& made = *proxy;
    m_proxies.emplace(key, std::move(proxy));
    return made;
}

GtkWidget* AccessibilityBridge::containerFor(std::uint64_t container, const AccessibilityElement& first)
{
    auto it = m_containers.find(container);
    if (it != m_containers.end())
        return it->second;
    GtkWidget* group = GTK_WIDGET(g_object_new(kit_accessible_layer_get_type(), "accessible-role",
        first.role == AccessibilityRole::Tab ? GTK_ACCESSIBLE_ROLE_TAB_LIST : GTK_ACCESSIBLE_ROLE_GROUP, nullptr));
    gtk_accessible_update_property(GTK_ACCESSIBLE(group), GTK_ACCESSIBLE_PROPERTY_LABEL, first.containerLabel.c_str(), -1);
    m_containers.emplace(container, group);
    return group;
}

void AccessibilityBridge::apply(const std::vector<AccessibilityElement>& elements)
{
    std::map<Key, const AccessibilityElement*> current;
    for (const auto& element : elements)
        current.emplace(Key { element.identity.view, element.identity.part }, &element);

    // The proxies of gone elements may serve new ones of the same kind: a table's header made
    // anew on each reload stays the same object for the screen reader, which is only told the
    // new label.
    for (auto it = m_proxies.begin(); it != m_proxies.end();) {
        if (current.count(it->first)) {
            ++it;
            continue;
        }
        m_leaving.push_back(std::move(it->second));
        it = m_proxies.erase(it);
    }

    // The groups' frames cover their members.
    std::map<std::uint64_t, Rect> groupFrames;
    for (const auto& element : elements) {
        if (!element.container)
            continue;
        auto [it, fresh] = groupFrames.emplace(element.container, element.frame);
        if (!fresh)
            it->second = it->second.united(element.frame);
    }
    for (auto it = m_containers.begin(); it != m_containers.end();) {
        if (groupFrames.count(it->first)) {
            ++it;
            continue;
        }
        gtk_widget_unparent(it->second);
        it = m_containers.erase(it);
    }

    GtkWidget* previousInLayer = nullptr;
    std::map<std::uint64_t, GtkWidget*> previousInGroup;
    GtkWidget* focused = nullptr;
    for (const auto& element : elements) {
        Proxy& proxy = proxyFor(element);
        bool fresh = !gtk_widget_get_parent(proxy.widget);
        if (!fresh)
            describe(proxy.widget, element, &proxy.element);
        proxy.element = element;
        bool moved = setFrameOf(proxy.widget, element.frame);
        GtkWidget* parent = m_layer;
        GtkWidget** previous = &previousInLayer;
        if (element.container) {
            GtkWidget* group = containerFor(element.container, element);
            if (setFrameOf(group, groupFrames[element.container]))
                gtk_widget_queue_allocate(m_layer);
            if (!previousInGroup.count(element.container)) {
                // The group stands where its first member is read.
                placeAfter(group, m_layer, previousInLayer);
                previousInLayer = group;
                previousInGroup[element.container] = nullptr;
            }
            parent = group;
            previous = &previousInGroup[element.container];
        }
        placeAfter(proxy.widget, parent, *previous);
        *previous = proxy.widget;
        // New and reordered children already asked for a new layout; moved ones ask here.
        if (moved && !fresh)
            gtk_widget_queue_allocate(parent);
        if (element.focused)
            focused = proxy.widget;
    }
    for (auto& proxy : m_leaving)
        destroy(*proxy);
    m_leaving.clear();
    moveFocus(focused);
}

void AccessibilityBridge::destroy(Proxy& proxy)
{
    if (m_focusedProxy == proxy.widget)
        moveFocus(nullptr);
    if (acts(proxy.element.role))
        g_signal_handlers_disconnect_by_data(proxy.widget, &proxy);
    gtk_widget_unparent(proxy.widget);
}

// GTK 4.8 has no focused state to set: the proxy of the focused view takes GTK's focus (keys
// still reach the views, through the window's key handler), and gives it back to the area.
void AccessibilityBridge::moveFocus(GtkWidget* focused)
{
    if (focused == m_focusedProxy)
        return;
    GtkWidget* old = m_focusedProxy;
    m_focusedProxy = focused;
    if (focused) {
        gtk_widget_set_focusable(focused, true);
        gtk_widget_grab_focus(focused);
    } else if (old && gtk_widget_has_focus(old) && m_area) {
        gtk_widget_grab_focus(m_area);
    }
    if (old)
        gtk_widget_set_focusable(old, false);
}

void AccessibilityBridge::activate(const AccessibilityIdentity& identity)
{
    for (Window* window : m_core.visibleWindows()) {
        if (activateAccessibilityElement(*window, identity))
            return;
    }
}

} // namespace kit
