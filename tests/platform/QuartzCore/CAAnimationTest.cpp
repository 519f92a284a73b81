#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Dispatch/NSRunLoop.h"
#include "QuartzCore/CAAnimation.h"
#include "QuartzCore/CADisplayLink.h"
#include "QuartzCore/CAFrameClock.h"
#include "QuartzCore/CALayer.h"
#include "QuartzCore/CAMediaTimingFunction.h"
#include "QuartzCore/CAShapeLayer.h"
#include "QuartzCore/CATransaction.h"

namespace {

class CAAnimationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CAFrameClock::shared().setManual(true);
        root = CALayer::layer();
        layer = CALayer::layer();
        CATransaction::begin();
        CATransaction::setDisableActions(true);
        root->setFrame(CGRectMake(0, 0, 200, 200));
        layer->setFrame(CGRectMake(0, 0, 20, 20));
        CATransaction::commit();
        root->addSublayer(layer);
    }
    void TearDown() override {
        CAFrameClock::shared().advance(10);  // ends what is left
        CAFrameClock::shared().setManual(false);
    }
    CGPoint shownPosition() { return layer->presentationLayer()->position(); }

    std::shared_ptr<CALayer> root;
    std::shared_ptr<CALayer> layer;
};

TEST_F(CAAnimationTest, BasicAnimationShowsInterpolatedValuesAndEndsOnTime) {
    auto animation = CABasicAnimation::animationWithKeyPath("position");
    animation->setFromValue(CGPoint{0, 0});
    animation->setToValue(CGPoint{100, 0});
    animation->setDuration(1);
    bool finished = false;
    int stops = 0;
    animation->addStopHandler([&](bool f) {
        finished = f;
        ++stops;
    });
    layer->addAnimation(animation, "move");
    EXPECT_EQ(layer->position(), CGPointMake(10, 10));  // the model keeps its value
    CAFrameClock::shared().advance(0.25);
    EXPECT_NEAR(shownPosition().x, 25, 1e-9);
    CAFrameClock::shared().advance(0.5);
    EXPECT_NEAR(shownPosition().x, 75, 1e-9);
    EXPECT_EQ(stops, 0);
    CAFrameClock::shared().advance(0.25);
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(finished);
    EXPECT_FALSE(layer->hasAnimations());
    EXPECT_EQ(shownPosition(), CGPointMake(10, 10));
}

TEST_F(CAAnimationTest, ReplacingAnAnimationStopsTheOldOneUnfinished) {
    std::vector<bool> results;
    for (int i = 0; i < 2; ++i) {
        auto animation = CABasicAnimation::animationWithKeyPath("opacity");
        animation->setToValue(CGFloat(0));
        animation->setDuration(1);
        animation->addStopHandler([&](bool f) { results.push_back(f); });
        layer->addAnimation(animation, "fade");
    }
    EXPECT_EQ(results, std::vector<bool>{false});
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(results, (std::vector<bool>{false, true}));
}

TEST_F(CAAnimationTest, KeyframesFollowKeyTimesAndDiscreteMode) {
    auto animation = CAKeyframeAnimation::animationWithKeyPath("opacity");
    animation->setValues({CGFloat(0), CGFloat(1), CGFloat(0.5)});
    animation->setKeyTimes({0, 0.8, 1});
    animation->setDuration(1);
    layer->addAnimation(animation, "k");
    CAFrameClock::shared().advance(0.4);
    EXPECT_NEAR(layer->presentationLayer()->opacity(), 0.5, 1e-6);
    CAFrameClock::shared().advance(0.5);
    EXPECT_NEAR(layer->presentationLayer()->opacity(), 0.75, 1e-6);

    animation->setCalculationMode(CACalculationMode::Discrete);
    layer->addAnimation(animation, "k");
    CAFrameClock::shared().advance(0.5);
    EXPECT_NEAR(layer->presentationLayer()->opacity(), 0, 1e-6);
}

TEST_F(CAAnimationTest, KeyframePathMovesAlongItsLength) {
    auto animation = CAKeyframeAnimation::animationWithKeyPath("position");
    CGPath path;
    path.moveToPoint({0, 0});
    path.addLineToPoint({30, 0});
    path.addLineToPoint({30, 10});
    animation->setPath(path);
    animation->setDuration(1);
    layer->addAnimation(animation, "p");
    CAFrameClock::shared().advance(0.5);
    EXPECT_NEAR(shownPosition().x, 20, 1e-9);
    CAFrameClock::shared().advance(0.375);
    EXPECT_NEAR(shownPosition().x, 30, 1e-9);
    EXPECT_NEAR(shownPosition().y, 5, 1e-9);
}

TEST_F(CAAnimationTest, TimingFunctionsAndSpringsStartAtZeroAndEndAtOne) {
    for (const char* name : {kCAMediaTimingFunctionEaseIn, kCAMediaTimingFunctionEaseOut,
                             kCAMediaTimingFunctionEaseInEaseOut, kCAMediaTimingFunctionDefault}) {
        auto f = CAMediaTimingFunction::functionWithName(name);
        EXPECT_EQ(f->evaluate(0), 0) << name;
        EXPECT_EQ(f->evaluate(1), 1) << name;
        EXPECT_NEAR(CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseInEaseOut)
                        ->evaluate(0.5),
                    0.5, 1e-6);
    }
    EXPECT_LT(CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseIn)->evaluate(0.3),
              0.3);
    auto bouncy = CAMediaTimingFunction::springWithDamping(0.3, 0);
    CGFloat peak = 0;
    for (int i = 0; i <= 100; ++i) {
        peak = std::max(peak, bouncy->evaluate(i / 100.0));
    }
    EXPECT_GT(peak, 1.05);  // an underdamped spring overshoots
    EXPECT_NEAR(CAMediaTimingFunction::springWithDamping(1, 0)->evaluate(0.999), 1, 0.01);
}

TEST_F(CAAnimationTest, ImplicitAnimationsForSublayersUnlessActionsAreDisabled) {
    layer->setOpacity(0);
    EXPECT_TRUE(layer->animationForKey("opacity"));
    EXPECT_NEAR(layer->presentationLayer()->opacity(), 1, 1e-6);
    CAFrameClock::shared().advance(0.25);
    EXPECT_FALSE(layer->hasAnimations());

    CATransaction::begin();
    CATransaction::setDisableActions(true);
    layer->setOpacity(1);
    CATransaction::commit();
    EXPECT_FALSE(layer->hasAnimations());

    auto loose = CALayer::layer();  // outside a tree
    loose->setOpacity(0.5);
    EXPECT_FALSE(loose->hasAnimations());
}

TEST_F(CAAnimationTest, TransactionCompletionWaitsForItsAnimations) {
    int completions = 0;
    CATransaction::begin();
    CATransaction::setAnimationDuration(2);
    CATransaction::setCompletionBlock([&] { ++completions; });
    layer->setPosition({50, 50});
    CATransaction::commit();
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(completions, 0);
    EXPECT_NEAR(shownPosition().x, 30, 1e-9);
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(completions, 1);

    CATransaction::begin();
    CATransaction::setCompletionBlock([&] { ++completions; });
    CATransaction::commit();
    EXPECT_EQ(completions, 1);  // not inside commit
    CAFrameClock::shared().advance(0);
    EXPECT_EQ(completions, 2);
}

TEST_F(CAAnimationTest, RepeatAndAutoreverseEndWhereTheyBegan) {
    auto animation = CABasicAnimation::animationWithKeyPath("position.x");
    animation->setFromValue(CGFloat(0));
    animation->setToValue(CGFloat(100));
    animation->setDuration(1);
    animation->setAutoreverses(true);
    animation->setRepeatCount(2);
    animation->setFillMode(CAFillMode::Forwards);
    animation->setRemovedOnCompletion(false);
    layer->addAnimation(animation, "x");
    CAFrameClock::shared().advance(1.5);
    EXPECT_NEAR(shownPosition().x, 50, 1e-9);
    CAFrameClock::shared().advance(1.0);
    EXPECT_NEAR(shownPosition().x, 50, 1e-9);
    CAFrameClock::shared().advance(2);
    EXPECT_TRUE(layer->hasAnimations());  // kept, filling forwards
    EXPECT_NEAR(shownPosition().x, 0, 1e-9);
    layer->removeAllAnimations();
}

TEST_F(CAAnimationTest, DisplayLinksFireEachFrameUntilInvalidated) {
    std::vector<double> stamps;
    auto link = CADisplayLink::displayLinkWithCallback(
        [&](CADisplayLink& l) { stamps.push_back(l.timestamp() - l.previousTimestamp()); });
    link->addToMainRunLoop();
    CAFrameClock::shared().advance(0.1);
    CAFrameClock::shared().advance(0.2);
    link->setPaused(true);
    CAFrameClock::shared().advance(0.1);
    link->invalidate();
    CAFrameClock::shared().advance(0.1);
    ASSERT_EQ(stamps.size(), 2u);
    EXPECT_NEAR(stamps[0], 0.1, 1e-9);
    EXPECT_NEAR(stamps[1], 0.2, 1e-9);
}

TEST_F(CAAnimationTest, ShapeLayerStrokeEndAnimatesAndDrawsPartOfThePath) {
    auto shape = CAShapeLayer::layer();
    shape->setFrame(CGRectMake(0, 0, 40, 10));
    CGPath line;
    line.moveToPoint({0, 5});
    line.addLineToPoint({40, 5});
    shape->setPath(line);
    shape->setFillColor(std::nullopt);
    shape->setStrokeColor(CGColorCreateGenericRGB(1, 0, 0, 1));
    shape->setLineWidth(4);
    shape->setStrokeEnd(0.5);
    auto context = CGContext::createBitmapContext(40, 10);
    context->translateCTM(0, 10);
    context->scaleCTM(1, -1);
    shape->renderInContext(*context);
    auto image = context->createImage();
    EXPECT_EQ(image->pixelAt(10, 5), 0xFFFF0000u);
    EXPECT_EQ(image->pixelAt(30, 5) >> 24, 0u);

    auto grow = CABasicAnimation::animationWithKeyPath("strokeEnd");
    grow->setFromValue(CGFloat(0));
    grow->setToValue(CGFloat(1));
    grow->setDuration(1);
    shape->addAnimation(grow, "grow");
    CAFrameClock::shared().advance(0.25);
    auto shown = std::static_pointer_cast<CAShapeLayer>(shape->presentationLayer());
    EXPECT_NEAR(shown->strokeEnd(), 0.25, 1e-9);
    EXPECT_EQ(shape->strokeEnd(), 0.5);
}

}  // namespace

namespace {

TEST_F(CAAnimationTest, TheScreenSettlesOnceOnlyEndlessAnimationsAreLeft) {
    auto& clock = CAFrameClock::shared();
    clock.advance(1);
    EXPECT_FALSE(clock.isSettling());
    auto breathing = CABasicAnimation::animationWithKeyPath("opacity");
    breathing->setToValue(CGFloat(0.5));
    breathing->setDuration(1);
    breathing->setAutoreverses(true);
    breathing->setRepeatCount(HUGE_VAL);
    layer->addAnimation(breathing, "breathing");
    EXPECT_TRUE(clock.isSettling());  // the change waits for a frame
    clock.advance(0.1);
    EXPECT_FALSE(clock.isSettling());
    // Drawing a frame reads the animated values; that changes nothing.
    EXPECT_LT(layer->presentationLayer()->opacity(), 1.0f);
    EXPECT_FALSE(clock.isSettling());
    auto fade = CABasicAnimation::animationWithKeyPath("position");
    fade->setToValue(CGPointMake(50, 50));
    fade->setDuration(0.5);
    layer->addAnimation(fade, "move");
    clock.advance(0.1);
    EXPECT_TRUE(clock.isSettling());
    clock.advance(1);
    EXPECT_FALSE(clock.isSettling());
    layer->removeAllAnimations();

    // A sublayer of an ambient layer moving with the world outside: settled
    // once its change is drawn, though its move has not ended.
    auto dot = CALayer::layer();
    layer->addSublayer(dot);
    layer->setAmbient(true);
    dot->addAnimation(fade, "move");
    clock.advance(0.1);
    EXPECT_FALSE(clock.isSettling());
    layer->setAmbient(false);
    EXPECT_TRUE(clock.isSettling());
    dot->removeFromSuperlayer();
}

}  // namespace

// What the program times by the frame clock happens when the manual clock
// gets there, in the order due, however long the machine took; leaving
// manual mode hands what is left to the main queue.
TEST(CAFrameClockTimeTest, PerformAfterFollowsTheClocksTimeNotTheMachines) {
    auto& clock = CAFrameClock::shared();
    clock.setManual(true);
    std::vector<std::string> ran;
    clock.performAfter(2, [&] { ran.push_back("late"); });
    clock.performAfter(1, [&] { ran.push_back("early"); });
    clock.advance(0.9);
    EXPECT_TRUE(ran.empty());
    clock.advance(1.5);
    EXPECT_EQ(ran, (std::vector<std::string>{"early", "late"}));

    bool handedOver = false;
    clock.performAfter(0.05, [&] { handedOver = true; });
    clock.setManual(false);
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil([&] { return handedOver; }, 10.0));
}
