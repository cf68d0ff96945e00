// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Value.h"
#include "kit/ui/Geometry.h"
#include "kit/ui/Image.h"
#include "kit/ui/KeyEvent.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kit {

class View;
class Window;
class NavigationController;
class TabBarController;

enum InterfaceOrientationMask : unsigned {
    OrientationPortrait = 1 << 1,
    OrientationPortraitUpsideDown = 1 << 2,
    OrientationLandscapeRight = 1 << 3,
    OrientationLandscapeLeft = 1 << 4,
    OrientationLandscape = OrientationLandscapeLeft | OrientationLandscapeRight,
    OrientationAll = OrientationPortrait | OrientationPortraitUpsideDown | OrientationLandscape,
    OrientationAllButUpsideDown = OrientationPortrait | OrientationLandscape,
};

enum class ModalPresentationStyle { FullScreen, OverFullScreen, FormSheet, Popover };

// Told to controllers before the screen changes size; animations added alongside run with
// the transition's duration.
class TransitionCoordinator {
public:
    TransitionCoordinator(double duration, Size size)
        : m_duration(duration)
        , m_size(size)
    {
    }
    double transitionDuration() const { return m_duration; }
    bool isAnimated() const { return m_duration > 0; }
    Size targetSize() const { return m_size; }
    // `animation` runs inside the transition's animation, `completion` after it.
    void animateAlongsideTransition(std::function<void()> animation, std::function<void()> completion = {});

    // Used by the window that runs the transition.
    void runAnimations();
    void runCompletions();

private:
    double m_duration = 0;
    Size m_size;
    std::vector<std::function<void()>> m_animations;
    std::vector<std::function<void()>> m_completions;
};

// What a tab bar shows for a controller.
struct TabBarItem {
    std::string title;
    ImagePtr image;
    ImagePtr selectedImage;
    int tag = 0;
};

// What a navigation bar shows for a controller.
struct NavigationItem {
    std::string title; // empty: the controller's title
    std::shared_ptr<View> titleView;
    std::shared_ptr<View> leftView;
    std::shared_ptr<View> rightView;
    std::string backButtonTitle;
    bool hidesBackButton = false;
};

// Owns a screen's view, made on first use (loadView, then viewDidLoad), and takes part in the
// appearance, rotation, containment and presentation of screens.
class ViewController : public Object, public std::enable_shared_from_this<ViewController> {
public:
    template<typename T = ViewController, typename... Args>
    static std::shared_ptr<T> create(Args&&... args)
    {
        return std::shared_ptr<T>(new T(std::forward<Args>(args)...));
    }

    ViewController();
    ~ViewController() override;
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;

    // Object
    std::string className() const override { return "UIViewController"; }

    // The root view, loaded on first call.
    View* view();
    std::shared_ptr<View> viewPtr();
    bool isViewLoaded() const { return m_view != nullptr; }
    // Replaces the root view (loadView overrides call this); null unloads it.
    void setView(std::shared_ptr<View> view);
    // Makes a plain view of the screen's size by default.
    virtual void loadView();
    virtual void viewDidLoad() { }
    virtual void viewWillAppear(bool /*animated*/) { }
    virtual void viewDidAppear(bool /*animated*/) { }
    virtual void viewWillDisappear(bool /*animated*/) { }
    virtual void viewDidDisappear(bool /*animated*/) { }
    virtual void viewWillLayoutSubviews() { }
    virtual void viewDidLayoutSubviews() { }

    // Calls viewWillAppear/viewWillDisappear now and the matching did-call at the end; each
    // call happens once per transition (a repeated begin is ignored). Forwards to the
    // children unless shouldAutomaticallyForwardAppearanceMethods() is false.
    void beginAppearanceTransition(bool appearing, bool animated);
    void endAppearanceTransition();
    bool isAppearing() const { return m_appearance == Appearance::Appearing; }
    bool isVisible() const { return m_appearance == Appearance::Visible; }
    virtual bool shouldAutomaticallyForwardAppearanceMethods() const { return true; }

    const std::string& title() const { return m_title; }
    void setTitle(std::string title);
    // After this controller's title or one of its children's changed, so that a container
    // can bring its bar up to date.
    virtual void titleDidChange() { }

    // A key pressed while this screen is in front; true when it was used. Containers hand it
    // to the screen they show; other screens use none by default.
    virtual bool pressKey(Key) { return false; }
    // A control key combination (Ctrl+1) that acts wherever the focus is; asked of the root
    // controller before pressKey. True when used.
    virtual bool performKeyCommand(const KeyEvent&) { return false; }

    // Forwards to the children by default.
    virtual void viewWillTransitionToSize(Size size, TransitionCoordinator& coordinator);
    // Portrait only on phones, every orientation on tablets, by default.
    virtual unsigned supportedInterfaceOrientations() const;

    // Containment.
    ViewController* parentViewController() const { return m_parent; }
    const std::vector<std::shared_ptr<ViewController>>& childViewControllers() const { return m_children; }
    // Adding moves a child from its old parent. The child's view is not added to any view here.
    void addChildViewController(std::shared_ptr<ViewController> child);
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(ViewController*) { }
    virtual void didMoveToParentViewController(ViewController*) { }
    // The nearest enclosing navigation or tab bar controller (this one included).
    NavigationController* navigationController();
    TabBarController* tabBarController();
    virtual NavigationController* asNavigationController() { return nullptr; }
    virtual TabBarController* asTabBarController() { return nullptr; }

    TabBarItem& tabBarItem() { return m_tabBarItem; }
    NavigationItem& navigationItem() { return m_navigationItem; }

    // Presentation over the window. The presented controller's view covers the window (full
    // screen) above everything, sliding up when animated; dismissing takes it away again.
    // A controller presents one controller at a time: a second present while one is shown is
    // refused (completion not called), as is presenting a controller that is already shown.
    void presentViewController(std::shared_ptr<ViewController> controller, bool animated, std::function<void()> completion = {});
    // Dismisses what this controller presented, or, when it presents nothing, itself from its
    // presenter.
    void dismissViewController(bool animated, std::function<void()> completion = {});
    ViewController* presentedViewController() const { return m_presented.get(); }
    ViewController* presentingViewController() const { return m_presenting; }
    ModalPresentationStyle modalPresentationStyle() const { return m_presentationStyle; }
    void setModalPresentationStyle(ModalPresentationStyle style) { m_presentationStyle = style; }
    Size preferredContentSize() const { return m_preferredContentSize; }
    void setPreferredContentSize(Size size) { m_preferredContentSize = size; }

    // Presentation styles other than full screen are laid out by a handler (popovers): present
    // places the presented controller's view in the window and returns true, or false to fall
    // back to full screen; dismiss takes the view away again. Appearance calls are made here.
    struct PresentationHandler {
        std::function<bool(ViewController& presenting, ViewController& presented, bool animated)> present;
        std::function<void(ViewController& presenting, ViewController& presented, bool animated)> dismiss;
    };
    static void setPresentationHandler(ModalPresentationStyle style, PresentationHandler handler);

    // The window of the view, of the presenter or of the parent; else the key window.
    Window* window() const;

    // The time a presentation slides.
    static constexpr double kPresentationDuration = 0.3;

private:
    enum class Appearance { Hidden, Appearing, Visible, Disappearing };

    std::shared_ptr<View> m_view;
    std::string m_title;
    ViewController* m_parent = nullptr; // not owned
    std::vector<std::shared_ptr<ViewController>> m_children;
    std::shared_ptr<ViewController> m_presented;
    ViewController* m_presenting = nullptr; // not owned
    ModalPresentationStyle m_presentationStyle = ModalPresentationStyle::FullScreen;
    Size m_preferredContentSize;
    Appearance m_appearance = Appearance::Hidden;
    bool m_appearanceAnimated = false;
    bool m_loading = false;
    bool m_presentedByHandler = false;
    TabBarItem m_tabBarItem;
    NavigationItem m_navigationItem;
};

} // namespace kit
