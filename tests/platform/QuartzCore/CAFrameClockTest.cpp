// What a still screen with a breathing position dot costs: the frames the
// clock draws and the part of the window each one redraws.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "QuartzCore/CAAnimation.h"
#include "QuartzCore/CAFrameClock.h"
#include "QuartzCore/CALayer.h"
#include "QuartzCore/CATransaction.h"
#include "platform/QuartzCore/BreathingAnimation.h"

namespace {

class CAFrameClockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clock.setManual(true);
        CATransaction::begin();
        CATransaction::setDisableActions(true);
        window->setFrame(CGRectMake(0, 0, 320, 568));
        map->setFrame(window->bounds());
        map->setBackgroundColor(CGColor{0.9, 0.9, 0.85, 1, nullptr});
        dot->setFrame(CGRectMake(149, 273, 22, 22));
        inner->setFrame(CGRectMake(3.5, 3.5, 15, 15));
        pulse->setFrame(CGRectMake(-39, -39, 100, 100));
        pulse->setHidden(true);
        CATransaction::commit();
        window->addSublayer(map);
        map->addSublayer(dot);
        dot->addSublayer(pulse);
        dot->addSublayer(inner);
        dot->setAmbient(true);
        clock.advance(1);  // the first frame draws the whole window
        handler = clock.addFrameHandler([this] { frames.push_back(clock.frameDamage()); });
        clock.advance(1.0 / 60);
        frames.clear();
    }
    void TearDown() override {
        clock.removeFrameHandler(handler);
        window->removeFromSuperlayer();
        map->removeFromSuperlayer();
        dot->removeFromSuperlayer();
        inner->removeAllAnimations();
        pulse->removeAllAnimations();
        clock.setScreenShown(true);
        clock.advance(10);
        clock.setManual(false);
    }

    void breathe() { inner->addAnimation(breathingAnimation(), "breathing"); }
    // Ticks at 60 Hz for the seconds given.
    void run(double seconds) {
        for (int i = 0; i < int(std::lround(seconds * 60)); ++i)
            clock.advance(1.0 / 60);
    }
    // Points redrawn by the frames so far; a whole frame counts the window.
    double pointsRedrawn() const {
        double sum = 0;
        for (const auto& damage : frames)
            sum += damage ? damage->size.width * damage->size.height : 320.0 * 568;
        return sum;
    }

    CAFrameClock& clock = CAFrameClock::shared();
    std::shared_ptr<CALayer> window = CALayer::layer();
    std::shared_ptr<CALayer> map = CALayer::layer();
    std::shared_ptr<CALayer> dot = CALayer::layer();
    std::shared_ptr<CALayer> inner = CALayer::layer();
    std::shared_ptr<CALayer> pulse = CALayer::layer();
    std::vector<std::optional<CGRect>> frames;
    int handler = 0;
};

TEST_F(CAFrameClockTest, AStillMapWithABreathingDotRedrawsOnlyTheDotAtALowRate) {
    run(10);
    EXPECT_TRUE(frames.empty()) << "nothing changes, nothing is drawn";

    breathe();
    clock.advance(1.0 / 60);  // the new animation is a change: a whole frame
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames.front());
    frames.clear();
    run(10);
    EXPECT_NEAR(double(frames.size()), 10 * CAFrameClock::kAmbientFrameRate, 3);
    for (const auto& damage : frames) {
        ASSERT_TRUE(damage) << "a breathing dot never redraws the whole window";
        EXPECT_TRUE(CGRectContainsRect(CGRectMake(145, 269, 30, 30), *damage));
        EXPECT_TRUE(CGRectContainsRect(*damage, CGRectMake(156, 280, 8, 8)));
    }
    EXPECT_LT(pointsRedrawn(), 0.05 * 10 * 60 * 320 * 568) << "under 5 % of 60 whole frames a s";
}

TEST_F(CAFrameClockTest, AnUnseenScreenDrawsNoAmbientFramesAndAWholeOneWhenShownAgain) {
    breathe();
    run(1);
    clock.setScreenShown(false);
    frames.clear();
    run(10);
    EXPECT_TRUE(frames.empty());
    EXPECT_FALSE(clock.needsFrame()) << "the clock stops while the dot is not seen";
    clock.setScreenShown(true);
    clock.advance(1.0 / 60);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames.front());
}

TEST_F(CAFrameClockTest, APulseRunsAtTheFullRateOverItsOwnAreaAndAChangeRedrawsAll) {
    breathe();
    run(1);
    pulse->setHidden(false);  // not an ambient frame: the layer changed
    auto grow = CAKeyframeAnimation::animationWithKeyPath("transform.scale");
    grow->setValues({CAValue(CGFloat(0.3)), CAValue(CGFloat(2.0))});
    grow->setDuration(1.3);
    pulse->addAnimation(grow, "scale");
    clock.advance(1.0 / 60);
    frames.clear();
    run(1);
    EXPECT_GE(frames.size(), 55u) << "an animation that ends is drawn every frame";
    for (const auto& damage : frames) {
        ASSERT_TRUE(damage);
        EXPECT_TRUE(CGRectContainsRect(CGRectMake(55, 179, 210, 210), *damage));
    }

    frames.clear();
    map->setBackgroundColor(CGColor{1, 1, 1, 1, nullptr});
    clock.advance(1.0 / 60);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames.front()) << "a change elsewhere redraws the whole window";
}

}  // namespace
