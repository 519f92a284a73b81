#include <algorithm>
#include <cmath>
#include <optional>

#include "AnnotationMapFixture.h"
#include "Dispatch/DispatchQueue.h"
#include "UIKit/UIButton.h"
#include "mapkit/CBAnnotationCalloutView.h"
#include "mapkit/CBCalloutClearance.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapUserLocationFollower.h"
#include "mapkit/CBPinAnnotationView.h"
#include "mapkit/CBUserLocation.h"
#include "mapkit/CBUserLocationAnnotationView.h"

namespace {

// A screen: records what the map tells it, gives pins an accessory.
class Screen : public CBMapScrollViewDelegate {
  public:
    std::shared_ptr<CBAnnotationView> mapScrollViewViewForAnnotation(
        CBMapScrollView& map, const CBAnnotationRef& annotation) override {
        auto view = map.annotationsHost()->dequeueReusableAnnotationViewWithIdentifier("place");
        if (!view)
            view = std::make_shared<CBPinAnnotationView>(annotation, "place");
        view->setRightCalloutAccessoryView(std::make_shared<UIButton>(CGRectMake(0, 0, 30, 30)));
        return view;
    }
    void mapScrollViewDidAddAnnotationViews(
        CBMapScrollView&, const std::vector<std::shared_ptr<CBAnnotationView>>& views) override {
        added.push_back(views.size());
    }
    void mapScrollViewGotSingleTapAtPointAndCoordinate(CBMapScrollView&, CGPoint,
                                                       CLLocationCoordinate2D c) override {
        emptyTaps.push_back(c);
    }
    void mapScrollViewDidSelectAnnotationView(CBMapScrollView&,
                                              const std::shared_ptr<CBAnnotationView>& v) override {
        selected.push_back(v);
    }
    void mapScrollViewAnnotationViewCalloutAccessoryControlTapped(
        CBMapScrollView&, const std::shared_ptr<CBAnnotationView>& view,
        const std::shared_ptr<CBAnnotationCalloutView>&,
        const std::shared_ptr<UIControl>& control) override {
        accessoryTaps.emplace_back(view, control);
    }

    std::vector<size_t> added;
    std::vector<CLLocationCoordinate2D> emptyTaps;
    std::vector<std::shared_ptr<CBAnnotationView>> selected;
    std::vector<std::pair<std::shared_ptr<CBAnnotationView>, std::shared_ptr<UIControl>>>
        accessoryTaps;
};

class CBAnnotationsManagerTest : public AnnotationMapTest {
  protected:
    void SetUp() override {
        AnnotationMapTest::SetUp();
        if (IsSkipped())
            return;
        screen = attachScreen<Screen>();
    }
    const std::shared_ptr<CBAnnotationsManager>& layer() {
        return map_->annotationsHost()->annotationsManager();
    }
    std::shared_ptr<CBAnnotationView> viewOf(const CBAnnotationRef& a) {
        return map_->annotationsHost()->existingViewForAnnotation(a);
    }
    // Order of the shown views among the map's subviews (front last).
    size_t stackIndex(const std::shared_ptr<CBAnnotationView>& view) {
        const auto& subviews = map_->subviews();
        return size_t(std::find(subviews.begin(), subviews.end(), view) - subviews.begin());
    }
    std::shared_ptr<CBBasicAnnotation> pin(CLLocationCoordinate2D c, const std::string& title,
                                           const std::string& subtitle = {}) {
        auto a = std::make_shared<CBBasicAnnotation>(c);
        a->setTitle(title);
        if (!subtitle.empty())
            a->setSubtitle(subtitle);
        return a;
    }
    void tapAndWait(CGPoint windowPoint) {
        size_t before = screen->emptyTaps.size() + screen->selected.size();
        auto selection = map_->annotationsHost()->selectedAnnotation();
        touches_->tap(windowPoint);
        // The single tap waits for the double tap to fail.
        runUntil([&] {
            return screen->emptyTaps.size() + screen->selected.size() != before ||
                   map_->annotationsHost()->selectedAnnotation() != selection;
        });
        CAFrameClock::shared().advance(1);
        map_->layoutIfNeeded();
    }

    std::shared_ptr<Screen> screen;
};

TEST_F(CBAnnotationsManagerTest, PinsForThePlacesInViewAreReusedWhilePanningSouthernmostOnTop) {
    auto places = placesInView();
    ASSERT_GE(places.size(), 10u);
    map_->annotationsHost()->addAnnotationsCentered(places, false);
    map_->layoutIfNeeded();
    // The layout pass after the add made and reported the views.
    ASSERT_EQ(screen->added.size(), 1u);
    EXPECT_EQ(screen->added[0], layer()->annotationViews().size());
    for (const auto& place : places) {
        auto view = viewOf(place);
        ASSERT_NE(view, nullptr);
        CGPoint p = map_->pointForCoordinate(place->coordinate());
        EXPECT_NEAR(view->center().x, p.x, 0.01);
        EXPECT_NEAR(view->center().y, p.y, 0.01);
    }
    // Southern pins are in front of northern ones.
    auto views = layer()->annotationViews();
    for (const auto& a : views) {
        for (const auto& b : views) {
            if (float(a->annotation()->coordinate().latitude) <
                float(b->annotation()->coordinate().latitude)) {
                EXPECT_GT(stackIndex(a), stackIndex(b));
            }
        }
    }

    // Far away the views go to the reuse queue; back home they come out of it.
    std::vector<CBAnnotationView*> made;
    for (const auto& v : views)
        made.push_back(v.get());
    CGPoint home = map_->contentOffset();
    map_->setContentOffset(CGPointMake(home.x + 6 * kWidth, home.y));
    settle();
    EXPECT_TRUE(layer()->annotationViews().empty());
    EXPECT_EQ(layer()->reusableViewCount(), made.size());
    map_->setContentOffset(home);
    settle();
    EXPECT_EQ(layer()->annotationViews().size(), made.size());
    for (const auto& v : layer()->annotationViews())
        EXPECT_NE(std::find(made.begin(), made.end(), v.get()), made.end());
    // Views made while panning are not "added" views.
    EXPECT_EQ(screen->added.size(), 1u);
    EXPECT_TRUE(matchesReference(snapshot(), "../mapkit/annotations-places"));
}

TEST_F(CBAnnotationsManagerTest, TapsSelectTheNearestPinMoveTheCalloutAndReachTheDelegateOffPins) {
    auto west = pin(CLLocationCoordinate2DMake(53.5577, 13.2590), "Marienkirche", "Konzertkirche");
    auto east = pin(CLLocationCoordinate2DMake(53.5580, 13.2630), "Rathaus");
    map_->annotationsHost()->addAnnotationsCentered({west, east}, false);
    map_->layoutIfNeeded();
    auto westView = viewOf(west);
    ASSERT_NE(westView, nullptr);

    // 12 points right of the pin's frame: still the pin.
    CGRect frame = map_->convertRectToView(westView->frame(), nullptr);
    tapAndWait(CGPointMake(CGRectGetMaxX(frame) + 12, CGRectGetMidY(frame)));
    EXPECT_EQ(map_->annotationsHost()->selectedAnnotation(), west);
    EXPECT_TRUE(screen->emptyTaps.empty());
    auto callout = map_->annotationsHost()->currentCalloutView();
    ASSERT_NE(callout, nullptr);
    EXPECT_FALSE(callout->isHidden());
    EXPECT_EQ(callout->titleLabel()->text(), "Marienkirche");
    EXPECT_EQ(callout->subtitleLabel()->text(), "Konzertkirche");
    ASSERT_NE(callout->rightCalloutAccessoryView(), nullptr);
    EXPECT_EQ(callout->rightCalloutAccessoryView()->superview(), callout);
    // The bubble's bottom edge stands 8 points above the pin's top edge.
    EXPECT_NEAR(CGRectGetMinY(westView->frame()) - (CGRectGetMinY(callout->frame()) + 44), 8, 1.0);
    EXPECT_TRUE(matchesReference(snapshot(), "../mapkit/annotations-callout"));

    // The accessory and the bubble itself reach the screen.
    auto accessory = callout->rightCalloutAccessoryView();
    touches_->tap(accessory->convertPointToView(
        CGPointMake(CGRectGetMidX(accessory->bounds()), CGRectGetMidY(accessory->bounds())),
        nullptr));
    runUntil([&] { return !screen->accessoryTaps.empty(); }, 1);
    ASSERT_EQ(screen->accessoryTaps.size(), 1u);
    EXPECT_EQ(screen->accessoryTaps[0].first, westView);
    EXPECT_EQ(screen->accessoryTaps[0].second, accessory);
    // A finger rests a moment on the bubble.
    touches_->down({callout->titleLabel()->convertPointToView(CGPointMake(10, 10), nullptr)});
    NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.1));
    touches_->up();
    runUntil([&] { return screen->accessoryTaps.size() == 2; }, 1);
    ASSERT_EQ(screen->accessoryTaps.size(), 2u);
    EXPECT_EQ(screen->accessoryTaps[1].second, nullptr);
    EXPECT_EQ(map_->annotationsHost()->selectedAnnotation(), west);
    // The bubble's tap target tells of the selected pin's view.
    layer()->calloutViewTapped(*callout);
    ASSERT_EQ(screen->accessoryTaps.size(), 3u);
    EXPECT_EQ(screen->accessoryTaps[2].first, westView);
    EXPECT_EQ(screen->accessoryTaps[2].second, nullptr);

    tapAndWait(windowPointFor(east->coordinate()));
    EXPECT_EQ(map_->annotationsHost()->selectedAnnotation(), east);
    EXPECT_EQ(callout->titleLabel()->text(), "Rathaus");
    EXPECT_TRUE(callout->subtitleLabel()->isHidden());
    EXPECT_NEAR(callout->center().x, viewOf(east)->center().x, 1.0);  // on whole points

    // Empty map: the selection ends and the delegate hears of the tap.
    tapAndWait(CGPointMake(40, 500));
    EXPECT_EQ(map_->annotationsHost()->selectedAnnotation(), nullptr);
    ASSERT_EQ(screen->emptyTaps.size(), 1u);
    EXPECT_LT(screen->emptyTaps[0].latitude, 53.5577);
}

// A target of the callout's own: the callouts its action was sent.
struct BubbleTarget {
    void calloutTapped(CBAnnotationCalloutView& callout) { tapped.push_back(&callout); }
    std::vector<CBAnnotationCalloutView*> tapped;
};

TEST_F(CBAnnotationsManagerTest, AFingerOnTheBubbleCallsTheTargetActionSetInstead) {
    auto a = pin(market(), "Markt");
    map_->annotationsHost()->addAnnotationsCentered({a}, false);
    map_->layoutIfNeeded();
    map_->annotationsHost()->selectAnnotationAnimated(a, false);
    map_->layoutIfNeeded();
    auto callout = map_->annotationsHost()->currentCalloutView();
    ASSERT_NE(callout, nullptr);
    auto target = std::make_shared<BubbleTarget>();
    callout->setTargetAction(target, &BubbleTarget::calloutTapped);
    EXPECT_EQ(callout->tapTarget(), target);
    EXPECT_TRUE(callout->tapSelector());
    ASSERT_NE(callout->longPressGesture(), nullptr);
    const auto press = [&] {
        touches_->down({callout->titleLabel()->convertPointToView(CGPointMake(10, 10), nullptr)});
        EXPECT_TRUE(runUntil([&] { return callout->bubbleHighlighted(); }, 1));
        touches_->up();
        EXPECT_TRUE(runUntil([&] { return !callout->bubbleHighlighted(); }, 1));
    };
    press();
    EXPECT_EQ(target->tapped, std::vector<CBAnnotationCalloutView*>{callout.get()});
    EXPECT_TRUE(screen->accessoryTaps.empty());
    // The target is held weakly: once it has gone, a press calls nothing.
    target.reset();
    EXPECT_EQ(callout->tapTarget(), nullptr);
    press();
    EXPECT_TRUE(screen->accessoryTaps.empty());
    // A target without an action: the bubble stops listening.
    const auto other = std::make_shared<BubbleTarget>();
    callout->setTargetAction(other, nullptr);
    EXPECT_EQ(callout->longPressGesture(), nullptr);
}

TEST_F(CBAnnotationsManagerTest, ViewsAddedAreReportedByTheLayoutAfterTheAdd) {
    // Regression: the flag was cleared before the deferred layout read it,
    // so the report never came.
    auto a = pin(market(), "Markt");
    map_->annotationsHost()->addAnnotationsCentered({a}, false);
    EXPECT_TRUE(screen->added.empty());  // no layout yet
    map_->layoutIfNeeded();
    ASSERT_EQ(screen->added, std::vector<size_t>{1});
    map_->setContentOffset(CGPointMake(map_->contentOffset().x + 1, map_->contentOffset().y));
    settle();
    EXPECT_EQ(screen->added, std::vector<size_t>{1});  // later passes report nothing
}

TEST_F(CBAnnotationsManagerTest, APinSelectedBeforeItHasAViewShowsItsCalloutOnceItHasOne) {
    auto a = pin(market(), "Markt", "Wochenmarkt");
    map_->annotationsHost()->addAnnotationsCentered({a}, false);
    map_->annotationsHost()->selectAnnotationAnimated(a, false);  // before any layout made its view
    ASSERT_EQ(viewOf(a), nullptr);
    map_->layoutIfNeeded();
    ASSERT_NE(viewOf(a), nullptr);
    EXPECT_EQ(map_->annotationsHost()->selectedAnnotation(), a);
    auto callout = map_->annotationsHost()->currentCalloutView();
    ASSERT_NE(callout, nullptr);
    EXPECT_FALSE(callout->isHidden());
    EXPECT_EQ(callout->titleLabel()->text(), "Markt");
}

TEST_F(CBAnnotationsManagerTest, TwoPinsAtOnePlaceStayTwo) {
    // Regression: the identifier was a hash of the coordinate, so the second
    // pin at a place was taken for the first and dropped.
    auto one = pin(market(), "Markt");
    auto two = pin(market(), "Markt");
    EXPECT_NE(one->uniqueIdentifier(), two->uniqueIdentifier());
    EXPECT_EQ(one->uniqueIdentifier(), one->uniqueIdentifier());
    map_->annotationsHost()->addAnnotationsCentered({one, two, one}, false);
    map_->layoutIfNeeded();
    EXPECT_EQ(map_->annotationsHost()->annotations().size(), 2u);
    EXPECT_EQ(layer()->annotationViews().size(), 2u);
    EXPECT_NE(viewOf(one), viewOf(two));
}

TEST_F(CBAnnotationsManagerTest, AHiddenPositionDotTakesNoTaps) {
    // Regression: the dot took taps while hidden, swallowing taps on the map.
    service_->setLocation(
        std::make_shared<CLLocation>(market(), 0, 10, 10, -1, -1, NSDate::date()));
    map_->annotationsHost()->annotationsManager()->updateUserLocationTo(service_->location());
    map_->layoutIfNeeded();
    auto dot = layer()->userLocationAnnotationView();
    ASSERT_TRUE(dot->isHidden());
    tapAndWait(windowPointFor(market()));
    EXPECT_EQ(screen->emptyTaps.size(), 1u);
    EXPECT_EQ(map_->annotationsHost()->selectedAnnotation(), nullptr);

    map_->userLocationFollower()->setShowsUserLocation(true);
    map_->layoutIfNeeded();
    ASSERT_FALSE(dot->isHidden());
    tapAndWait(windowPointFor(market()));
    EXPECT_EQ(screen->emptyTaps.size(), 1u);
    EXPECT_EQ(map_->annotationsHost()->selectedAnnotation(), layer()->userLocation());
}

// A column of buttons over the right of the map, as the map screen has.
TEST_F(CBAnnotationsManagerTest, ACalloutKeepsClearOfTheScreensButtonsTheMapMovingOnlyThen) {
    auto buttons = std::make_shared<UIView>(CGRectMake(242, 150, 68, 250));
    window_->addSubview(buttons);
    map_->annotationsHost()->setCalloutObstacleViews({buttons});
    auto drained = [&] {
        bool done = false;
        DispatchQueue::main()->async([&] { done = true; });
        return runUntil([&] { return done; });
    };
    auto clear = [&](const CBAnnotationRef& a) {
        auto callout = map_->annotationsHost()->currentCalloutView();
        const CGRect bubble = callout->convertRectToView(callout->bounds(), nullptr);
        const CGRect pin = viewOf(a)->convertRectToView(viewOf(a)->bounds(), nullptr);
        return !CGRectIntersectsRect(bubble, buttons->frame()) &&
               !CGRectIntersectsRect(pin, buttons->frame()) && CGRectGetMinX(bubble) >= 0;
    };
    // Right under the buttons, with texts wider than the room beside them.
    auto a = pin(map_->coordinateAtPoint(CGPointMake(280, 330)),
                 "Konzertkirche Sankt Marien zu Neubrandenburg", "Kirche · Neubrandenburg");
    map_->annotationsHost()->addAnnotationsCentered({a}, false);
    map_->layoutIfNeeded();
    map_->annotationsHost()->selectAnnotationAnimated(a, false);
    ASSERT_TRUE(drained());
    map_->layoutIfNeeded();
    auto callout = map_->annotationsHost()->currentCalloutView();
    EXPECT_TRUE(clear(a));
    EXPECT_LE(callout->bounds().size.width, 242 - 2 * 20);

    // Then the map moves as the user moves it, under the buttons too.
    const CGPoint dragged{map_->contentOffset().x - 100, map_->contentOffset().y};
    map_->setContentOffset(dragged);
    settle();
    ASSERT_TRUE(drained());
    EXPECT_EQ(map_->contentOffset(), dragged);
    EXPECT_FALSE(clear(a));

    // A smaller window: the map keeps its middle, the callout clears again.
    map_->setFrame(CGRectMake(0, 0, kWidth, 400));
    map_->layoutIfNeeded();
    ASSERT_TRUE(drained());
    map_->layoutIfNeeded();
    EXPECT_TRUE(clear(a));
    // Without buttons beside it the callout takes its own width again.
    buttons->setHidden(true);
    map_->setFrame(CGRectMake(0, 0, kWidth, kHeight));
    map_->layoutIfNeeded();
    ASSERT_TRUE(drained());
    EXPECT_GT(callout->bounds().size.width, 242 - 2 * 20);
}

// Which sides the buttons beside a callout cover: only those level with it,
// and those over its pin.
TEST(CBCalloutClearanceTest, ButtonsLevelWithTheCalloutOrOverItsPinCoverTheirSide) {
    const CGRect visible = CGRectMake(0, 0, 320, 400);
    const CGRect callout = CGRectMake(60, 100, 200, 50);
    const CGRect pin = CGRectMake(140, 158, 45, 40);
    const CGRect right = CGRectMake(250, 120, 60, 40);
    const CGRect left = CGRectMake(10, 140, 40, 40);
    EXPECT_EQ(CBCalloutClearance::coveredSides(callout, pin, visible, {right, left}),
              UIEdgeInsetsMake(0, 50, 0, 70));
    // Farther than the gap above or below the callout, beside the pin but
    // clear of it, or no view at all: nothing is covered.
    EXPECT_EQ(CBCalloutClearance::coveredSides(
                  callout, pin, visible,
                  {CGRectMake(250, 20, 60, 72), CGRectMake(242, 160, 68, 40), CGRectZero}),
              UIEdgeInsetsZero);
    // Closer than the gap, or over the pin: covered; the widest on a side counts.
    EXPECT_EQ(
        CBCalloutClearance::coveredSides(
            callout, pin, visible, {CGRectMake(270, 20, 40, 75), CGRectMake(190, 180, 120, 40)}),
        UIEdgeInsetsMake(0, 0, 0, 130));
}

// A screen that picks among overlapping pins, or swallows the tap.
class Chooser : public Screen {
  public:
    enum class Answer { lastCandidate, noneSwallowingTheTap, noneLettingTheMapHaveIt };

    std::optional<std::shared_ptr<CBAnnotationView>>
    mapScrollViewAnnotationToSelectAmongCandidatesShouldDiscardTap(
        CBMapScrollView&, const std::vector<std::shared_ptr<CBAnnotationView>>& views,
        bool& discard) override {
        candidates = views;
        if (answer == Answer::lastCandidate)
            return views.back();
        discard = answer == Answer::noneSwallowingTheTap;
        return nullptr;
    }

    Answer answer = Answer::lastCandidate;
    std::vector<std::shared_ptr<CBAnnotationView>> candidates;
};

TEST_F(CBAnnotationsManagerTest, OverlappingPinsLetTheScreenChooseOrSwallowTheTap) {
    auto chooser = attachScreen<Chooser>();
    auto one = pin(market(), "Markt");
    auto two = pin(market(), "Markt");
    map_->annotationsHost()->addAnnotationsCentered({one, two}, false);
    map_->layoutIfNeeded();
    const CGPoint p = map_->pointForCoordinate(market());
    // Both pins are under the finger, the nearest one answers.
    std::vector<std::shared_ptr<CBAnnotationView>> under;
    auto nearest = layer()->annotationViewAtPointWithCandidates(p, &under);
    EXPECT_EQ(nearest, layer()->annotationViewAtPoint(p, nullptr));
    EXPECT_NE(nearest, nullptr);
    EXPECT_EQ(under.size(), 2u);
    EXPECT_EQ(layer()->annotationViewAtPointWithCandidates(CGPointMake(p.x + 200, p.y), &under),
              nullptr);
    EXPECT_TRUE(under.empty());

    EXPECT_TRUE(layer()->singleTapAtWithCoordinate(p, market()));
    ASSERT_EQ(chooser->candidates.size(), 2u);
    EXPECT_EQ(map_->annotationsHost()->selectedAnnotation(),
              chooser->candidates.back()->annotation());

    chooser->answer = Chooser::Answer::noneSwallowingTheTap;
    EXPECT_TRUE(layer()->singleTapAtWithCoordinate(p, market()));
    EXPECT_EQ(map_->annotationsHost()->selectedAnnotation(), nullptr);

    chooser->answer = Chooser::Answer::noneLettingTheMapHaveIt;
    map_->annotationsHost()->selectAnnotationAnimated(one, false);
    EXPECT_FALSE(layer()->singleTapAtWithCoordinate(p, market()));
    EXPECT_EQ(map_->annotationsHost()->selectedAnnotation(), nullptr);
}

TEST_F(CBAnnotationsManagerTest, ResettingTheMapRemovesAllAnnotations) {
    map_->annotationsHost()->addAnnotationsCentered({pin(market(), "Markt")}, false);
    map_->layoutIfNeeded();
    ASSERT_EQ(layer()->annotationViews().size(), 1u);
    map_->resetMap();
    EXPECT_TRUE(map_->annotationsHost()->annotations().empty());
    EXPECT_TRUE(layer()->annotationViews().empty());
}

}  // namespace

namespace {

TEST_F(CBAnnotationsManagerTest, HidingAndShowingAgainBeforeTheFadeEndsKeepsTheViews) {
    map_->annotationsHost()->addAnnotationsCentered({pin(market(), "Markt")}, false);
    map_->layoutIfNeeded();
    ASSERT_EQ(layer()->annotationViews().size(), 1u);
    map_->annotationsHost()->setAnnotionsHiddenAnimated(true, true);
    CAFrameClock::shared().advance(0.2);
    map_->annotationsHost()->setAnnotionsHiddenAnimated(false, true);
    CAFrameClock::shared().advance(1);
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(layer()->annotationViews().size(), 1u);
    map_->annotationsHost()->setAnnotionsHiddenAnimated(true, false);
    EXPECT_TRUE(layer()->annotationViews().empty());
}

TEST_F(CBAnnotationsManagerTest, SouthUpPutsTheNorthernPinsOnTop) {
    auto north = pin(CLLocationCoordinate2DMake(53.5580, 13.2610), "north");
    auto south = pin(CLLocationCoordinate2DMake(53.5575, 13.2611), "south");
    map_->annotationsHost()->addAnnotationsCentered({north, south}, false);
    map_->layoutIfNeeded();
    EXPECT_GT(stackIndex(viewOf(south)), stackIndex(viewOf(north)));
    layer()->updateMarkersForHeading(float(M_PI));
    EXPECT_GT(stackIndex(viewOf(north)), stackIndex(viewOf(south)));
    layer()->updateMarkersForHeading(0);
    EXPECT_GT(stackIndex(viewOf(south)), stackIndex(viewOf(north)));
}

}  // namespace
