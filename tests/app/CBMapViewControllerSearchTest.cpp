#include <gtest/gtest.h>

#include <algorithm>

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CoreData/NSPredicate.h"
#include "CoreLocation/CLFixedLocationSource.h"
#include "CoreLocation/CLLocationManager.h"
#include "CoreLocation/CLNoLocationSource.h"
#include "Dispatch/NSRunLoop.h"
#include "MapScreenFixture.h"
#include "UIKit/UITableView.h"
#include "app/CBPlaceDescription.h"
#include "location/CBLocationManager.h"
#include "mapkit/CBAnnotationsManager.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapUserLocationFollower.h"
#include "mapkit/CBUserLocation.h"
#include "mapkit/CBUserLocationAnnotationView.h"
#include "widgets/CBClearSearchBar.h"

namespace {

// The market square of the sample city.
constexpr CLLocationCoordinate2D kMarket{53.5575, 13.2610};

class CBMapViewControllerSearchTest : public MapScreenTest {
  protected:
    void TearDown() override {
        if (screen_)
            screen_->mapView()->userLocationFollower()->stopLocationUsage();
        CLLocationManager::setLocationSource(std::make_shared<CLNoLocationSource>());
        CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusNotDetermined);
        CBLocationManager::sharedInstance()->setLocation(nullptr);
        MapScreenTest::TearDown();
    }
    // The screen with a receiver at the point, once its first fix is in.
    void showAt(CLLocationCoordinate2D here) {
        CLLocationManager::setLocationSource(std::make_shared<CLFixedLocationSource>(here, 30.0));
        CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusAuthorizedWhenInUse);
        show();
        ASSERT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
            [&] {
                return screen_->mapView()->userLocationFollower()->userLocation()->coreLocation() !=
                       nullptr;
            },
            10));
    }
    std::string detailOf(const std::string& name, const std::string& kindKey,
                         const std::string& kind) {
        NSFetchRequest request("object");
        request.predicate =
            NSPredicate::predicateWithFormat("name == %@ AND ANY tags.key == %@", {name, kindKey});
        auto found =
            screen_->mapView()->dataManager()->managedObjectContext()->executeFetchRequest(request);
        for (const auto& row : found.value_or(std::vector<std::shared_ptr<NSManagedObject>>{})) {
            auto object = std::dynamic_pointer_cast<CBGeoObject>(row);
            if (object && object->getAttributeOfTagForKey(kindKey) == kind)
                return screen_->detailTextForResult(
                    *CBGeoSearchResult::geoSearchResultWithObject(object));
        }
        ADD_FAILURE() << "no " << name << " tagged " << kindKey << "=" << kind;
        return "";
    }
    // Types into the search bar and waits for the search to end.
    std::vector<std::string> search(const std::string& text) {
        auto manager = screen_->mapView()->dataManager();
        manager->searchDelayShort = 0;
        manager->searchDelayLong = 0;
        play("tap \"Search places and addresses\"\ntype \"" + text + "\"");
        EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
            [&] { return !screen_->searchBar()->isLoading(); }, 30));
        std::vector<std::string> rows;
        for (const auto& hit : screen_->searchResults())
            rows.push_back(hit->title().value_or("") + " / " + screen_->detailTextForResult(*hit));
        return rows;
    }
};

// "Biomarkt / Yes", "Treptower-Tor-Turm / No": the first tag that was no
// name or address was taken for the kind, however little it said.
TEST_F(CBMapViewControllerSearchTest, HitsSayWhatAPlaceIsWhereItLiesAndHowFar) {
    registry_->setCurrentMap(installNeubrandenburg());
    showAt(kMarket);
    EXPECT_EQ(detailOf("Biomarkt", "shop", "supermarket"), "Supermarket · Neubrandenburg · 178 m");
    EXPECT_EQ(detailOf("Treptower-Tor-Turm", "tourism", "museum"),
              "Museum · Neubrandenburg · 398 m");
    // No address of its own: the locality is the town it lies in.
    EXPECT_EQ(
        detailOf("Stadtbäckerei Kühl", "shop", "bakery").rfind("Bakery · Neubrandenburg · ", 0),
        0u);
    // A village is its own locality; the sign at its limit says what it is.
    EXPECT_EQ(detailOf("Wulkenzin", "place", "village"), "Village · 6.2 km");
    EXPECT_EQ(detailOf("Wulkenzin", "traffic_sign", "city_limit").rfind("City limit · ", 0), 0u);
    // "Amenity" and "Power" said nothing: the value names the place.
    EXPECT_EQ(detailOf("Kaufland", "amenity", "parking_entrance"),
              "Parking entrance · Neubrandenburg · 2.2 km");
    EXPECT_EQ(detailOf("Neubrandenburg", "power", "substation"),
              "Substation · Neubrandenburg · 1.8 km");

    // Without a position, no distance.
    screen_->mapView()->userLocationFollower()->stopLocationUsage();
    CLLocationManager::setLocationSource(std::make_shared<CLNoLocationSource>());
    CBLocationManager::sharedInstance()->setLocation(nullptr);
    EXPECT_EQ(detailOf("Biomarkt", "shop", "supermarket"), "Supermarket · Neubrandenburg");
}

// The town Vaduz and its post office were "Vaduz / yes" and "Vaduz / Post
// office", in whichever order the store gave them.
TEST_F(CBMapViewControllerSearchTest, TwoHitsOfOneNameAreToldApartTheTownFirst) {
    registry_->setCurrentMap(installLiechtenstein());
    showAt({47.1410, 9.5215});
    const auto rows = search("vaduz");
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(rows[0], "Vaduz / Town · 214 m");
    EXPECT_EQ(rows[1], "Vaduz / Post office · Vaduz · 266 m");
    // The halt between the two villages lies in Schaan; the height it
    // carries ("447") says nothing of what it is.
    bool halt = false;
    for (const auto& row : rows)
        if (row.rfind("Schaan-Vaduz / ", 0) == 0) {
            EXPECT_EQ(row.rfind("Schaan-Vaduz / Halt · Schaan · ", 0), 0u) << row;
            halt = true;
        }
    EXPECT_TRUE(halt);

    // However the store hands out places of one name, the town leads them,
    // and they stay together where the first of them stood.
    auto hits = screen_->searchResults();
    ASSERT_GE(hits.size(), 3u);
    std::vector<std::shared_ptr<CBGeoSearchResult>> shuffled{hits[2], hits[1], hits[0]};
    CBPlaceDescription::orderHitsOfOneName(shuffled, nullptr);
    EXPECT_EQ(shuffled[0], hits[2]);
    EXPECT_EQ(shuffled[1], hits[0]);
    EXPECT_EQ(shuffled[2], hits[1]);
    std::vector<std::shared_ptr<CBGeoSearchResult>> postOfficeFirst{hits[1], hits[2], hits[0]};
    CBPlaceDescription::orderHitsOfOneName(postOfficeFirst, nullptr);
    EXPECT_EQ(postOfficeFirst, (std::vector{hits[0], hits[1], hits[2]}));
}

// Three places named "Kaufland" came farthest first; among hits of one
// name the nearer leads, and without a position they keep the search's order.
TEST_F(CBMapViewControllerSearchTest, HitsOfOneNameComeNearestFirst) {
    registry_->setCurrentMap(installNeubrandenburg());
    showAt(kMarket);
    const auto rows = search("kaufland");
    ASSERT_GE(rows.size(), 4u);
    EXPECT_EQ(rows[0], "Kaufland / Supermarket · Neubrandenburg · 754 m");
    EXPECT_EQ(rows[1], "Kaufland / Supermarket · Neubrandenburg · 2.1 km");
    EXPECT_EQ(rows[2], "Kaufland / Parking entrance · Neubrandenburg · 2.2 km");
    // A nearer place of another name stays behind the exact hits.
    EXPECT_EQ(rows[3], "Vier-Tore-Apotheke am Kaufland / Pharmacy · Neubrandenburg · 759 m");
    const auto byDistance = screen_->searchResults();

    // No position: the exact hits in the order the search gave them.
    auto unordered = byDistance;
    std::reverse(unordered.begin(), unordered.begin() + 3);
    auto kept = unordered;
    CBPlaceDescription::orderHitsOfOneName(kept, nullptr);
    EXPECT_EQ(kept, unordered);
    // With one, the same hits in any order come out nearest first.
    const CLLocation market(kMarket.latitude, kMarket.longitude);
    CBPlaceDescription::orderHitsOfOneName(unordered, &market);
    EXPECT_EQ(unordered, byDistance);
}

// A search without hits left a blank white page, also after Return.
TEST_F(CBMapViewControllerSearchTest, ASearchWithoutHitsSaysSoUntilOneFindsSomething) {
    registry_->setCurrentMap(installNeubrandenburg());
    show();
    EXPECT_TRUE(search("qqqxyz").empty());
    play(R"(
expect "Nothing found"
key Return
idle
expect "Nothing found"
key Ctrl+A
type "biomarkt"
)");
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return !screen_->searchBar()->isLoading() && !screen_->searchResults().empty(); },
        30));
    play(R"(
expect "Biomarkt"
expect-not "Nothing found"
)");
}

// The dot waited for the position button; the map shows where the user is
// as soon as a fix arrives, without following it.
TEST_F(CBMapViewControllerSearchTest, ThePositionShowsOnceAFixArrives) {
    registry_->setCurrentMap(installNeubrandenburg());
    showAt(kMarket);
    auto map = screen_->mapView();
    EXPECT_TRUE(map->userLocationFollower()->showsUserLocation());
    EXPECT_FALSE(map->userLocationFollower()->centersOnUserLocation());
    play("idle");
    EXPECT_FALSE(
        map->annotationsHost()->annotationsManager()->userLocationAnnotationView()->isHidden());
    // The screen that goes takes the location service's updates with it.
    window_.reset();
    screen_.reset();
    EXPECT_FALSE(CBLocationManager::sharedInstance()->isUpdating());

    // Without access to the position nothing is started.
    CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusDenied);
    show();
    EXPECT_FALSE(screen_->mapView()->userLocationFollower()->showsUserLocation());
    EXPECT_FALSE(CBLocationManager::sharedInstance()->isUpdating());
}

}  // namespace
