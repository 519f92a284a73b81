#include "app/CBMapViewController.h"

#include <gtest/gtest.h>

#include <cmath>

#include "CBGeoData/CBBoundingBox.h"
#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CoreData/NSPredicate.h"
#include "CoreLocation/CLLocation.h"
#include "CoreLocation/CLLocationManager.h"
#include "CoreLocation/CLLocationSource.h"
#include "CoreLocation/CLNoLocationSource.h"
#include "Dispatch/NSRunLoop.h"
#include "MapScreenFixture.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIPopoverController.h"
#include "UIKit/UITextField.h"
#include "app/CBCompassButton.h"
#include "app/CBKelvaraLink.h"
#include "app/CBMapDisplayModeManager.h"
#include "app/CBMapEdgeOrnamentView.h"
#include "mapkit/CBBasicAnnotation.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapLayout.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapUserLocationFollower.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBPublicTransportDataSource.h"
#include "widgets/CBClearSearchBar.h"

namespace {

double metresBetween(CLLocationCoordinate2D a, CLLocationCoordinate2D b) {
    return CLLocation(a.latitude, a.longitude)
        .distanceFromLocation(CLLocation(b.latitude, b.longitude));
}

// The Neubrandenburg place node of the sample package.
constexpr CLLocationCoordinate2D kNeubrandenburgCentre{53.5574458, 13.2602781};

class CBMapViewControllerTest : public MapScreenTest {
  protected:
    CLLocationCoordinate2D visibleCentre() {
        screen_->mapView()->visibleArea()->calculateVisibleBBox();
        return screen_->mapView()->visibleArea()->visibleCenter();
    }
};

TEST_F(CBMapViewControllerTest, AMapOpensFirstOnItsCityCentreThenWhereTheUserLeftIt) {
    registry_->setCurrentMap(installNeubrandenburg());
    show();
    const auto box = screen_->mapView()->layout()->mapBoundingBox();
    ASSERT_TRUE(box);
    EXPECT_LT(metresBetween(visibleCentre(), kNeubrandenburgCentre), 50);
    EXPECT_GT(metresBetween(visibleCentre(), box->centerCoordinate()), 3000);

    // Moved away and stored on the way to the background, the map comes
    // back where it was, not on the centre.
    const CLLocationCoordinate2D elsewhere{53.54, 13.23};
    ASSERT_TRUE(screen_->mapView()->moveToCoordinateAnimated(elsewhere, false));
    screen_->applicationDidMoveToBackground();
    window_.reset();
    screen_.reset();
    show();
    EXPECT_LT(metresBetween(visibleCentre(), elsewhere), 300);
}

// Neither package has a place named like the map; the middle of their boxes
// is countryside. They open on their main town. Three Rivers is an area, its
// city limits reaching far into the fields east of the streets and shops:
// the town's middle is where its places are, not the middle of its limits.
TEST_F(CBMapViewControllerTest, AMapOpensFirstOnItsMainTown) {
    registry_->setCurrentMap(installLiechtenstein());
    show();
    ASSERT_TRUE(screen_->hasMap());
    const CLLocationCoordinate2D vaduz{47.1392862, 9.5227962};
    EXPECT_LT(metresBetween(visibleCentre(), vaduz), 50);
    EXPECT_GT(metresBetween(visibleCentre(),
                            screen_->mapView()->layout()->mapBoundingBox()->centerCoordinate()),
              3000);

    registry_->setCurrentMap(installThreeRivers());
    ASSERT_EQ(screen_->title(), "Three Rivers");
    const CLLocationCoordinate2D downtown{41.9445, -85.6339};
    const CLLocationCoordinate2D middleOfTheLimits{41.945585, -85.6164115};
    EXPECT_LT(metresBetween(visibleCentre(), downtown), 250);
    EXPECT_GT(metresBetween(visibleCentre(), middleOfTheLimits), 1000);

    registry_->setCurrentMap(installNeubrandenburg());
    ASSERT_EQ(screen_->title(), "Neubrandenburg");
    EXPECT_LT(metresBetween(visibleCentre(), kNeubrandenburgCentre), 50);
}

TEST_F(CBMapViewControllerTest, SwitchersBeyondTheEdgesOpenTheNeighbouringMaps) {
    registry_->setCurrentMap(installNeubrandenburg());
    installLiechtenstein();
    installThreeRivers();
    show();
    ASSERT_EQ(screen_->nearbyMapInfos().size(), 2u);
    // Scrolled past the bottom-left corner: Liechtenstein lies south.
    scrollPastBottomLeftCorner();
    play(R"(
idle
expect "Liechtenstein"
expect "755* km"
expect-not "Three Rivers"
)");
    EXPECT_TRUE(matchesReference(window_->renderImage(1), "../app/map-edge-switchers", 40));
    // Past the top-left corner: Michigan lies north-west.
    const CGFloat reach = CBMapEdgeOrnamentView::kThickness;
    screen_->mapView()->setContentOffset({-reach, -reach});
    play(R"(
idle
expect-not "Liechtenstein"
expect "Three Rivers"
)");
    EXPECT_TRUE(matchesReference(window_->renderImage(1), "../app/map-edge-corner", 40));
    play(R"(
tap "Three Rivers"
idle
expect "Three Rivers"
)");
    EXPECT_EQ(registry_->currentMapIdentifier(), "three-rivers");
    EXPECT_EQ(screen_->title(), "Three Rivers");
    // From Michigan both European maps lie to the north-east.
    ASSERT_EQ(screen_->nearbyMapInfos().size(), 2u);
    EXPECT_EQ(screen_->nearbyMapInfos()[0].map()->identifier(), "neubrandenburg");
    for (const auto& info : screen_->nearbyMapInfos())
        EXPECT_EQ(info.direction(),
                  CBMapOrnamentationDirectionTop | CBMapOrnamentationDirectionRight);
}

TEST_F(CBMapViewControllerTest, ASingleMapHasItsFrameButNoSwitchers) {
    registry_->setCurrentMap(installNeubrandenburg());
    // A record whose package is gone could not open: it is not offered.
    record("three-rivers", "Three Rivers", {41.9984, -85.5812}, {41.9254, -85.6516});
    show();
    EXPECT_TRUE(screen_->nearbyMapInfos().empty());
    // A map installed later appears beyond the edge at once.
    installLiechtenstein();
    screen_->userMapStoreAddedMap(*registry_, registry_->mapForIdentifier("liechtenstein"));
    EXPECT_EQ(screen_->nearbyMapInfos().size(), 1u);
}

TEST_F(CBMapViewControllerTest, TheTransitModeShowsTheBusNetworkWithItsStops) {
    registry_->setCurrentMap(installNeubrandenburg());
    show();
    auto& modes = screen_->displayModes();
    const auto available = modes.availableModes();
    EXPECT_EQ(available.front(), CBMapDisplayModeManager::kStandardMode);
    EXPECT_NE(std::find(available.begin(), available.end(), 2), available.end());
    // The sample city has no ferries: that mode is refused and nothing changes.
    EXPECT_EQ(std::find(available.begin(), available.end(), 3), available.end());
    EXPECT_FALSE(modes.setMode(3));
    EXPECT_EQ(modes.mode(), CBMapDisplayModeManager::kStandardMode);

    ASSERT_TRUE(modes.setMode(2));
    EXPECT_GT(modes.routeCount(), 5u);
    ASSERT_FALSE(modes.stopAnnotations().empty());
    EXPECT_TRUE(modes.isStopAnnotation(modes.stopAnnotations().front()));
    EXPECT_EQ(screen_->mapView()->annotationsHost()->annotations().size(),
              modes.stopAnnotations().size());
    ASSERT_TRUE(screen_->mapView()->moveToCoordinateAnimated(kNeubrandenburgCentre, false));
    play("idle");
    EXPECT_TRUE(matchesReference(window_->renderImage(1), "../app/map-mode-buses", 40));

    // A chosen stop shows its routes and highlights them; letting it go
    // brings every route back.
    auto stop = modes.stopAnnotations().front();
    screen_->mapView()->annotationsHost()->selectAnnotationAnimated(stop, false);
    ASSERT_TRUE(modes.dataSource()->highlightedObjectIDs());
    EXPECT_FALSE(modes.dataSource()->highlightedObjectIDs()->empty());
    EXPECT_FALSE(stop->subtitle().value_or("").empty());
    screen_->mapView()->annotationsHost()->deselectAnnotationAnimated(stop, false);
    EXPECT_FALSE(modes.dataSource()->highlightedObjectIDs());

    // A place shown over the transport mode leaves the stops in place.
    const size_t stops = modes.stopAnnotations().size();
    auto street = objectNamed("Friedrich-Engels-Ring");
    ASSERT_TRUE(street);
    screen_->showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        street->objectID(), std::nullopt, false);
    EXPECT_EQ(screen_->mapView()->annotationsHost()->annotations().size(), stops + 1);
    EXPECT_EQ(screen_->objectAnnotationIdentifiers().size(), 1u);
    screen_->presentAnnotationsCentered({}, false);
    EXPECT_EQ(screen_->mapView()->annotationsHost()->annotations().size(), stops);

    // Back to the plain map: the stops go, other pins stay.
    auto pin = std::make_shared<CBBasicAnnotation>(kNeubrandenburgCentre);
    screen_->mapView()->annotationsHost()->addAnnotationCentered(pin, false);
    ASSERT_TRUE(modes.setMode(CBMapDisplayModeManager::kStandardMode));
    EXPECT_TRUE(modes.stopAnnotations().empty());
    ASSERT_EQ(screen_->mapView()->annotationsHost()->annotations().size(), 1u);
    EXPECT_EQ(screen_->mapView()->annotationsHost()->annotations().front(), pin);
}

TEST_F(CBMapViewControllerTest, TheDisplayListIsPushedOnThePhoneAndAPopoverOnThePad) {
    registry_->setCurrentMap(installNeubrandenburg());
    show();
    play(R"(
tap "Display"
idle
expect "Buses"
expect "Trains"
expect-not "Ferries"
tap "Buses"
idle
expect-not "Trains"
)");
    EXPECT_EQ(screen_->displayModes().mode(), 2);
    EXPECT_EQ(screen_->navigationController()->viewControllers().size(), 1u);

    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
    screen_->showDisplayModes();
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPhone);
    ASSERT_TRUE(screen_->activePopover());
    EXPECT_TRUE(screen_->activePopover()->isPopoverVisible());
    EXPECT_EQ(screen_->navigationController()->viewControllers().size(), 1u);
    play(R"(
idle
tap "Map"
idle
)");
    EXPECT_EQ(screen_->displayModes().mode(), CBMapDisplayModeManager::kStandardMode);
    EXPECT_FALSE(screen_->activePopover());
    // Showing places on the map closes a popover that is open.
    screen_->showDisplayModes();
    screen_->presentAnnotationsCentered({}, false);
    EXPECT_FALSE(screen_->activePopover());

    // The settings float over the map as a form sheet on the pad.
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
    play(R"(tap "Settings")");
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPhone);
    ASSERT_TRUE(screen_->presentedViewController());
    EXPECT_EQ(screen_->presentedViewController()->modalPresentationStyle(),
              UIModalPresentationFormSheet);
}

TEST_F(CBMapViewControllerTest, ZoomButtonsStepOneLevelAndStopAtTheEnds) {
    registry_->setCurrentMap(installNeubrandenburg());
    show();
    auto map = screen_->mapView();
    const int level = map->layout()->nativeZoomLevel();
    play(R"(
tap "Zoom in"
idle
)");
    EXPECT_EQ(map->layout()->nativeZoomLevel(), level + 1);
    play(R"(
tap "Zoom out"
tap "Zoom out"
idle
)");
    EXPECT_EQ(map->layout()->nativeZoomLevel(), level - 1);
    map->setZoomScale(map->minimumZoomScale());
    map->notifyDelegateMapDidChangeBBoxAnimated(false);
    play(R"(
tap "Zoom out"
idle
)");
    EXPECT_EQ(map->zoomScale(), map->minimumZoomScale());

    // A link's zoom level is the level shown, on a 2x screen too.
    CBKelvaraLink link;
    link.coordinate = kNeubrandenburgCentre;
    link.zoomLevel = 16;
    ASSERT_TRUE(screen_->openLink(link));
    EXPECT_EQ(map->layout()->nativeZoomLevel(), 16);
}

// Taps quicker than the zoom: each counts one level, all about the middle.
TEST_F(CBMapViewControllerTest, QuickZoomTapsAddUpAboutTheMiddle) {
    registry_->setCurrentMap(installNeubrandenburg());
    show();
    auto map = screen_->mapView();
    const int level = map->layout()->nativeZoomLevel();
    const CLLocationCoordinate2D middle = visibleCentre();
    for (int tap = 0; tap < 3; ++tap)
        screen_->zoomIn();
    play("idle");
    EXPECT_EQ(map->layout()->nativeZoomLevel(), level + 3);
    EXPECT_LT(metresBetween(visibleCentre(), middle), 2);
    // Tapped while the last tap's zoom runs.
    play(R"(
tap "Zoom out"
tap "Zoom out"
idle
)");
    EXPECT_EQ(map->layout()->nativeZoomLevel(), level + 1);
    EXPECT_LT(metresBetween(visibleCentre(), middle), 2);
}

TEST_F(CBMapViewControllerTest, AnObjectShownByItsIdentifierBecomesTheOnePinWithItsAddress) {
    registry_->setCurrentMap(installNeubrandenburg());
    show();
    auto map = screen_->mapView();
    auto street = objectNamed("Friedrich-Engels-Ring");
    ASSERT_TRUE(street);
    map->annotationsHost()->addAnnotationCentered(
        std::make_shared<CBBasicAnnotation>(kNeubrandenburgCentre), false);

    screen_->showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        std::nullopt, std::nullopt, false);
    EXPECT_EQ(map->annotationsHost()->annotations().size(), 1u);

    screen_->showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        street->objectID(), std::nullopt, false);
    ASSERT_EQ(map->annotationsHost()->annotations().size(), 1u);
    EXPECT_EQ(map->annotationsHost()->annotations().front()->title(), "Friedrich-Engels-Ring");
    EXPECT_EQ(screen_->objectAnnotationIdentifiers().size(), 1u);

    // At one of its addresses the pin stands on that house.
    auto addresses = street->addresses();
    ASSERT_FALSE(addresses.empty());
    auto address = addresses.back();
    screen_->showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        street->objectID(), address->objectID(), false);
    ASSERT_EQ(map->annotationsHost()->annotations().size(), 1u);
    EXPECT_LT(metresBetween(map->annotationsHost()->annotations().front()->coordinate(),
                            address->coordinate()),
              1);

    // A bookmark's object is looked for in the bookmark store, where no
    // object of the map's store is: nothing is pinned.
    LogCapture log;
    screen_->showAnnotationForGeoObjectWithObjectIDAndAddressWithObjectIDIsBookmark(
        street->objectID(), std::nullopt, true);
    EXPECT_TRUE(map->annotationsHost()->annotations().empty());
    EXPECT_TRUE(log.contains("in the bookmarks of the open map"));
}

TEST_F(CBMapViewControllerTest, PlacesHandedOverCloseTheScreensOverTheMapFirst) {
    registry_->setCurrentMap(installNeubrandenburg());
    show();
    auto map = screen_->mapView();
    // A list pushed over the map: it goes back, and the map shows the
    // places' area once it is in sight.
    screen_->navigationController()->pushViewControllerAnimated(
        std::make_shared<UIViewController>(), false);
    auto south = std::make_shared<CBBasicAnnotation>(CLLocationCoordinate2D{53.46, 13.30});
    screen_->presentAnnotationsCentered({south}, true);
    play("idle");
    EXPECT_EQ(screen_->navigationController()->viewControllers().size(), 1u);
    ASSERT_EQ(map->annotationsHost()->annotations().size(), 1u);
    map->visibleArea()->calculateVisibleBBox();
    EXPECT_TRUE(map->visibleArea()->visibleBBox()->includesCoordinate(south->coordinate()));

    // A screen presented over the map: the places come once it has gone.
    play(R"(
tap "Settings"
idle
)");
    ASSERT_TRUE(screen_->presentedViewController());
    auto north = std::make_shared<CBBasicAnnotation>(CLLocationCoordinate2D{53.60, 13.25});
    screen_->presentAnnotationsCentered({north}, true);
    EXPECT_TRUE(map->annotationsHost()->annotations().empty());
    play("idle");
    EXPECT_FALSE(screen_->presentedViewController());
    ASSERT_EQ(map->annotationsHost()->annotations().size(), 1u);
    EXPECT_EQ(map->annotationsHost()->annotations().front(), north);
    map->visibleArea()->calculateVisibleBBox();
    EXPECT_TRUE(map->visibleArea()->visibleBBox()->includesCoordinate(north->coordinate()));
}

TEST_F(CBMapViewControllerTest, ALinkNamingThePlaceAtItsPointShowsThatPlace) {
    registry_->setCurrentMap(installNeubrandenburg());
    show();
    CBKelvaraLink link;
    link.coordinate = {53.5574329, 13.2613626};
    link.placemarker = true;
    link.placeName = "Hugendubel";
    ASSERT_TRUE(screen_->openLink(link));
    // The place is looked up in the background.
    ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return screen_->objectAnnotationIdentifiers().size() == 1; }, 30));
    ASSERT_EQ(screen_->mapView()->annotationsHost()->annotations().size(), 1u);
    EXPECT_EQ(screen_->mapView()->annotationsHost()->annotations().front()->title(), "Hugendubel");

    // Another name at the same point keeps the link's own pin.
    link.placeName = "Buchladen";
    ASSERT_TRUE(screen_->openLink(link));
    const auto annotations = [&] { return screen_->mapView()->annotationsHost()->annotations(); };
    EXPECT_TRUE(playUntil([&] {
        return screen_->objectAnnotationIdentifiers().empty() && annotations().size() == 1 &&
               annotations().front()->title() == "Buchladen";
    }));
    EXPECT_TRUE(screen_->objectAnnotationIdentifiers().empty());
    ASSERT_EQ(screen_->mapView()->annotationsHost()->annotations().size(), 1u);
    EXPECT_EQ(screen_->mapView()->annotationsHost()->annotations().front()->title(), "Buchladen");
}

// On an empty home the build's sample stands in while the store's copy
// installs; a link opened meanwhile went lost when the installed map opened
// on its main town.
TEST_F(CBMapViewControllerTest, ALinkOpenedOnTheStandInHoldsOnceTheMapIsInstalled) {
    screen_ = std::make_shared<CBMapViewController>(registry_, samplePackageStore());
    window_ = makeWindow({320, 480});
    window_->setRootViewController(std::make_shared<UINavigationController>(screen_));
    window_->layoutIfNeeded();
    ASSERT_TRUE(screen_->hasMap());
    CBKelvaraLink link;
    link.coordinate = {53.5419, 13.2270};
    link.zoomLevel = 17;
    link.placemarker = true;
    link.placeName = "Hier";
    ASSERT_TRUE(screen_->openLink(link));
    EXPECT_LT(metresBetween(visibleCentre(), link.coordinate), 30);

    registry_->setCurrentMap(installNeubrandenburg());
    ASSERT_EQ(screen_->currentMap()->storePath(), registry_->currentMap()->filePath());
    EXPECT_LT(metresBetween(visibleCentre(), link.coordinate), 30);
    EXPECT_EQ(screen_->mapView()->layout()->nativeZoomLevel(), 17);
    ASSERT_EQ(screen_->mapView()->annotationsHost()->annotations().size(), 1u);
    EXPECT_EQ(screen_->mapView()->annotationsHost()->annotations().front()->title(), "Hier");

    // Only once: the next map opened opens on its own main town.
    registry_->setCurrentMap(installLiechtenstein());
    EXPECT_GT(metresBetween(visibleCentre(), link.coordinate), 100000);
}

// Back to the text of the last full search, after a longer text narrowed
// its results, the list shows that text's places again instead of nothing.
TEST_F(CBMapViewControllerTest, TypingBackToAnEarlierSearchListsItsPlacesAgain) {
    registry_->setCurrentMap(installNeubrandenburg());
    show();
    auto manager = screen_->mapView()->dataManager();
    manager->searchDelayShort = 0;
    manager->searchDelayLong = 0;
    auto field = screen_->searchBar()->searchField();
    ASSERT_TRUE(screen_->searchBar()->becomeFirstResponder());
    auto listed = [&] {
        EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
            [&] { return !screen_->searchBar()->isLoading(); }, 30));
        std::vector<std::string> titles;
        for (const auto& result : screen_->searchResults())
            titles.push_back(result->title().value_or(""));
        return titles;
    };
    const std::vector<std::string> street{"Friedrich-Engels-Ring"};
    field->insertText("engels rin");
    EXPECT_EQ(listed(), street);
    field->insertText("g");
    EXPECT_EQ(listed(), street);
    field->deleteBackward();
    EXPECT_EQ(listed(), street);
    field->insertText("x");
    EXPECT_TRUE(listed().empty());
}

// A position source whose heading the test sets.
class TurningSource : public CLLocationSource {
  public:
    void startUpdating() override {}
    void stopUpdating() override {}
    bool headingAvailable() const override { return true; }
    std::string description() const override { return "test"; }
    void moveTo(CLLocationCoordinate2D coordinate) {
        deliverLocation(std::make_shared<CLLocation>(coordinate.latitude, coordinate.longitude));
    }
    void turnTo(double degrees) {
        deliverHeading(std::make_shared<CLHeading>(degrees, degrees, 5, NSDate::date()));
    }
};

TEST_F(CBMapViewControllerTest, TheCompassShowsWhileTheMapTurnsAndTurnsItNorthUp) {
    auto source = std::make_shared<TurningSource>();
    CLLocationManager::setLocationSource(source);
    registry_->setCurrentMap(installNeubrandenburg());
    show();
    auto map = screen_->mapView();
    EXPECT_TRUE(screen_->compassButton()->isHidden());
    map->userLocationFollower()->setShowsUserLocation(true);
    source->moveTo(kNeubrandenburgCentre);
    map->userLocationFollower()->setRotateToHeading(true);
    ASSERT_TRUE(map->userLocationFollower()->rotateToHeading());
    source->turnTo(90);
    // The map turns in 0.5 s; the position dot breathes all the while.
    EXPECT_TRUE(playUntil([&] {
        return !screen_->compassButton()->isHidden() &&
               std::abs(screen_->compassButton()->mapRotation() - M_PI / 2) <= 0.01;
    }));
    EXPECT_FALSE(screen_->compassButton()->isHidden());
    EXPECT_NEAR(screen_->compassButton()->mapRotation(), M_PI / 2, 0.01);
    play(R"(tap "North up")");
    EXPECT_TRUE(playUntil([&] {
        return screen_->compassButton()->isHidden() &&
               std::abs(map->userLocationFollower()->currentRotationAngle()) <= 0.001;
    }));
    EXPECT_FALSE(map->userLocationFollower()->rotateToHeading());
    EXPECT_TRUE(screen_->compassButton()->isHidden());
    EXPECT_NEAR(map->userLocationFollower()->currentRotationAngle(), 0, 0.001);
    map->userLocationFollower()->stopLocationUsage();
    CLLocationManager::setLocationSource(std::make_shared<CLNoLocationSource>());
}

// Whatever room the screen has, upright, on its side or in a window cut to the
// smallest the desktop allows, each control over the map lies whole under the
// search bar and clear of every other, so that each can be tapped; upright
// the compass heads the column of buttons.
TEST_F(CBMapViewControllerTest, TheMapControlsLieApartInEveryShapeOfScreen) {
    registry_->setCurrentMap(installNeubrandenburg());
    for (const CGSize size :
         {CGSizeMake(320, 568), CGSizeMake(320, 480), CGSizeMake(568, 320), CGSizeMake(320, 320)}) {
        SCOPED_TRACE(std::to_string(int(size.width)) + " x " + std::to_string(int(size.height)));
        screen_ = std::make_shared<CBMapViewController>(registry_, "");
        window_ = makeWindow(size);
        window_->setRootViewController(std::make_shared<UINavigationController>(screen_));
        window_->layoutIfNeeded();
        screen_->compassButton()->setHidden(false);
        const auto view = screen_->view();
        const CGFloat mapTop = CGRectGetMaxY(screen_->searchBar()->frame());
        std::vector<CGRect> controls;
        for (const auto& subview : view->subviews())
            if (std::dynamic_pointer_cast<UIButton>(subview) || subview == screen_->compassButton())
                controls.push_back(subview->frame());
        ASSERT_EQ(controls.size(), 5u);
        for (size_t i = 0; i < controls.size(); ++i) {
            EXPECT_TRUE(CGRectContainsRect(CGRectMake(0, mapTop, view->bounds().size.width,
                                                      view->bounds().size.height - mapTop),
                                           controls[i]))
                << "control " << i;
            for (size_t j = i + 1; j < controls.size(); ++j)
                EXPECT_FALSE(CGRectIntersectsRect(controls[i], controls[j]))
                    << "controls " << i << " and " << j;
        }
        if (size.height > size.width) {
            const CGRect compass = screen_->compassButton()->frame();
            const CGRect guide = screen_->guideButton()->frame();
            EXPECT_EQ(CGRectGetMaxX(compass), CGRectGetMaxX(guide));
            EXPECT_LT(CGRectGetMaxY(compass), CGRectGetMinY(guide));
        }
    }
}

// Turned with the heading the map becomes a square of its diagonal; the
// screen keeps it to the map's own area, so the strip around the search
// field stays the screen's white while the whole area still shows map.
TEST_F(CBMapViewControllerTest, TheTurnedMapStaysInItsOwnAreaUnderTheSearchBar) {
    auto source = std::make_shared<TurningSource>();
    CLLocationManager::setLocationSource(source);
    registry_->setCurrentMap(installNeubrandenburg());
    show();
    auto map = screen_->mapView();
    map->userLocationFollower()->setShowsUserLocation(true);
    source->moveTo(kNeubrandenburgCentre);
    map->userLocationFollower()->setRotateToHeading(true);
    source->turnTo(30);
    // The map turns in 0.5 s once the heading came.
    EXPECT_TRUE(playUntil([&] {
        return std::abs(map->userLocationFollower()->currentRotationAngle() - M_PI / 6) <= 0.01 &&
               !CAFrameClock::shared().isSettling();
    }));
    ASSERT_NEAR(map->userLocationFollower()->currentRotationAngle(), M_PI / 6, 0.01);
    const auto bar = screen_->searchBar();
    const CGRect strip = bar->convertRectToView(bar->bounds(), window_);
    const CGRect screen = screen_->view()->convertRectToView(screen_->view()->bounds(), window_);
    const CGRect area = CGRectMake(CGRectGetMinX(screen), CGRectGetMaxY(strip), screen.size.width,
                                   CGRectGetMaxY(screen) - CGRectGetMaxY(strip));
    ASSERT_GT(map->UIView::frame().size.height, area.size.height);
    auto image = window_->renderImage(1);
    const auto at = [&](CGFloat x, CGFloat y) { return image->pixelAt(size_t(x), size_t(y)); };
    for (CGFloat x = 2; x < strip.size.width - 2; x += 6)
        EXPECT_EQ(at(x, CGRectGetMinY(strip) + 2), 0xFFFFFFFFu) << "strip at x " << x;
    for (const CGPoint corner : {CGPointMake(CGRectGetMinX(area) + 1, CGRectGetMinY(area) + 1),
                                 CGPointMake(CGRectGetMaxX(area) - 2, CGRectGetMinY(area) + 1),
                                 CGPointMake(CGRectGetMinX(area) + 1, CGRectGetMaxY(area) - 2),
                                 CGPointMake(CGRectGetMaxX(area) - 2, CGRectGetMaxY(area) - 2)}) {
        const uint32_t pixel = at(corner.x, corner.y);
        EXPECT_EQ(pixel >> 24, 0xFFu);
        EXPECT_NE(pixel, 0xFFFFFFFFu) << "no map at " << corner.x << ", " << corner.y;
    }
    map->userLocationFollower()->stopLocationUsage();
    CLLocationManager::setLocationSource(std::make_shared<CLNoLocationSource>());
}

// The application puts the position button beside "Maps"; tapped as a
// person taps it, it first follows the user, then turns the map with the
// heading, which brings the compass.
TEST_F(CBMapViewControllerTest, ThePositionButtonBesideMapsFollowsThenTurnsTheMap) {
    auto source = std::make_shared<TurningSource>();
    CLLocationManager::setLocationSource(source);
    registry_->setCurrentMap(installNeubrandenburg());
    screen_ = std::make_shared<CBMapViewController>(registry_, "");
    screen_->setShelfAction([] {});
    window_ = makeWindow({320, 480});
    window_->setRootViewController(std::make_shared<UINavigationController>(screen_));
    window_->layoutIfNeeded();
    auto map = screen_->mapView();
    // The bar item is made anew for each state: find its button each time.
    auto tapPositionButton = [&] {
        auto pair = screen_->navigationItem()->leftBarButtonItem()->customView();
        ASSERT_TRUE(pair);
        ASSERT_EQ(pair->subviews().size(), 2u);
        const auto& button = pair->subviews()[1];
        const CGPoint middle = button->convertPointToView(
            {button->bounds().size.width / 2, button->bounds().size.height / 2}, window_);
        play("tap " + std::to_string(middle.x) + " " + std::to_string(middle.y));
    };
    source->moveTo(kNeubrandenburgCentre);
    tapPositionButton();
    EXPECT_TRUE(map->userLocationFollower()->centersOnUserLocation());
    EXPECT_FALSE(map->userLocationFollower()->rotateToHeading());
    tapPositionButton();
    EXPECT_TRUE(map->userLocationFollower()->rotateToHeading());
    source->turnTo(90);
    EXPECT_TRUE(playUntil([&] { return !screen_->compassButton()->isHidden(); }));
    map->userLocationFollower()->stopLocationUsage();
    CLLocationManager::setLocationSource(std::make_shared<CLNoLocationSource>());
}

}  // namespace
