// SPDX-License-Identifier: MIT
#include "UITestSupport.h"

#include "kit/ui/Button.h"
#include "kit/ui/Window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kit;
using kit::test::near;
using kit::test::Snapshot;

namespace {

// A view that takes the focus and keeps a log of the keys it used.
class KeyTaker : public View {
public:
    bool canBecomeFirstResponder() const override { return true; }
    bool keyDown(const KeyEvent& event) override
    {
        if (event.key != wanted)
            return View::keyDown(event);
        log.push_back(name);
        return true;
    }
    Key wanted = Key::Escape;
    std::string name;
    std::vector<std::string>& log;

    explicit KeyTaker(std::vector<std::string>& log)
        : log(log)
    {
    }
};

std::shared_ptr<Window> window(Size size = { 200, 200 })
{
    auto w = View::create<Window>();
    w->setFrame({ 0, 0, size.width, size.height });
    w->setBackgroundColor(Color::white());
    return w;
}

} // namespace

TEST(Keyboard, KeysGoToTheFirstResponderAndUnusedOnesClimbToItsAncestors)
{
    std::vector<std::string> log;
    auto w = window();
    auto outer = View::create<KeyTaker>(log);
    outer->name = "outer";
    outer->wanted = Key::Escape;
    auto inner = View::create<KeyTaker>(log);
    inner->name = "inner";
    inner->wanted = Key::Tab;
    outer->addSubview(inner);
    w->addSubview(outer);

    // Nobody has the focus: the window hears the key and nobody uses it.
    EXPECT_FALSE(w->sendKey({ Key::Tab }));
    ASSERT_TRUE(inner->becomeFirstResponder());
    EXPECT_TRUE(inner->isFirstResponder());
    EXPECT_EQ(w->firstResponder(), inner.get());
    EXPECT_TRUE(w->sendKey({ Key::Tab }));
    EXPECT_TRUE(w->sendKey({ Key::Escape }));
    EXPECT_FALSE(w->sendKey({ Key::Return }));
    EXPECT_EQ(log, (std::vector<std::string> { "inner", "outer" }));

    // Leaving the window takes the focus with it.
    inner->removeFromSuperview();
    EXPECT_EQ(w->firstResponder(), nullptr);
    EXPECT_FALSE(inner->isFirstResponder());
    EXPECT_FALSE(inner->becomeFirstResponder()) << "no window, no focus";
}

TEST(Keyboard, PlainViewsRefuseTheFocusAndResigningClearsIt)
{
    auto w = window();
    auto plain = View::create<View>();
    w->addSubview(plain);
    EXPECT_FALSE(plain->becomeFirstResponder());
    EXPECT_EQ(w->firstResponder(), nullptr);

    auto button = Button::system("OK");
    w->addSubview(button);
    ASSERT_TRUE(button->becomeFirstResponder());
    plain->resignFirstResponder(); // not the focused one: nothing changes
    EXPECT_TRUE(button->isFirstResponder());
    button->resignFirstResponder();
    EXPECT_EQ(w->firstResponder(), nullptr);

    // A focused view that is destroyed leaves no dangling focus.
    auto doomed = Button::system("Gone");
    w->addSubview(doomed);
    ASSERT_TRUE(doomed->becomeFirstResponder());
    doomed->removeFromSuperview();
    doomed.reset();
    EXPECT_EQ(w->firstResponder(), nullptr);
    EXPECT_FALSE(w->sendKey({ Key::Return }));
}

TEST(Keyboard, ReturnAndSpacePressTheFocusedControlOnlyWhileItIsEnabled)
{
    auto w = window();
    auto button = Button::system("Press");
    button->setFrame({ 10, 10, 80, 30 });
    w->addSubview(button);
    int presses = 0;
    button->addAction(ControlEvent::TouchUpInside, [&](Control&) { ++presses; });
    ASSERT_TRUE(button->becomeFirstResponder());

    EXPECT_TRUE(w->sendKey({ Key::Return }));
    EXPECT_TRUE(w->sendKey({ Key::Space }));
    EXPECT_EQ(presses, 2);
    // With a modifier it is a shortcut, not a press.
    EXPECT_FALSE(w->sendKey({ Key::Return, KeyModifierControl }));
    EXPECT_FALSE(w->sendKey({ Key::Escape }));
    EXPECT_EQ(presses, 2);

    // Disabling gives the focus up; a disabled control cannot take it back.
    button->setEnabled(false);
    EXPECT_FALSE(button->isFirstResponder());
    EXPECT_FALSE(button->becomeFirstResponder());
    EXPECT_FALSE(w->sendKey({ Key::Return }));
    EXPECT_EQ(presses, 2);
}

TEST(Keyboard, TheFocusedControlShowsARingInTheTintColourOutsideItsBounds)
{
    auto w = window();
    w->setTintColor(Color(0.0, 0.68, 0.96));
    auto button = Button::custom();
    button->setFrame({ 50, 50, 60, 40 });
    button->setBackgroundColor(Color(1, 0, 0));
    w->addSubview(button);
    auto plain = View::create<View>();
    plain->setFrame({ 120, 120, 40, 40 });
    w->addSubview(plain);

    {
        Snapshot shot(*w, { 200, 200 }, 2);
        EXPECT_TRUE(near(shot.at(48, 70), Color::white())) << "no ring without the focus";
    }
    ASSERT_TRUE(button->becomeFirstResponder());
    {
        Snapshot shot(*w, { 200, 200 }, 2);
        // The ring lies 1 to 3 points outside the edges, all the way round.
        EXPECT_TRUE(near(shot.at(47.5, 70), Color(0.0, 0.68, 0.96), 0.05));
        EXPECT_TRUE(near(shot.at(80, 47.5), Color(0.0, 0.68, 0.96), 0.05));
        EXPECT_TRUE(near(shot.at(112, 70), Color(0.0, 0.68, 0.96), 0.05));
        EXPECT_TRUE(near(shot.at(80, 92.5), Color(0.0, 0.68, 0.96), 0.05));
        EXPECT_TRUE(near(shot.at(80, 70), Color(1, 0, 0))) << "the content is left as it is";
        EXPECT_TRUE(near(shot.at(45, 70), Color::white())) << "and nothing beyond the ring";
    }
    button->resignFirstResponder();
    Snapshot shot(*w, { 200, 200 }, 2);
    EXPECT_TRUE(near(shot.at(48, 70), Color::white())) << "the ring goes with the focus";
}
