#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "QuartzCore/CAFrameClock.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UIPinchGestureRecognizer.h"
#include "UIKit/UIScrollView.h"
#include "UIKitTestSupport.h"

namespace {

// Logs the delegate calls (runs of didScroll and didZoom collapsed).
class Recorder : public UIScrollViewDelegate {
  public:
    std::vector<std::string> calls;
    std::shared_ptr<UIView> zoomView;
    std::optional<CGPoint> retarget;
    std::function<void()> onZoom;

    void log(const std::string& name) {
        if (calls.empty() || calls.back() != name || (name != "scroll" && name != "zoom")) {
            calls.push_back(name);
        }
    }
    void scrollViewDidScroll(UIScrollView&) override { log("scroll"); }
    void scrollViewDidZoom(UIScrollView&) override {
        log("zoom");
        if (onZoom) {
            onZoom();
        }
    }
    void scrollViewWillBeginDragging(UIScrollView&) override { log("willBeginDragging"); }
    void scrollViewWillEndDraggingWithVelocityTargetContentOffset(UIScrollView&, CGPoint,
                                                                  CGPoint* target) override {
        log("willEndDragging");
        if (retarget) {
            *target = *retarget;
        }
    }
    void scrollViewDidEndDraggingWillDecelerate(UIScrollView&, bool decelerate) override {
        log(decelerate ? "didEndDragging(decelerate)" : "didEndDragging");
    }
    void scrollViewWillBeginDecelerating(UIScrollView&) override { log("willBeginDecelerating"); }
    void scrollViewDidEndDecelerating(UIScrollView&) override { log("didEndDecelerating"); }
    void scrollViewDidEndScrollingAnimation(UIScrollView&) override {
        log("didEndScrollingAnimation");
    }
    std::shared_ptr<UIView> viewForZoomingInScrollView(UIScrollView&) override { return zoomView; }
    void scrollViewWillBeginZoomingWithView(UIScrollView&,
                                            const std::shared_ptr<UIView>&) override {
        log("willBeginZooming");
    }
    void scrollViewDidEndZoomingWithViewAtScale(UIScrollView&, const std::shared_ptr<UIView>&,
                                                CGFloat) override {
        log("didEndZooming");
    }
};

class UIScrollViewTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        window = makeWindow({200, 200});
        scroll = std::make_shared<UIScrollView>(CGRectMake(0, 0, 200, 200));
        recorder = std::make_shared<Recorder>();
        scroll->setDelegate(recorder);
        content = std::make_shared<UIView>(CGRectMake(0, 0, 1000, 1000));
        scroll->addSubview(content);
        scroll->setContentSize({1000, 1000});
        window->addSubview(scroll);
        touches = std::make_unique<TouchDriver>(window);
    }
    void runFrames(double seconds) {
        for (double t = 0; t < seconds; t += 1.0 / 60) {
            CAFrameClock::shared().advance(1.0 / 60);
        }
    }
    void enableZoom() {
        recorder->zoomView = content;
        scroll->setMinimumZoomScale(0.5);
        scroll->setMaximumZoomScale(4);
    }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIScrollView> scroll;
    std::shared_ptr<Recorder> recorder;
    std::shared_ptr<UIView> content;
    std::unique_ptr<TouchDriver> touches;
};

TEST_F(UIScrollViewTest, SlowDragMovesTheContentWithTheFinger) {
    touches->drag({150, 150}, {50, 100}, 20, 2);
    EXPECT_TRUE(scroll->isDragging());
    EXPECT_TRUE(scroll->isTracking());
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(100, 50));
    CAFrameClock::shared().advance(0.5);  // held still before lifting
    touches->up(0);
    EXPECT_FALSE(scroll->isDragging());
    EXPECT_FALSE(scroll->isDecelerating());
    EXPECT_EQ(recorder->calls, (std::vector<std::string>{"willBeginDragging", "scroll",
                                                         "willEndDragging", "didEndDragging"}));
}

TEST_F(UIScrollViewTest, FlickDeceleratesAndStopsWithinTheContent) {
    touches->drag({150, 150}, {50, 150}, 5, 0.05);
    touches->up(0);
    EXPECT_TRUE(scroll->isDecelerating());
    const CGFloat released = scroll->contentOffset().x;
    runFrames(0.5);
    EXPECT_GT(scroll->contentOffset().x, released + 100);
    runFrames(8);
    EXPECT_FALSE(scroll->isDecelerating());
    EXPECT_LE(scroll->contentOffset().x, 800);
    EXPECT_EQ(scroll->contentOffset().y, 0);
    EXPECT_EQ(recorder->calls,
              (std::vector<std::string>{"willBeginDragging", "scroll", "willEndDragging",
                                        "didEndDragging(decelerate)", "willBeginDecelerating",
                                        "scroll", "didEndDecelerating"}));
}

TEST_F(UIScrollViewTest, DelegateMovesTheDecelerationTarget) {
    recorder->retarget = CGPointMake(400, 0);
    touches->drag({150, 150}, {50, 150}, 5, 0.05);
    touches->up(0);
    runFrames(10);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(400, 0));
}

TEST_F(UIScrollViewTest, DragPastTheEdgeStretchesAndSpringsBack) {
    touches->drag({50, 50}, {50, 150}, 10, 1);
    const CGFloat stretched = scroll->contentOffset().y;
    EXPECT_LT(stretched, 0);
    EXPECT_GT(stretched, -100);  // rubber band: less than the finger moved
    CAFrameClock::shared().advance(0.5);
    touches->up(0);
    runFrames(5);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(0, 0));

    scroll->setBounces(false);
    touches->drag({50, 50}, {50, 150}, 10, 1);
    EXPECT_EQ(scroll->contentOffset().y, 0);
    touches->up();
}

TEST_F(UIScrollViewTest, ContentSmallerThanTheBoundsDoesNotScroll) {
    scroll->setContentSize({150, 150});
    touches->drag({150, 150}, {50, 50}, 10, 1);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(0, 0));
    touches->up();
    scroll->setAlwaysBounceVertical(true);
    touches->drag({150, 150}, {150, 100}, 10, 1);
    EXPECT_GT(scroll->contentOffset().y, 0);
    EXPECT_EQ(scroll->contentOffset().x, 0);
    touches->up();
    runFrames(5);
}

TEST_F(UIScrollViewTest, PinchZoomsAroundTheFingersAndBouncesBackPastTheMaximum) {
    enableZoom();
    // Fingers around (100, 100) move apart to three times their distance.
    touches->down({{80, 100}, {120, 100}});
    touches->move({{70, 100}, {130, 100}});
    touches->move({{40, 100}, {160, 100}});
    EXPECT_TRUE(scroll->isZooming());
    EXPECT_NEAR(scroll->zoomScale(), 3, 1e-9);
    EXPECT_EQ(scroll->contentSize(), CGSizeMake(3000, 3000));
    // The content point under the fingers stays under them.
    EXPECT_NEAR(scroll->contentOffset().x, 100 * 3 - 100, 1e-6);
    EXPECT_EQ(content->frame(), CGRectMake(0, 0, 3000, 3000));

    touches->move({{0, 100}, {200, 100}});  // 5x asked: past the maximum
    EXPECT_GT(scroll->zoomScale(), 4);
    EXPECT_LT(scroll->zoomScale(), 5);
    touches->up();
    EXPECT_FALSE(scroll->isZooming());
    EXPECT_TRUE(scroll->isZoomBouncing());
    runFrames(1);
    EXPECT_FALSE(scroll->isZoomBouncing());
    EXPECT_EQ(scroll->zoomScale(), 4);
    EXPECT_NEAR(scroll->contentOffset().x, 100 * 4 - 100, 1e-6);

    auto& calls = recorder->calls;
    auto first = [&](const std::string& name) {
        return std::find(calls.begin(), calls.end(), name) - calls.begin();
    };
    EXPECT_EQ(calls.front(), "willBeginZooming");
    EXPECT_LT(first("zoom"), first("didEndZooming"));
    EXPECT_EQ(calls.back(), "didEndZooming");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "didEndZooming"), 1);
}

TEST_F(UIScrollViewTest, ProgrammaticZoomAndScrolling) {
    enableZoom();
    scroll->zoomToRectAnimated(CGRectMake(100, 100, 100, 100), false);
    EXPECT_EQ(scroll->zoomScale(), 2);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(200, 200));

    scroll->setZoomScaleAnimated(1, false);  // keeps the centre (150, 150)
    EXPECT_EQ(scroll->zoomScale(), 1);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(50, 50));

    scroll->setZoomScale(10);
    EXPECT_EQ(scroll->zoomScale(), 4);

    recorder->calls.clear();
    scroll->zoomToRectAnimated(CGRectMake(0, 0, 400, 400), true);
    runFrames(0.5);
    EXPECT_EQ(scroll->zoomScale(), 0.5);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(0, 0));
    EXPECT_EQ(recorder->calls.back(), "didEndZooming");

    recorder->calls.clear();
    scroll->scrollRectToVisibleAnimated(CGRectMake(450, 10, 20, 20), true);
    runFrames(0.5);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(270, 0));  // just enough to show it
    EXPECT_EQ(recorder->calls, (std::vector<std::string>{"scroll", "didEndScrollingAnimation"}));
}

// The zoom buttons of a map: each tap zooms about the middle, a tap during
// the last one's animation too. The point in the middle stays there on every
// frame, as the delegate sees it, and the taps add up.
TEST_F(UIScrollViewTest, AnimatedZoomsKeepTheMiddleOnEveryFrameAndAddUp) {
    enableZoom();
    scroll->setContentOffset({700, 500});
    auto middle = [&] {
        const CGPoint o = scroll->contentOffset();
        return CGPoint{(o.x + 100) / scroll->zoomScale(), (o.y + 100) / scroll->zoomScale()};
    };
    int frames = 0;
    recorder->onZoom = [&] {
        ++frames;
        EXPECT_NEAR(middle().x, 800, 0.01);
        EXPECT_NEAR(middle().y, 600, 0.01);
    };
    scroll->setZoomScaleAnimated(2, true);
    EXPECT_EQ(scroll->targetZoomScale(), 2);
    runFrames(0.1);
    EXPECT_LT(scroll->zoomScale(), 2);
    scroll->setZoomScaleAnimated(scroll->targetZoomScale() * 2, true);
    EXPECT_EQ(scroll->targetZoomScale(), 4);
    runFrames(0.5);
    EXPECT_EQ(scroll->zoomScale(), 4);
    EXPECT_EQ(scroll->targetZoomScale(), 4);
    EXPECT_GT(frames, 10);
    EXPECT_EQ(recorder->calls.back(), "didEndZooming");
}

TEST_F(UIScrollViewTest, TouchStopsDecelerationAndInsetsWidenTheRange) {
    touches->drag({150, 150}, {50, 150}, 5, 0.05);
    touches->up(0);
    runFrames(0.2);
    EXPECT_TRUE(scroll->isDecelerating());
    touches->down({{100, 100}});
    EXPECT_FALSE(scroll->isDecelerating());
    const CGPoint held = scroll->contentOffset();
    runFrames(0.5);
    EXPECT_EQ(scroll->contentOffset(), held);
    touches->up();

    scroll->setContentInset(UIEdgeInsetsMake(20, 0, 30, 0));
    EXPECT_EQ(scroll->minimumContentOffset(), CGPointMake(0, -20));
    EXPECT_EQ(scroll->maximumContentOffset(), CGPointMake(800, 830));
}

TEST_F(UIScrollViewTest, PagingSettlesOnWholePages) {
    scroll->setPagingEnabled(true);
    touches->drag({150, 100}, {90, 100}, 10, 1);  // slowly, less than half a page
    CAFrameClock::shared().advance(0.5);
    touches->up(0);
    runFrames(5);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(0, 0));
    touches->drag({150, 100}, {120, 100}, 3, 0.03);  // a quick flick turns the page
    touches->up(0);
    runFrames(5);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(200, 0));
}

TEST_F(UIScrollViewTest, DisabledScrollingLetsTheContentsKeepTheTouches) {
    scroll->setScrollEnabled(false);
    touches->drag({150, 150}, {50, 50}, 10, 1);
    touches->up();
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(0, 0));
    EXPECT_TRUE(recorder->calls.empty());
}

// Content that shrinks below the offset, or bounds that grow past the
// content's end, bring the offset back to the end, telling the delegate; a
// drag under way keeps its offset until its release springs back. Insets
// leave the offset where it is.
TEST_F(UIScrollViewTest, ShrinkingContentOrGrowingBoundsBringTheOffsetBack) {
    scroll->setContentOffset({600, 700});
    recorder->calls.clear();
    scroll->setContentSize({1000, 500});
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(600, 300));
    EXPECT_EQ(recorder->calls, std::vector<std::string>{"scroll"});
    scroll->setContentSize({100, 100});  // fits: back to the top left
    EXPECT_EQ(scroll->contentOffset(), CGPointZero);

    scroll->setContentSize({1000, 1000});
    scroll->setContentOffset({0, 800});
    scroll->setFrame(CGRectMake(0, 0, 200, 400));
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(0, 600));
    scroll->setFrame(CGRectMake(0, 0, 200, 200));
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(0, 600));

    touches->drag({100, 150}, {100, 50}, 10, 1);
    ASSERT_TRUE(scroll->isDragging());
    const CGPoint dragged = scroll->contentOffset();
    scroll->setContentSize({1000, 300});
    EXPECT_EQ(scroll->contentOffset(), dragged);
    touches->up();
    runFrames(5);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(0, 100));

    scroll->setContentInset(UIEdgeInsetsMake(50, 0, 0, 0));
    scroll->setContentOffset({0, -50});
    scroll->setContentInset(UIEdgeInsetsZero);
    EXPECT_EQ(scroll->contentOffset(), CGPointMake(0, -50));
}

// The layers the scroll view holds that are no subview's.
std::vector<std::shared_ptr<CALayer>> indicators(const UIScrollView& scroll) {
    std::vector<std::shared_ptr<CALayer>> found;
    for (const auto& layer : scroll.layer()->sublayers()) {
        const auto& views = scroll.subviews();
        if (std::none_of(views.begin(), views.end(),
                         [&](const auto& view) { return view->layer() == layer; })) {
            found.push_back(layer);
        }
    }
    return found;
}

TEST_F(UIScrollViewTest, FlashedIndicatorsShowWhereTheVisibleAreaLiesAndFade) {
    scroll->setContentOffset({0, 400});
    scroll->setShowsHorizontalScrollIndicator(false);
    EXPECT_TRUE(indicators(*scroll).empty());
    scroll->flashScrollIndicators();
    ASSERT_EQ(indicators(*scroll).size(), 1u);
    const auto bar = indicators(*scroll)[0];
    // A fifth of the content is visible, halfway down: along the right edge,
    // 3 points in, halfway down the track between 3-point margins.
    EXPECT_EQ(bar->frame().origin.x, 194);
    EXPECT_NEAR(bar->frame().size.height, 38.8, 1e-9);
    EXPECT_NEAR(bar->frame().origin.y, 400 + 3 + 0.5 * (194 - 38.8), 1e-9);
    EXPECT_EQ(bar->presentationLayer()->opacity(), 1);

    // A view added meanwhile goes under the bar; a scroll to the end moves
    // the bar to the end of the track.
    scroll->addSubview(std::make_shared<UIView>(CGRectMake(0, 0, 50, 50)));
    scroll->setContentOffset({0, 800});
    EXPECT_EQ(scroll->layer()->sublayers().back(), bar);
    EXPECT_NEAR(CGRectGetMaxY(bar->frame()), 1000 - 3, 1e-9);

    runFrames(1);
    EXPECT_EQ(bar->presentationLayer()->opacity(), 0);

    // A content that fits shows no bar for its direction.
    scroll->setContentSize({200, 200});
    scroll->setShowsHorizontalScrollIndicator(true);
    scroll->flashScrollIndicators();
    EXPECT_EQ(bar->presentationLayer()->opacity(), 0);
    EXPECT_EQ(indicators(*scroll).size(), 1u);
}

}  // namespace
