#include <cmath>
#include <string>
#include <vector>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CoreLocation/CLGPXTrack.h"
#include "CoreLocation/CLLocationManager.h"
#include "CoreLocation/CLNoLocationSource.h"
#include "Host/HostScreenTexts.h"
#include "QuartzCore/CAFrameClock.h"
#include "QuartzCore/CAShapeLayer.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationItem.h"
#include "ViewerTestSupport.h"
#include "location/CBLocationManager.h"
#include "mapkit/CBAnnotationCalloutView.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBCircularControlAnnotationView.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapScaleBar.h"
#include "mapkit/CBMapScaleView.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "uiadditions/CALayer+ZELGeometry.h"
#include "uiadditions/UIColor+ZELMixing.h"
#include "widgets/UIColor+KelvaraColors.h"
#include "widgets/ZELCalloutBubbleView.h"
#include "wikiguide/ZELWikiGuide.h"
#include "wikiguide/ZELWikiGuideLoader.h"
#include "wikipedia/CBWikipediaWalkViewController.h"
#include "wikipedia/ZELWikiGuideArticleAnnotation.h"

namespace {

// A position source the test moves.
class WalkerSource : public CLLocationSource {
  public:
    void startUpdating() override {}
    void stopUpdating() override {}
    std::string description() const override { return "walker"; }
    void moveTo(CLLocationCoordinate2D here) {
        deliverLocation(std::make_shared<CLLocation>(here, 0, 5, 5, 0, 0, NSDate::date()));
    }
};

// The walk of the sample guide on the sample map, with the walker's
// position under the test's control.
class CBWikipediaWalkViewControllerTest : public WikipediaViewerTest {
  protected:
    void SetUp() override {
        WikipediaViewerTest::SetUp();
        CBCoordinatePathValueTransformer::registerTransformer();
        NSUserDefaults::standardUserDefaults()->setBoolForKey(true, "km");
        guide_ = ZELWikiGuideLoader::loadWikiGuideWithIdentifierFromPath(
            "neubrandenburg",
            CBWikipediaManager::filePathForWikipediaGuideForMapIdentifier("neubrandenburg"));
        ASSERT_TRUE(guide_);
        for (const auto& group : guide_->rootGroup()->recursiveSubGroups())
            if (group->type() == 100)
                walk_ = group;
        ASSERT_TRUE(walk_);
        source_ = std::make_shared<WalkerSource>();
        CLLocationManager::setLocationSource(source_);
    }
    void TearDown() override {
        auto service = CBLocationManager::sharedInstance();
        service->stopUpdatingLocation();
        service->setLocation(nullptr);
        service->setCurrentPathAnalyzer({});
        CLLocationManager::setLocationSource(std::make_shared<CLNoLocationSource>());
        WikipediaViewerTest::TearDown();
    }

    std::shared_ptr<CBWikipediaWalkViewController> makeScreen(
        std::shared_ptr<ZELWikiGuideGroup> walk = nullptr) {
        auto screen = std::make_shared<CBWikipediaWalkViewController>(services());
        screen->setWalkGroup(walk ? walk : walk_);
        return screen;
    }
    // Pushed on the phone window's navigation controller and settled.
    std::shared_ptr<CBWikipediaWalkViewController> show(
        std::shared_ptr<ZELWikiGuideGroup> walk = nullptr,
        std::shared_ptr<ZELWikiGuideArticle> stop = nullptr) {
        auto screen = makeScreen(std::move(walk));
        screen->setStopToSelectOnAppear(std::move(stop));
        navigation_->pushViewControllerAnimated(screen, false);
        window_->layoutIfNeeded();
        settle();
        return screen;
    }
    // Runs the loop with the frame clock moving, so animations end.
    static void settle(double seconds = 0.3) {
        for (double run = 0; run < seconds; run += 0.05) {
            CAFrameClock::shared().advance(0.05);
            NSRunLoop::mainRunLoop()->runUntil([] { return false; }, 0.05);
        }
    }
    bool onScreen(const std::string& text) const {
        for (const auto& shown : HostVisibleTexts(window_))
            if (shown.text == text)
                return true;
        return false;
    }
    // Taps "OK" on the walk warning when it shows.
    void dismissWarning() {
        if (auto alert = findAlert(window_))
            alert->dismissWithClickedButtonIndexAnimated(0, false);
        settle();
    }
    static std::shared_ptr<UIAlertView> findAlert(const std::shared_ptr<UIView>& view) {
        if (auto alert = std::dynamic_pointer_cast<UIAlertView>(view))
            return alert;
        for (const auto& child : view->subviews())
            if (auto found = findAlert(child))
                return found;
        return nullptr;
    }
    CLLocationCoordinate2D routePoint(double share) const {
        const auto route = walk_->path()->coordinatePath();
        const size_t n = route->numberOfCoordinatesAtSegment(0);
        return route->coordinateAtIndexOfSegment(size_t(share * double(n - 1)), 0);
    }

    std::shared_ptr<ZELWikiGuide> guide_;
    std::shared_ptr<ZELWikiGuideGroup> walk_;
    std::shared_ptr<WalkerSource> source_;
};

// A walk of the guide's format the test writes itself.
std::shared_ptr<ZELWikiGuideGroup> walkFrom(Value::Array segments, Value::Array distances) {
    Value::Array stops;
    for (size_t i = 0; i < distances.size(); ++i) {
        Value::Dictionary stop{
            {"title", Value("Stop " + std::to_string(i + 1))},
            {"url", Value("https://de.wikipedia.org/wiki/S" + std::to_string(i))},
            {"image", Value("")},
            {"latitude", Value(53.556 + 0.001 * double(i))},
            {"longitude", Value(13.26)}};
        if (!distances[i].isNull())
            stop["distanceAlongWalk"] = distances[i];
        stops.emplace_back(stop);
    }
    Value::Dictionary group{
        {"title", Value("Broken")}, {"type", Value("walk")}, {"articles", Value(stops)}};
    if (!segments.empty())
        group["path"] = Value(Value::Dictionary{{"segments", Value(std::move(segments))}});
    const Value dictionary(group);
    return ZELJSONObject::createWithJson<ZELWikiGuideGroup>(&dictionary);
}

Value segmentOf(std::vector<double> numbers) {
    Value::Array members(numbers.begin(), numbers.end());
    return Value(Value::Dictionary{{"coordinates", Value(members)}});
}

TEST_F(CBWikipediaWalkViewControllerTest, TheTrackFollowsTheShapeOfTheWindow) {
    auto window = makeWindow({480, 320});
    auto screen = makeScreen();
    window->setRootViewController(screen);
    window->layoutIfNeeded();
    auto track = screen->progressView();
    EXPECT_FALSE(screen->showProgressViewOnLeft());
    EXPECT_EQ(track->bounds(), CGRectMake(0, 0, 436, 44));
    EXPECT_EQ(track->center(), CGPointMake(458, 298));
    EXPECT_TRUE(CGAffineTransformIsIdentity(track->transform()));
    // The map's scale bar stands on the track rather than under it.
    auto scaleBar = screen->mapScrollView()->scaleBar()->mapScaleView();
    ASSERT_NE(scaleBar, nullptr);
    EXPECT_LE(CGRectGetMaxY(scaleBar->frame()), CGRectGetMinY(track->frame()));
    // The first stop's bubble keeps a tenth of itself left of the stop, the
    // last one's 15 % right of it; no stop hides it at once.
    track->setIndexOfHighlightedStop(0);
    auto bubble = screen->progressViewLabel();
    EXPECT_FALSE(bubble->isHidden());
    EXPECT_EQ(bubble->labelTitle()->text(), "Friedländer Tor");
    EXPECT_NEAR(absoluteAnchorPoint_zel(bubble->layer()).x, 0.1 * bubble->bounds().size.width,
                1e-3);
    track->setIndexOfHighlightedStop(3);
    EXPECT_EQ(bubble->labelTitle()->text(), "Fangelturm (Neubrandenburg)");
    EXPECT_NEAR(absoluteAnchorPoint_zel(bubble->layer()).x, 0.85 * bubble->bounds().size.width,
                1e-3);
    EXPECT_EQ(bubble->labelSubtitle()->text().substr(bubble->labelSubtitle()->text().size() - 3),
              " km");
    track->setIndexOfHighlightedStop(kWalkStopNotFound);
    EXPECT_TRUE(bubble->isHidden());

    // Turned upright: the track stands up the right edge, ending 22 points
    // in from the corner.
    window->setFrame(CGRectMake(0, 0, 320, 480));
    window->layoutIfNeeded();
    EXPECT_TRUE(screen->showProgressViewOnLeft());
    EXPECT_EQ(track->bounds(), CGRectMake(0, 0, 360, 44));
    EXPECT_EQ(track->center(), CGPointMake(298, 458));
    const CGPoint start = window->convertPointFromView(CGPointMake(0, 22), track);
    EXPECT_NEAR(start.x, 298, 1e-6);
    EXPECT_NEAR(start.y, 98, 1e-6);
    EXPECT_EQ(CGRectGetMaxY(scaleBar->frame()), 475);
    window.reset();
}

TEST_F(CBWikipediaWalkViewControllerTest, PinsAreNumberedAndColouredFromTheFirstStopToTheLast) {
    auto screen = show();
    auto& map = *screen->mapScrollView();
    const auto& pins = screen->stopAnnotations();
    ASSERT_EQ(pins.size(), 4u);
    for (size_t i = 0; i < pins.size(); ++i) {
        auto view = std::dynamic_pointer_cast<CBLabelledShapeAnnotationView>(
            screen->mapScrollViewViewForAnnotation(map, pins[i]));
        ASSERT_TRUE(view);
        EXPECT_EQ(view->label()->text(), std::to_string(i + 1));
        const UIColor stop = mixedByWithColor(KelvaraColors::walkStopFirst(), CGFloat(i) / 4.0f,
                                              KelvaraColors::walkStopLast());
        EXPECT_EQ(view->shapeLayer()->strokeColor(), stop.CGColor()) << i;
        EXPECT_EQ(view->shapeLayer()->fillColor(), UIColor::whiteColor().CGColor());
    }
    // Selected, a pin turns to the track's current-stop colour.
    map.annotationsHost()->selectAnnotationAnimated(pins[1], false);
    settle();
    auto selected = std::dynamic_pointer_cast<CBLabelledShapeAnnotationView>(
        map.annotationsHost()->existingViewForAnnotation(pins[1]));
    ASSERT_TRUE(selected);
    EXPECT_EQ(selected->shapeLayer()->fillColor(),
              screen->progressView()->stopColorSelected().CGColor());
    EXPECT_EQ(screen->progressView()->indexOfCurrentStop(), 1);
    map.annotationsHost()->deselectAnnotationAnimated(pins[1], false);
    settle();
    EXPECT_EQ(screen->progressView()->indexOfCurrentStop(), kWalkStopNotFound);
    // A pin of no stop of this walk reads "?".
    auto stranger = std::make_shared<CBBasicAnnotation>(CLLocationCoordinate2DMake(53.55, 13.26));
    auto view = std::dynamic_pointer_cast<CBLabelledShapeAnnotationView>(
        screen->mapScrollViewViewForAnnotation(map, stranger));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->label()->text(), "?");
}

TEST_F(CBWikipediaWalkViewControllerTest, FixesMoveTheWalkedPartAndTheCalloutsStopLine) {
    auto screen = show();
    auto service = CBLocationManager::sharedInstance();
    EXPECT_EQ(service->currentPathAnalyzer(), screen->pathAnalyzer());
    service->startUpdatingLocation();
    source_->moveTo(routePoint(0.3));
    settle();
    const float early = screen->progressView()->progress();
    EXPECT_GT(early, 0.2f);
    EXPECT_LT(early, 0.4f);

    auto& map = *screen->mapScrollView();
    map.annotationsHost()->selectAnnotationAnimated(screen->stopAnnotations()[1], false);
    settle();
    ASSERT_TRUE(map.annotationsHost()->currentCalloutView());
    const std::string first = map.annotationsHost()->currentCalloutView()->subtitleLabel()->text();
    EXPECT_EQ(first.rfind("Stop 2 · ", 0), 0u) << first;
    source_->moveTo(routePoint(0.6));
    settle();
    EXPECT_GT(screen->progressView()->progress(), early);
    const std::string later = map.annotationsHost()->currentCalloutView()->subtitleLabel()->text();
    EXPECT_EQ(later.rfind("Stop 2 · ", 0), 0u) << later;
    EXPECT_NE(later, first);

    // Far from the walk the nearest point of the route still counts.
    source_->moveTo(CLLocationCoordinate2DMake(52.52, 13.40));
    settle();
    EXPECT_GE(screen->progressView()->progress(), 0.0f);

    // The service keeps the screen's analyzer only while the screen lives.
    navigation_->popViewControllerAnimated(false);
    std::weak_ptr<CBWikipediaWalkViewController> gone = screen;
    screen.reset();
    settle();
    EXPECT_TRUE(gone.expired());
    EXPECT_FALSE(service->currentPathAnalyzer());
}

TEST_F(CBWikipediaWalkViewControllerTest, LiftingOnAStopMovesThereAndItsButtonOpensThePage) {
    auto screen = show();
    dismissWarning();
    auto& map = *screen->mapScrollView();
    const CLLocationCoordinate2D before = map.visibleArea()->visibleCenter();
    screen->walkProgressViewDidSelectIndex(*screen->progressView(), kWalkStopNotFound);
    settle();
    EXPECT_EQ(screen->progressView()->indexOfCurrentStop(), kWalkStopNotFound);
    EXPECT_NEAR(map.visibleArea()->visibleCenter().latitude, before.latitude, 1e-9);

    const auto pin = screen->stopAnnotations()[1];
    screen->walkProgressViewDidSelectIndex(*screen->progressView(), 1);
    settle(1.0);
    ASSERT_EQ(map.annotationsHost()->selectedAnnotation(), pin);
    // The map goes to the stop, and aside as far as its callout needs to
    // keep clear of the track.
    EXPECT_NEAR(map.visibleArea()->visibleCenter().latitude, pin->coordinate().latitude, 2e-4);
    EXPECT_NEAR(map.visibleArea()->visibleCenter().longitude, pin->coordinate().longitude, 5e-3);
    // The callout's button, clear of the track.
    ASSERT_TRUE(map.annotationsHost()->currentCalloutView());
    auto button = std::dynamic_pointer_cast<UIButton>(
        map.annotationsHost()->currentCalloutView()->viewWithTag(1));
    ASSERT_TRUE(button);
    const CGRect track =
        screen->progressView()->convertRectToView(screen->progressView()->bounds(), nullptr);
    EXPECT_FALSE(CGRectIntersectsRect(button->convertRectToView(button->bounds(), nullptr), track));
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    settle();
    auto viewer = topViewer();
    ASSERT_TRUE(viewer);
    EXPECT_TRUE(viewer->isOnMap());
    EXPECT_TRUE(waitForPage(*viewer, "Stargarder Tor"));
}

TEST_F(CBWikipediaWalkViewControllerTest, OnThePadAPageOpensAsASheetWithDone) {
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
    auto screen = show();
    dismissWarning();
    screen->openDetailsForWikipediaArticle(walk_->articles()[3]);
    auto sheet =
        std::dynamic_pointer_cast<UINavigationController>(screen->presentedViewController());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->modalPresentationStyle(), UIModalPresentationFormSheet);
    auto viewer = std::dynamic_pointer_cast<CBWikipediaViewer>(sheet->topViewController());
    ASSERT_TRUE(viewer);
    EXPECT_EQ(viewer->article()->title(), "Fangelturm (Neubrandenburg)");
    auto done = viewer->navigationItem()->rightBarButtonItem();
    ASSERT_TRUE(done);
    EXPECT_EQ(done->systemItem(), UIBarButtonSystemItemDone);
    done->performAction();
    settle(1.0);
    EXPECT_FALSE(screen->presentedViewController());
    EXPECT_EQ(navigation_->topViewController(), screen);

    // A stop whose article the store lacks opens nothing.
    Value::Dictionary lost{{"title", Value("Verloren")},
                           {"url", Value("https://de.wikipedia.org/wiki/Verloren")},
                           {"image", Value("")}};
    const Value dictionary(lost);
    screen->openDetailsForWikipediaArticle(
        ZELJSONObject::createWithJson<ZELWikiGuideArticle>(&dictionary));
    EXPECT_FALSE(screen->presentedViewController());
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPhone);
}

TEST_F(CBWikipediaWalkViewControllerTest, OpenedOnAStopItSelectsThatPinAndWarnsOnlyOnce) {
    const auto stop = walk_->articles()[1];
    auto screen = show(nullptr, stop);
    EXPECT_FALSE(screen->stopToSelectOnAppear());
    EXPECT_EQ(screen->mapScrollView()->annotationsHost()->selectedAnnotation(),
              screen->stopAnnotations()[1]);
    EXPECT_TRUE(onScreen("Mind the traffic"));
    dismissWarning();
    navigation_->popViewControllerAnimated(false);
    show();
    EXPECT_FALSE(onScreen("Mind the traffic"));
}

// What the walker sees a third of the way along: the route walked in the
// accent colour, the numbered pins, the track with the walked part, and the
// bubble of the stop under the finger.
TEST_F(CBWikipediaWalkViewControllerTest, TheWalkAsTheWalkerSeesIt) {
    auto screen = show();
    dismissWarning();
    CBLocationManager::sharedInstance()->startUpdatingLocation();
    source_->moveTo(routePoint(0.35));
    settle();
    screen->progressView()->setIndexOfHighlightedStop(1);
    settle(0.5);
    EXPECT_TRUE(matchesReference(window_->renderImage(1), "../wikipedia/walk-portrait"));

    auto wide = makeWindow({568, 320});
    auto turned = makeScreen();
    wide->setRootViewController(std::make_shared<UINavigationController>(turned));
    wide->layoutIfNeeded();
    settle();
    dismissWarning();
    turned->progressView()->setIndexOfHighlightedStop(3);
    settle(0.5);
    EXPECT_TRUE(matchesReference(wide->renderImage(1), "../wikipedia/walk-landscape"));
}

// A guide may carry a walk that lacks a route, has empty or unreadable
// segments, or stops without usable distances: the screen shows what it can,
// never "nan", and does not zoom to a box of nothing.
TEST_F(CBWikipediaWalkViewControllerTest, BrokenWalksShowWhatTheyCan) {
    const std::vector<std::pair<std::string, std::shared_ptr<ZELWikiGuideGroup>>> walks{
        {"no route", walkFrom({}, {Value(0.0), Value(300.0)})},
        {"empty segments", walkFrom({segmentOf({}), segmentOf({})}, {Value(0.0), Value(300.0)})},
        {"numbers off the earth", walkFrom({segmentOf({NAN, 13.26, 53.56, INFINITY, 200.0, 13.0})},
                                           {Value(NAN), Value(INFINITY)})},
        {"no distances", walkFrom({segmentOf({53.556, 13.26, 53.558, 13.26})}, {Value(), Value()})},
        {"last distance 0",
         walkFrom({segmentOf({53.556, 13.26, 53.558, 13.26})}, {Value(0.0), Value(0.0)})},
    };
    for (const auto& [what, walk] : walks) {
        auto screen = show(walk);
        dismissWarning();
        auto& map = *screen->mapScrollView();
        const auto box = map.visibleArea()->visibleBBox();
        ASSERT_TRUE(box) << what;
        EXPECT_TRUE(std::isfinite(box->latitudeSpan()) && box->latitudeSpan() < 1) << what;
        auto track = screen->progressView();
        track->setIndexOfHighlightedStop(1);
        EXPECT_EQ(screen->progressViewLabel()->labelSubtitle()->text().find("nan"),
                  std::string::npos)
            << what;
        for (const auto& shown : HostVisibleTexts(window_))
            EXPECT_EQ(shown.text.find("nan"), std::string::npos) << what << ": " << shown.text;
        source_->moveTo(CLLocationCoordinate2DMake(53.557, 13.26));
        settle(0.1);
        navigation_->popViewControllerAnimated(false);
    }
}

}  // namespace
