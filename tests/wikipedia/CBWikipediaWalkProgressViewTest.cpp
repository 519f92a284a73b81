#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Host/HostScenario.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "platform/UIKit/UIKitTestSupport.h"
#include "widgets/UIColor+KelvaraColors.h"
#include "wikipedia/CBWikipediaWalkProgressView.h"

namespace {

struct Recorder : CBWikipediaWalkProgressViewDelegate {
    std::vector<std::string> messages;
    void walkProgressViewChangedHighlightedIndex(CBWikipediaWalkProgressView&,
                                                 long index) override {
        messages.push_back("highlight " + name(index));
    }
    void walkProgressViewDidSelectIndex(CBWikipediaWalkProgressView&, long index) override {
        messages.push_back("select " + name(index));
    }
    static std::string name(long index) {
        return index == kWalkStopNotFound ? "none" : std::to_string(index);
    }
};

// The walk screen's landscape track on a 480-point wide window: stops at
// the start, at 10 %, at 90 % and at the end.
std::shared_ptr<CBWikipediaWalkProgressView> track(std::vector<double> distances = {0, 100, 900,
                                                                                    1000}) {
    auto view = CBWikipediaWalkProgressView::create(CGRectMake(0, 0, 436, 44));
    view->setCumulatedDistancesForStops(std::move(distances));
    return view;
}

// The track drawn into a bitmap of its size at scale 1; only `dirty` is
// redrawn, as when the view asks for part of itself.
CGImageRef drawn(CBWikipediaWalkProgressView& view, const CGRect& dirty) {
    UIGraphicsBeginImageContextWithOptions(view.bounds().size, false, 1);
    UIGraphicsGetCurrentContext()->clipToRect(dirty);
    view.drawRect(dirty);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image->CGImage();
}

// Red, green and blue of a premultiplied pixel that is opaque.
std::vector<int> rgb(uint32_t pixel) {
    return {int(pixel >> 16 & 0xFF), int(pixel >> 8 & 0xFF), int(pixel & 0xFF)};
}
std::vector<int> rgb(const UIColor& colour) {
    const CGColor c = colour.CGColor();
    return {int(std::lround(c.red * 255)), int(std::lround(c.green * 255)),
            int(std::lround(c.blue * 255))};
}

class CBWikipediaWalkProgressViewTest : public UIKitTest {};

TEST_F(CBWikipediaWalkProgressViewTest, StopsSitOnTheInsetLineInProportionToTheirDistance) {
    auto view = track();
    // 7 points of stop, 11 of casing and 2 more on each side.
    EXPECT_EQ(view->lineRect(), CGRectMake(20, 20, 396, 4));
    EXPECT_EQ(view->startPoint(), CGPointMake(20, 22));
    EXPECT_EQ(view->endPoint(), CGPointMake(416, 22));
    EXPECT_EQ(view->pointForIndex(1), CGPointMake(20 + 39.6, 22));
    EXPECT_EQ(view->pointForIndex(3), CGPointMake(416, 22));
    EXPECT_EQ(view->pointForIndex(4), CGPointZero);
    EXPECT_EQ(view->pointForIndex(kWalkStopNotFound), CGPointZero);

    // The header's small track: no casing, no shadow, small stops.
    auto small = CBWikipediaWalkProgressView::create(CGRectMake(0, 0, 300, 21));
    small->setTrackCasingWidth(0);
    small->setShadowRadiusPoint(0);
    small->setPointRadius(3);
    EXPECT_EQ(small->lineRect(), CGRectMake(5, 9, 290, 3));
}

TEST_F(CBWikipediaWalkProgressViewTest, TouchesFindTheNearestStopWithinThirtyPointsOfSlack) {
    auto view = track();
    EXPECT_EQ(view->indexAtPoint({60, 22}), 1);
    EXPECT_EQ(view->indexAtPoint({-50, 22}), 0);
    EXPECT_EQ(view->indexAtPoint({1000, 22}), 3);
    EXPECT_EQ(view->indexAtPoint({60, -29}), 1);
    EXPECT_EQ(view->indexAtPoint({60, -31}), kWalkStopNotFound);
    EXPECT_EQ(view->indexAtPoint({60, 44 + 29}), 1);
    EXPECT_EQ(view->indexAtPoint({60, 44 + 31}), kWalkStopNotFound);
    // Half-way between two stops the earlier one wins.
    EXPECT_EQ(view->indexAtPoint({20 + 396 * 0.5, 22}), 1);

    // Distances the guide got wrong: no stops to find, and a stop without a
    // distance does not hide the ones after it.
    for (auto distances : std::vector<std::vector<double>>{
             {}, {0, 0}, {0, 500, NAN}, {0, 500, -INFINITY}, {0, 500, -1}}) {
        auto broken = track(distances);
        EXPECT_EQ(broken->indexAtPoint({200, 22}), kWalkStopNotFound) << distances.size();
    }
    auto gap = track({0, -1, 500, 1000});
    EXPECT_EQ(gap->indexAtPoint({416, 22}), 3);
    EXPECT_EQ(gap->indexAtPoint({218, 22}), 2);
}

TEST_F(CBWikipediaWalkProgressViewTest, DraggingHighlightsAndLiftingClearsThenSelects) {
    auto window = makeWindow({480, 200});
    auto view = track();
    view->setFrame(CGRectMake(22, 100, 436, 44));
    window->addSubview(view);
    auto recorder = std::make_shared<Recorder>();
    view->setDelegate(recorder);

    // Along the track from the first stop to the second, lifted on it.
    auto result = HostRunScenario(window, "drag 40 122 82 122 0.5");
    ASSERT_TRUE(result.passed) << result.message;
    ASSERT_GE(recorder->messages.size(), 3u);
    EXPECT_EQ(recorder->messages.front(), "highlight 0");
    const std::vector<std::string> last(recorder->messages.end() - 3, recorder->messages.end());
    EXPECT_EQ(last, (std::vector<std::string>{"highlight 1", "highlight none", "select 1"}));
    EXPECT_EQ(view->indexOfHighlightedStop(), kWalkStopNotFound);

    // Lifted far above the track: nothing is selected.
    recorder->messages.clear();
    result = HostRunScenario(window, "drag 40 122 40 40 0.5");
    ASSERT_TRUE(result.passed) << result.message;
    ASSERT_FALSE(recorder->messages.empty());
    EXPECT_EQ(recorder->messages.back(), "select none");

    // The same highlight again tells nobody.
    recorder->messages.clear();
    view->setIndexOfHighlightedStop(2);
    view->setIndexOfHighlightedStop(2);
    EXPECT_EQ(recorder->messages, std::vector<std::string>{"highlight 2"});
}

TEST_F(CBWikipediaWalkProgressViewTest, TheTrackKeepsItsDelegateOnlyWeakly) {
    auto view = track();
    std::weak_ptr<Recorder> gone;
    {
        auto recorder = std::make_shared<Recorder>();
        view->setDelegate(recorder);
        gone = recorder;
    }
    EXPECT_TRUE(gone.expired());
    view->setIndexOfHighlightedStop(1);
    EXPECT_EQ(view->indexOfHighlightedStop(), 1);
}

// The walked colour used to end at the share of the redrawn rectangle's
// width: on a 436-point track, 16 points short of the stop reached at 10 %,
// 16 points past it at 90 %, and elsewhere again when only part of the
// track was redrawn. It ends where the walker stands on the line.
TEST_F(CBWikipediaWalkProgressViewTest, TheWalkedPartEndsAtTheStopReachedWhateverIsRedrawn) {
    const auto behind = rgb(KelvaraColors::walkAccentColor());
    const auto ahead = rgb(UIColor::colorWithWhiteAlpha(0.6, 1));
    for (const float progress : {0.1f, 0.9f}) {
        auto view = track({0, 100, 900, 1000});
        view->setProgress(progress);
        const long stop = progress < 0.5f ? 1 : 2;
        const CGFloat x = view->pointForIndex(stop).x;
        // Just outside the stop's mark and its shadow, on the line.
        const size_t left = size_t(x - 12), right = size_t(x + 12), y = 22;
        for (const CGRect dirty :
             {view->bounds(), CGRectMake(x - 30, 0, 200, 44), CGRectMake(0, 0, x + 40, 44)}) {
            const auto image = drawn(*view, dirty);
            EXPECT_EQ(rgb(image->pixelAt(left, y)), behind) << progress << " " << dirty.origin.x;
            EXPECT_EQ(rgb(image->pixelAt(right, y)), ahead) << progress << " " << dirty.origin.x;
        }
    }
}

TEST_F(CBWikipediaWalkProgressViewTest, UnknownProgressAndBrokenDistancesDrawATrackWithoutStops) {
    const auto ahead = rgb(UIColor::colorWithWhiteAlpha(0.6, 1));
    for (const float progress : {-1.0f, NAN}) {
        auto view = track({0, 500, 0});
        view->setProgress(progress);
        const auto image = drawn(*view, view->bounds());
        // The whole line is ahead, and no stop is drawn where the first one
        // would be.
        EXPECT_EQ(rgb(image->pixelAt(100, 22)), ahead);
        EXPECT_EQ(rgb(image->pixelAt(21, 22)), ahead);
        EXPECT_LT(image->pixelAt(20, 16) >> 24, 250u);  // the casing, not an opaque stop
    }
}

}  // namespace
