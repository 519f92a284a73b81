#include <string>
#include <vector>

#include "Dispatch/NSRunLoop.h"
#include "UIKit/UIControl.h"
#include "UIKit/UILongPressGestureRecognizer.h"
#include "UIKit/UIPanGestureRecognizer.h"
#include "UIKit/UIPinchGestureRecognizer.h"
#include "UIKit/UIRotationGestureRecognizer.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "UIKitTestSupport.h"

namespace {

// Records the touches a view itself receives.
class TouchLog : public UIView {
  public:
    using UIView::UIView;
    std::vector<std::string> events;
    void touchesBegan(const UITouchSet&, UIEvent*) override { events.push_back("began"); }
    void touchesMoved(const UITouchSet&, UIEvent*) override { events.push_back("moved"); }
    void touchesEnded(const UITouchSet&, UIEvent*) override { events.push_back("ended"); }
    void touchesCancelled(const UITouchSet&, UIEvent*) override { events.push_back("cancelled"); }
};

class UIGestureRecognizerTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        window = makeWindow({300, 300});
        view = std::make_shared<TouchLog>(CGRectMake(0, 0, 300, 300));
        window->addSubview(view);
        touches = std::make_unique<TouchDriver>(window);
    }
    bool runUntil(const std::function<bool()>& predicate) {
        return NSRunLoop::mainRunLoop()->runUntil(predicate, 3);
    }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<TouchLog> view;
    std::unique_ptr<TouchDriver> touches;
};

TEST_F(UIGestureRecognizerTest, TapRecognisesAndCancelsTheViewsTouch) {
    int taps = 0;
    auto tap = std::make_shared<UITapGestureRecognizer>([&](UIGestureRecognizer& r) {
        EXPECT_EQ(r.state(), UIGestureRecognizerStateEnded);
        ++taps;
    });
    view->addGestureRecognizer(tap);
    touches->tap({100, 100});
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(view->events, (std::vector<std::string>{"began", "cancelled"}));
    EXPECT_EQ(tap->state(), UIGestureRecognizerStatePossible);  // reset for the next one

    tap->setCancelsTouchesInView(false);
    view->events.clear();
    touches->tap({100, 100});
    EXPECT_EQ(taps, 2);
    EXPECT_EQ(view->events, (std::vector<std::string>{"began", "ended"}));

    // Moving too far is no tap.
    touches->down({{100, 100}});
    touches->move({{140, 100}});
    touches->up();
    EXPECT_EQ(taps, 2);
}

// A button inside a view that takes taps gets its own tap; a disabled one,
// or a control that does not act on a tap, leaves it to the view.
TEST_F(UIGestureRecognizerTest, AButtonKeepsItsTapFromTheRecogniserAroundIt) {
    int viewTaps = 0, buttonTaps = 0;
    view->addGestureRecognizer(
        std::make_shared<UITapGestureRecognizer>([&](UIGestureRecognizer&) { ++viewTaps; }));
    auto button = std::make_shared<UIControl>(CGRectMake(10, 10, 80, 40));
    view->addSubview(button);
    button->addTargetForControlEvents([&](UIControl&) { ++buttonTaps; },
                                      UIControlEventTouchUpInside);
    touches->tap({50, 30});
    EXPECT_EQ(buttonTaps, 1);
    EXPECT_EQ(viewTaps, 0);
    touches->tap({200, 200});
    EXPECT_EQ(viewTaps, 1);

    button->setEnabled(false);
    touches->tap({50, 30});
    EXPECT_EQ(viewTaps, 2);
    button->setEnabled(true);
    button->removeAllTargets();
    button->addTargetForControlEvents([&](UIControl&) { ++buttonTaps; },
                                      UIControlEventValueChanged);
    touches->tap({50, 30});
    EXPECT_EQ(viewTaps, 3);
    EXPECT_EQ(buttonTaps, 1);
}

TEST_F(UIGestureRecognizerTest, SingleTapWaitsForTheDoubleTapToFail) {
    std::vector<std::string> log;
    auto single = std::make_shared<UITapGestureRecognizer>(
        [&](UIGestureRecognizer&) { log.push_back("single"); });
    auto twice = std::make_shared<UITapGestureRecognizer>(
        [&](UIGestureRecognizer&) { log.push_back("double"); });
    twice->setNumberOfTapsRequired(2);
    single->requireGestureRecognizerToFail(twice);
    view->addGestureRecognizer(single);
    view->addGestureRecognizer(twice);

    touches->tap({100, 100});
    EXPECT_TRUE(log.empty());  // the double tap is still possible
    touches->tap({102, 101}, 2);
    EXPECT_EQ(log, std::vector<std::string>{"double"});

    log.clear();
    touches->tap({100, 100});
    EXPECT_TRUE(log.empty());
    ASSERT_TRUE(runUntil([&] { return !log.empty(); }));  // after the double tap's timeout
    EXPECT_EQ(log, std::vector<std::string>{"single"});
    EXPECT_EQ(single->state(), UIGestureRecognizerStatePossible);
    EXPECT_EQ(twice->state(), UIGestureRecognizerStatePossible);
}

TEST_F(UIGestureRecognizerTest, TwoFingerTapNeedsBothFingers) {
    int taps = 0;
    auto tap = std::make_shared<UITapGestureRecognizer>([&](UIGestureRecognizer&) { ++taps; });
    tap->setNumberOfTouchesRequired(2);
    view->addGestureRecognizer(tap);
    touches->tap({100, 100});
    EXPECT_EQ(taps, 0);
    touches->down({{100, 100}, {200, 200}});
    touches->up();
    EXPECT_EQ(taps, 1);
}

TEST_F(UIGestureRecognizerTest, LongPressBeginsAfterItsDuration) {
    std::vector<UIGestureRecognizerState> states;
    auto press = std::make_shared<UILongPressGestureRecognizer>(
        [&](UIGestureRecognizer& r) { states.push_back(r.state()); });
    press->setMinimumPressDuration(0.05);
    view->addGestureRecognizer(press);
    touches->down({{50, 50}});
    ASSERT_TRUE(runUntil([&] { return !states.empty(); }));
    touches->move({{52, 52}});
    touches->up();
    EXPECT_EQ(states, (std::vector<UIGestureRecognizerState>{UIGestureRecognizerStateBegan,
                                                             UIGestureRecognizerStateChanged,
                                                             UIGestureRecognizerStateEnded}));
    // Lifting early fails it.
    states.clear();
    touches->down({{50, 50}});
    touches->up();
    NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.1));
    EXPECT_TRUE(states.empty());
}

TEST_F(UIGestureRecognizerTest, PanReportsTranslationAndVelocity) {
    std::vector<CGPoint> translations;
    CGPoint velocity{};
    auto pan = std::make_shared<UIPanGestureRecognizer>([&](UIGestureRecognizer& r) {
        auto& p = static_cast<UIPanGestureRecognizer&>(r);
        translations.push_back(p.translationInView(view));
        if (r.state() == UIGestureRecognizerStateEnded) {
            velocity = p.velocityInView(view);
        }
    });
    view->addGestureRecognizer(pan);
    touches->down({{100, 100}});
    touches->move({{105, 100}}, 0.01);  // within the hysteresis
    EXPECT_TRUE(translations.empty());
    touches->move({{120, 100}}, 0.01);
    touches->move({{140, 110}}, 0.01);
    touches->up(0);
    ASSERT_EQ(translations.size(), 3u);
    EXPECT_EQ(translations[0], CGPointMake(20, 0));
    EXPECT_EQ(translations[1], CGPointMake(40, 10));
    EXPECT_NEAR(velocity.x, 40 / 0.03, 1);
    EXPECT_NEAR(velocity.y, 10 / 0.03, 1);
}

TEST_F(UIGestureRecognizerTest, PinchAndRotationRecogniseTogetherWhenTheDelegateAllows) {
    struct Simultaneous : UIGestureRecognizerDelegate {
        bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
            UIGestureRecognizer&, UIGestureRecognizer&) override {
            return true;
        }
    };
    CGFloat scale = 0, rotation = 0;
    auto pinch = std::make_shared<UIPinchGestureRecognizer>(
        [&](UIGestureRecognizer& r) { scale = static_cast<UIPinchGestureRecognizer&>(r).scale(); });
    auto rotate = std::make_shared<UIRotationGestureRecognizer>([&](UIGestureRecognizer& r) {
        rotation = static_cast<UIRotationGestureRecognizer&>(r).rotation();
    });
    view->addGestureRecognizer(pinch);
    view->addGestureRecognizer(rotate);

    // Without permission the first to begin wins.
    touches->down({{100, 150}, {200, 150}});
    touches->move({{50, 150}, {250, 150}});
    touches->move({{150, 50}, {150, 250}});
    touches->up();
    EXPECT_EQ(scale, 2);
    EXPECT_EQ(rotation, 0);

    auto d = std::make_shared<Simultaneous>();
    pinch->setDelegate(d);
    touches->down({{100, 150}, {200, 150}});
    touches->move({{50, 150}, {250, 150}});
    touches->move({{150, 50}, {150, 250}});
    touches->up();
    EXPECT_NEAR(scale, 2, 1e-9);
    EXPECT_NEAR(rotation, M_PI / 2, 1e-9);
}

TEST_F(UIGestureRecognizerTest, DelegateCanRefuseTouchesAndBeginning) {
    struct Refuser : UIGestureRecognizerDelegate {
        bool begin = true;
        bool receive = true;
        bool gestureRecognizerShouldBegin(UIGestureRecognizer&) override { return begin; }
        bool gestureRecognizerShouldReceiveTouch(UIGestureRecognizer&, UITouch&) override {
            return receive;
        }
    };
    int taps = 0;
    auto tap = std::make_shared<UITapGestureRecognizer>([&](UIGestureRecognizer&) { ++taps; });
    auto d = std::make_shared<Refuser>();
    tap->setDelegate(d);
    view->addGestureRecognizer(tap);
    d->receive = false;
    touches->tap({10, 10});
    d->receive = true;
    d->begin = false;
    touches->tap({10, 10});
    EXPECT_EQ(taps, 0);
    EXPECT_EQ(view->events.back(), "ended");  // not cancelled: nothing recognised
    d->begin = true;
    touches->tap({10, 10});
    EXPECT_EQ(taps, 1);
}

TEST_F(UIGestureRecognizerTest, RecognisersOfAncestorsSeeTouchesOfSubviews) {
    auto child = std::make_shared<TouchLog>(CGRectMake(50, 50, 50, 50));
    view->addSubview(child);
    int taps = 0;
    view->addGestureRecognizer(
        std::make_shared<UITapGestureRecognizer>([&](UIGestureRecognizer& r) {
            ++taps;
            EXPECT_EQ(r.locationInView(child), CGPointMake(10, 20));
        }));
    touches->tap({60, 70});
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(child->events, (std::vector<std::string>{"began", "cancelled"}));
    EXPECT_TRUE(view->events.empty());
}

TEST_F(UIGestureRecognizerTest, DelaysTouchesBeganUntilTheRecogniserFails) {
    auto pan = std::make_shared<UIPanGestureRecognizer>();
    pan->setDelaysTouchesBegan(true);
    view->addGestureRecognizer(pan);
    touches->down({{100, 100}});
    EXPECT_TRUE(view->events.empty());  // held back while the pan may begin
    touches->up();
    // The pan failed at lift-off: the view sees the whole touch late.
    EXPECT_EQ(view->events, (std::vector<std::string>{"began", "ended"}));

    view->events.clear();
    touches->drag({100, 100}, {150, 100}, 5, 0.1);
    touches->up();
    EXPECT_TRUE(view->events.empty());  // the pan took the touch
}

TEST_F(UIGestureRecognizerTest, DisabledRecognisersIgnoreTouches) {
    int taps = 0;
    auto tap = std::make_shared<UITapGestureRecognizer>([&](UIGestureRecognizer&) { ++taps; });
    view->addGestureRecognizer(tap);
    tap->setEnabled(false);
    touches->tap({10, 10});
    EXPECT_EQ(taps, 0);
    EXPECT_EQ(view->events, (std::vector<std::string>{"began", "ended"}));
    tap->setEnabled(true);
    view->removeGestureRecognizer(tap);
    EXPECT_EQ(tap->view(), nullptr);
    touches->tap({10, 10});
    EXPECT_EQ(taps, 0);
}

}  // namespace
