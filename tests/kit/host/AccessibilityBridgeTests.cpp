// SPDX-License-Identifier: MIT
// The proxies the GTK host lays over its drawing area, read from GTK itself: one per element,
// at the element's frame, of the element's role, kept across changes, acting when activated,
// and holding GTK's focus while their view holds the kit's.
#include "TestServers.h"

#include "kit/host/AccessibilityBridge.h"
#include "kit/host/GtkHost.h"
#include "kit/ui/Button.h"
#include "kit/ui/Label.h"
#include "kit/ui/Window.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cmath>
#include <functional>
#include <vector>

using namespace kit;

namespace {

class AccessibilityBridgeTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        xvfb = new test::XvfbServer;
        started = xvfb->start();
    }
    static void TearDownTestSuite()
    {
        delete xvfb;
        xvfb = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(started) << "Xvfb did not start";
        setenv("GDK_BACKEND", "x11", 1);
        setenv("GSETTINGS_BACKEND", "memory", 1);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        unsetenv("XDG_RUNTIME_DIR");
        char pattern[] = "/tmp/a11y-bridge-XXXXXX";
        ASSERT_NE(g_mkdtemp(pattern), nullptr);
        home = pattern;
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    }
    void TearDown() override
    {
        std::string command = "rm -rf '" + home + "'";
        (void)std::system(command.c_str());
    }

    static inline test::XvfbServer* xvfb = nullptr;
    static inline bool started = false;
    std::string home;
};

// Runs each step a little after the one before (time for a frame, the bridge's pass, and a
// GtkButton's activation, which clicks 250 ms later), then closes the window.
struct Steps {
    GtkHost* host = nullptr;
    std::vector<std::function<void()>> steps;
    std::size_t next = 0;

    void start()
    {
        g_timeout_add(
            500,
            [](gpointer data) -> gboolean {
                auto& self = *static_cast<Steps*>(data);
                if (self.next < self.steps.size()) {
                    self.steps[self.next++]();
                    return G_SOURCE_CONTINUE;
                }
                self.host->close();
                return G_SOURCE_REMOVE;
            },
            this);
    }
};

struct Proxy {
    GtkWidget* widget;
    GtkAccessibleRole role;
    graphene_rect_t bounds;
};

// The proxies in reading order, tab lists opened, with their bounds in the overlay's pixels.
std::vector<Proxy> proxies()
{
    std::vector<Proxy> out;
    GListModel* toplevels = gtk_window_get_toplevels();
    for (guint i = 0; i < g_list_model_get_n_items(toplevels); ++i) {
        auto* window = GTK_WINDOW(g_list_model_get_item(toplevels, i));
        g_object_unref(window);
        GtkWidget* overlay = gtk_window_get_child(window);
        if (!GTK_IS_OVERLAY(overlay))
            continue;
        GtkWidget* layer = gtk_widget_get_last_child(overlay);
        std::function<void(GtkWidget*)> collect = [&](GtkWidget* parent) {
            for (GtkWidget* child = gtk_widget_get_first_child(parent); child; child = gtk_widget_get_next_sibling(child)) {
                GtkAccessibleRole role = gtk_accessible_get_accessible_role(GTK_ACCESSIBLE(child));
                if (role == GTK_ACCESSIBLE_ROLE_TAB_LIST || role == GTK_ACCESSIBLE_ROLE_GROUP) {
                    collect(child);
                    continue;
                }
                Proxy proxy { child, role, {} };
                if (!gtk_widget_compute_bounds(child, overlay, &proxy.bounds))
                    proxy.bounds = {};
                out.push_back(proxy);
            }
        };
        collect(layer);
    }
    return out;
}

GtkWidget* focusWidget()
{
    GListModel* toplevels = gtk_window_get_toplevels();
    GtkWidget* focus = nullptr;
    for (guint i = 0; i < g_list_model_get_n_items(toplevels); ++i) {
        auto* window = GTK_WINDOW(g_list_model_get_item(toplevels, i));
        g_object_unref(window);
        if (GTK_IS_OVERLAY(gtk_window_get_child(window)))
            focus = gtk_window_get_focus(window);
    }
    return focus;
}

} // namespace

TEST_F(AccessibilityBridgeTest, ProxiesMirrorTheElementsFollowChangesActAndTakeTheFocus)
{
    HostOptions options;
    options.profile = *DeviceProfile::named("iphone-6");
    GtkHost host(options);

    auto content = View::create();
    content->setFrame({ 0, 0, 375, 647 });
    auto label = View::create<Label>();
    label->setText("Free 5.6 GB of 16.0 GB");
    label->setFrame({ 20, 30, 200, 20 });
    content->addSubview(label);
    auto button = Button::system("Edit");
    button->setFrame({ 20, 80, 100, 40 });
    int taps = 0;
    button->addAction(ControlEvent::TouchUpInside, [&](Control&) { ++taps; });
    content->addSubview(button);

    std::vector<AccessibilityElement> elements;
    std::vector<Proxy> first;
    std::vector<Proxy> second;
    // The widgets go with the window: what is known of them is noted while it is open.
    bool buttonProxyIsAButton = false;
    bool sameWidgetsAfterTheChange = false;
    bool focusOnTheButtonProxy = false;
    bool focusBackOnTheArea = false;
    int tapsAfterClick = 0;

    Steps steps;
    steps.host = &host;
    steps.steps = {
        [&] {
            elements = AccessibilityBridge::elementsOnScreen(host.core());
            first = proxies();
            buttonProxyIsAButton = first.size() == 2 && GTK_IS_BUTTON(first[1].widget);
            label->setText("Free 4.1 GB of 16.0 GB");
        },
        [&] {
            second = proxies();
            sameWidgetsAfterTheChange = second.size() == 2 && first.size() == 2 && second[0].widget == first[0].widget
                && second[1].widget == first[1].widget;
            // AT-SPI's "click" on a GtkButton activates it.
            for (auto& proxy : second) {
                if (proxy.role == GTK_ACCESSIBLE_ROLE_BUTTON)
                    gtk_widget_activate(proxy.widget);
            }
        },
        [&] {
            tapsAfterClick = taps;
            button->becomeFirstResponder();
        },
        [&] {
            focusOnTheButtonProxy = second.size() == 2 && focusWidget() == second[1].widget;
            button->resignFirstResponder();
        },
        [&] { focusBackOnTheArea = GTK_IS_DRAWING_AREA(focusWidget()); },
    };
    bool begun = false;
    host.onFrameDrawn = [&] {
        if (!begun) {
            begun = true;
            steps.start();
        }
    };
    // A run that hangs is closed.
    guint watchdog = g_timeout_add_seconds(
        20,
        [](gpointer data) -> gboolean {
            static_cast<GtkHost*>(data)->close();
            return G_SOURCE_REMOVE;
        },
        &host);
    host.runShowing(content);
    g_source_remove(watchdog);

    ASSERT_EQ(elements.size(), 2u);
    ASSERT_EQ(first.size(), elements.size());
    for (std::size_t i = 0; i < elements.size(); ++i) {
        // Whole pixels covering the element's frame, in reading order.
        const Rect& frame = elements[i].frame;
        EXPECT_EQ(first[i].bounds.origin.x, std::floor(frame.minX())) << i;
        EXPECT_EQ(first[i].bounds.origin.y, std::floor(frame.minY())) << i;
        EXPECT_EQ(first[i].bounds.size.width, std::ceil(frame.maxX()) - std::floor(frame.minX())) << i;
        EXPECT_EQ(first[i].bounds.size.height, std::ceil(frame.maxY()) - std::floor(frame.minY())) << i;
    }
    EXPECT_EQ(elements[0].label, "Free 5.6 GB of 16.0 GB");
    EXPECT_EQ(first[0].role, GTK_ACCESSIBLE_ROLE_LABEL);
    EXPECT_EQ(first[1].role, GTK_ACCESSIBLE_ROLE_BUTTON);
    EXPECT_TRUE(buttonProxyIsAButton);
    // Below the status bar: the content starts 20 points down.
    EXPECT_EQ(first[0].bounds.origin.y, 50);

    // The new text went to the same proxy.
    EXPECT_TRUE(sameWidgetsAfterTheChange);
    EXPECT_EQ(tapsAfterClick, 1);
    EXPECT_TRUE(focusOnTheButtonProxy);
    EXPECT_TRUE(focusBackOnTheArea);
}
