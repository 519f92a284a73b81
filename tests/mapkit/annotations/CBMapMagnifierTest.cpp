#include <cmath>

#include "AnnotationMapFixture.h"
#include "UIKit/UIControl.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIPanGestureRecognizer.h"
#include "mapkit/CBAnnotationCalloutView.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapMagnifier.h"

namespace {

// The map screen's part: a tap and hold opens the loupe.
class Screen : public CBMapScrollViewDelegate {
  public:
    void mapScrollViewGotTapAndHoldAtPointAndCoordinate(CBMapScrollView& map, CGPoint,
                                                        CLLocationCoordinate2D c) override {
        map.annotationsHost()->magnifyCoordinate(c);
    }
};

// A pan that stands where a test puts it.
class Pan : public UIPanGestureRecognizer {
  public:
    Pan() : UIPanGestureRecognizer(nullptr) {}
    void moveToState(UIGestureRecognizerState state) { setState(state); }
};

class CBMapMagnifierTest : public AnnotationMapTest {
  protected:
    void SetUp() override {
        AnnotationMapTest::SetUp();
        if (IsSkipped())
            return;
        screen = attachScreen<Screen>();
    }
    std::shared_ptr<CBGeoObjectAnnotation> shownPlace() {
        auto loupe = map_->annotationsHost()->magnifier();
        return loupe ? std::dynamic_pointer_cast<CBGeoObjectAnnotation>(loupe->annotation())
                     : nullptr;
    }
    // The named place of the old town nearest the middle of the screen.
    CBAnnotationRef placeInTheMiddle() {
        CBAnnotationRef best;
        double bestDistance = 1e9;
        for (const auto& place : placesInView()) {
            CGPoint p = windowPointFor(place->coordinate());
            double d = std::hypot(p.x - kWidth / 2, p.y - kHeight / 2);
            if (d < bestDistance) {
                best = place;
                bestDistance = d;
            }
        }
        return bestDistance < 200 ? best : nullptr;
    }
    // Searches for the closest object once more and waits for the answer:
    // the search queue and the main queue keep their order, so the loupe's
    // own answer, asked for before, has arrived by then.
    bool waitForTheLoupesAnswer(CLLocationCoordinate2D coordinate) {
        bool answered = false;
        map_->searchForClosestObjectToWithCompletionBlock(
            coordinate, [&](const std::shared_ptr<CBGeoObject>&) { answered = true; });
        return runUntil([&] { return answered; }, 30);
    }
    std::shared_ptr<Screen> screen;
};

TEST_F(CBMapMagnifierTest, LongPressOpensTheLoupeNamingTheNearestPlaceAndItFollowsADrag) {
    auto place = placeInTheMiddle();
    ASSERT_NE(place, nullptr);
    CGPoint p = windowPointFor(place->coordinate());
    touches_->down({p});
    ASSERT_TRUE(runUntil([&] { return map_->annotationsHost()->magnifier() != nullptr; }));
    touches_->up();
    ASSERT_TRUE(runUntil([&] { return shownPlace() != nullptr; }));
    CAFrameClock::shared().advance(1);
    auto loupe = map_->annotationsHost()->magnifier();
    EXPECT_EQ(loupe->superview(), map_);
    EXPECT_EQ(loupe->calloutView()->titleLabel()->text(), shownPlace()->title().value_or(""));
    EXPECT_FALSE(loupe->calloutView()->isHidden());
    // The lens moved onto the place.
    CGPoint onPlace = map_->pointForCoordinate(shownPlace()->coordinate());
    EXPECT_NEAR(loupe->center().x, onPlace.x, 0.5);
    EXPECT_NEAR(loupe->center().y, onPlace.y, 0.5);
    EXPECT_TRUE(matchesReference(snapshot(), "../mapkit/magnifier"));

    // Dragged by its lens, it names where it was left.
    CGPoint lens = map_->convertPointToView(loupe->center(), nullptr);
    CGPoint to = CGPointMake(lens.x + 60, lens.y + 80);
    touches_->drag(lens, to, 10, 0.3);
    touches_->up();
    CAFrameClock::shared().advance(1);
    CGPoint moved = map_->convertPointToView(loupe->center(), nullptr);
    EXPECT_NEAR(moved.x, to.x, 1);
    EXPECT_NEAR(moved.y, to.y, 1);
    CLLocationCoordinate2D under = map_->coordinateAtPoint(to);
    EXPECT_NEAR(loupe->coordinate().latitude, under.latitude, 1e-5);
    EXPECT_NEAR(loupe->coordinate().longitude, under.longitude, 1e-5);
    ASSERT_NE(loupe->annotation(), nullptr);  // a new place offered there

    // A tap on the map closes it.
    touches_->tap(CGPointMake(30, 30));
    runUntil([&] { return loupe->isAnimatingOut() || !loupe->superview(); });
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(loupe->superview(), nullptr);
}

TEST_F(CBMapMagnifierTest, ALateAnswerDoesNotMoveTheLoupeOnceTheUserDragsItOrClosesIt) {
    // Regression: the closest-object answer arrived after the user had begun
    // dragging the loupe and pulled it back onto the old place.
    auto place = placeInTheMiddle();
    ASSERT_NE(place, nullptr);
    CLLocationCoordinate2D near = CLLocationCoordinate2DMake(
        place->coordinate().latitude + 0.00003, place->coordinate().longitude + 0.00003);
    map_->annotationsHost()->magnifyCoordinate(near);
    auto loupe = map_->annotationsHost()->magnifier();
    auto pan = std::make_shared<Pan>();
    pan->moveToState(UIGestureRecognizerStateBegan);
    loupe->handlePanGesture(*pan);
    CGPoint held = loupe->center();
    ASSERT_TRUE(waitForTheLoupesAnswer(near));
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(shownPlace(), nullptr);
    EXPECT_EQ(loupe->center(), held);

    // Opened and closed at once: the answer finds no loupe to fill.
    map_->annotationsHost()->magnifyCoordinate(near);
    map_->annotationsHost()->hideMagnifier(false);
    ASSERT_TRUE(waitForTheLoupesAnswer(near));
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(loupe->superview(), nullptr);
    EXPECT_EQ(shownPlace(), nullptr);

    // Left alone, the same opening does name the place.
    map_->annotationsHost()->magnifyCoordinate(near);
    EXPECT_TRUE(runUntil([&] { return shownPlace() != nullptr; }));
}

TEST_F(CBMapMagnifierTest, WithoutAPlaceItOffersANewOneUnlessCreationIsOff) {
    map_->annotationsHost()->magnifyCoordinate(market());
    auto loupe = map_->annotationsHost()->magnifier();
    loupe->setNewAnnotationForCurrentPositionFromDelegate(false);
    ASSERT_NE(loupe->annotation(), nullptr);
    EXPECT_EQ(loupe->annotation()->title(), NSLocalizedString("CBTitleForNewAnnotations"));
    EXPECT_FALSE(loupe->calloutView()->isHidden());
    loupe->setAllowsAnnotationCreation(false);
    loupe->setNewAnnotationForCurrentPositionFromDelegate(false);
    EXPECT_EQ(loupe->annotation(), nullptr);
    EXPECT_TRUE(loupe->calloutView()->isHidden());
}

}  // namespace

namespace {

// A screen that offers one "add bookmark" control for whatever the loupe shows.
class BookmarkScreen : public CBMapScrollViewDelegate {
  public:
    std::shared_ptr<UIControl> mapScrollViewControlForMagnifierWithAnnotation(
        CBMapScrollView&, const CBAnnotationRef&) override {
        return control;
    }
    void mapScrollViewTappedControlOfMagnifierWithAnnotation(
        CBMapScrollView&, const std::shared_ptr<UIControl>& c,
        const CBAnnotationRef& annotation) override {
        taps.emplace_back(c, annotation);
    }
    std::shared_ptr<UIControl> control = std::make_shared<UIControl>(CGRectMake(0, 0, 30, 30));
    std::vector<std::pair<std::shared_ptr<UIControl>, CBAnnotationRef>> taps;
};

TEST_F(CBMapMagnifierTest, TheScreensControlGetsOneTargetAndReportsItsTap) {
    auto bookmarks = attachScreen<BookmarkScreen>();
    map_->annotationsHost()->magnifyCoordinate(market());
    auto loupe = map_->annotationsHost()->magnifier();
    auto first = std::make_shared<CBBasicAnnotation>(market());
    auto second = std::make_shared<CBBasicAnnotation>(market());
    loupe->setAnnotation(first);
    loupe->setAnnotation(second);
    EXPECT_EQ(loupe->calloutView()->rightCalloutAccessoryView(), bookmarks->control);
    bookmarks->control->sendActionsForControlEvents(UIControlEventTouchUpInside);
    ASSERT_EQ(bookmarks->taps.size(), 1u);
    EXPECT_EQ(bookmarks->taps[0].second, second);
}

}  // namespace
