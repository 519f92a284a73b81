#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "CBGeoData/CBBoundingBox.h"
#include "Host/HostScenario.h"
#include "PackagesTestSupport.h"
#include "StoreTestSupport.h"
#include "UIKit/UIButton.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UISearchBar.h"
#include "UIKit/UITextField.h"
#include "UIKit/UIWindow.h"
#include "mapkit/CBAnnotationCalloutView.h"
#include "mapkit/CBAnnotationView.h"
#include "mapkit/CBAnnotationsManager.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "mapkit/CBPinAnnotationView.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "platform/UIKit/UIKitTestSupport.h"
#include "store/CBMapStoreController.h"
#include "store/CBMapStoreDetailVC.h"
#include "store/CBMapStoreMapAnnotation.h"
#include "store/CBMapStoreWorldMapViewcontroller.h"
#include "widgets/CBClearSearchBar.h"
#include "widgets/CBLabelWithInset.h"
#include "widgets/ZELRoundedGradientButton.h"
#include "widgets/ZELToolTip.h"

namespace {

constexpr CLLocationCoordinate2D kMalbun{47.1027934, 9.6083946};

// The store's world map tab played as a person uses it, with the tiles from
// the fixture's local tile service. The user is in Germany, so the map opens there.
class StoreWorldMapScenarioTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* locale = std::getenv("LC_ALL");
        previousLocale_ = locale ? std::optional<std::string>(locale) : std::nullopt;
        setenv("LC_ALL", "en_DE.UTF-8", 1);
    }
    void TearDown() override {
        if (previousLocale_)
            setenv("LC_ALL", previousLocale_->c_str(), 1);
        else
            unsetenv("LC_ALL");
    }
    // Liechtenstein installed through its detail screen, as the store does.
    void installLiechtenstein() {
        auto map = fixture_.catalogue->mapForIdentifier("liechtenstein");
        auto detail = CBMapStoreDetailVC::create(map, fixture_.downloads, fixture_.catalogue,
                                                 fixture_.registry);
        fixture_.show(detail);
        detail->downloadMap();
        ASSERT_TRUE(runUntil([&] { return fixture_.downloads->currentQueueLength() == 0; }, 60));
        ASSERT_TRUE(fixture_.registry->allIdentifiers().count("liechtenstein"));
    }
    void openWorldMap(bool keepTip = false) {
        store_ = CBMapStoreController::create(fixture_.downloads, fixture_.registry);
        fixture_.window->setRootViewController(store_);
        fixture_.layout();
        worldMap_ = store_->worldMap();
        play(R"(
tap "World map"
wait 1
idle
)");
        // The first-use tip shows once per run and takes the next tap: keep
        // the tests independent of their order.
        if (!keepTip)
            ZELToolTip::hideCurrentToolTip();
    }
    void play(const std::string& script) {
        auto result = HostRunScenario(fixture_.window, script);
        EXPECT_TRUE(result.passed) << result.message;
    }
    // A window point of a coordinate of the world map.
    CGPoint pointOf(CLLocationCoordinate2D coordinate) {
        auto map = worldMap_->mapView();
        return map->convertPointToView(map->pointForCoordinate(coordinate), fixture_.window);
    }
    static std::string tapAt(CGPoint point) {
        std::ostringstream step;
        step << "tap " << std::lround(point.x) << " " << std::lround(point.y) << "\n";
        return step.str();
    }
    std::shared_ptr<CBPinAnnotationView> pinOf(const std::string& identifier) {
        auto pin = worldMap_->annotationForMap(identifier);
        return pin ? std::dynamic_pointer_cast<CBPinAnnotationView>(worldMap_->mapView()
                                                                        ->annotationsHost()
                                                                        ->annotationsManager()
                                                                        ->viewForAnnotation(pin))
                   : nullptr;
    }
    ::testing::AssertionResult looksLike(const std::string& name) {
        // The attribution fades on a timer: keep it out of the pictures.
        worldMap_->attributionLabel()->setHidden(true);
        fixture_.layout();
        return matchesReference(fixture_.window->renderImage(1), "../store/" + name);
    }

    std::optional<std::string> previousLocale_;
    StoreFixture fixture_;
    std::shared_ptr<CBMapStoreController> store_;
    std::shared_ptr<CBMapStoreWorldMapViewcontroller> worldMap_;
};

}  // namespace

TEST_F(StoreWorldMapScenarioTest, PinsOverEuropeAreGreenForInstalledMaps) {
    installLiechtenstein();
    openWorldMap();
    play(R"(
expect "Zoom in to see the maps of an area"
expect "My maps"
)");
    auto installed = pinOf("liechtenstein");
    auto offered = pinOf("neubrandenburg");
    ASSERT_TRUE(installed);
    ASSERT_TRUE(offered);
    EXPECT_EQ(installed->reuseIdentifier(), "userMaps");
    EXPECT_EQ(offered->reuseIdentifier(), "defaultPin");
    EXPECT_NE(installed->headColor().CGColor(), offered->headColor().CGColor());
    EXPECT_TRUE(looksLike("worldmap-europe"));
}

TEST_F(StoreWorldMapScenarioTest, TheFirstViewShowsTheUsersWholeCountryInItsMiddle) {
    openWorldMap();
    auto germany = fixture_.catalogue->countryForCountryCode("DE");
    ASSERT_TRUE(germany && germany->bbox());
    const auto box = germany->bbox()->boundingBoxMultipliedByFactor(1.25);
    auto map = worldMap_->mapView();
    const CGRect shown = map->bounds();
    const CGPoint ne = map->pointForCoordinate(box->NE());
    const CGPoint sw = map->pointForCoordinate(box->SW());
    EXPECT_NEAR((ne.x + sw.x) / 2, CGRectGetMidX(shown), 1);
    EXPECT_NEAR((ne.y + sw.y) / 2, CGRectGetMidY(shown), 1);
    EXPECT_TRUE(CGRectContainsRect(CGRectInset(shown, -1, -1),
                                   CGRectMake(sw.x, ne.y, ne.x - sw.x, sw.y - ne.y)));
    // Liechtenstein lies at the southern edge of the area: its pin is in sight.
    EXPECT_TRUE(CGRectContainsPoint(shown, map->pointForCoordinate(kMalbun)));
    ASSERT_TRUE(runUntil([&] { return pinOf("liechtenstein") != nullptr; }, 5));
    auto pin = pinOf("liechtenstein");
    EXPECT_TRUE(CGRectContainsRect(shown, pin->convertRectToView(pin->bounds(), map)));
}

TEST_F(StoreWorldMapScenarioTest, TappingLiechtensteinOutlinesItAndItsCalloutOpensTheDetail) {
    openWorldMap();
    worldMap_->mapView()->zoomToBoundingBoxAnimated(
        CBBoundingBox::boundingBoxWithCenterLatitudeSpanLongitudeSpan({47.3, 9.5}, 3, 3), false);
    play("wait 1\nidle\n");
    ASSERT_TRUE(
        runUntil([&] { return worldMap_->annotationForMap("liechtenstein") != nullptr; }, 5));
    play("idle\n");
    // Beside the pin, which stands on the middle of the country.
    play(tapAt(pointOf({47.10, 9.53})) + R"(
wait 2.5
idle
expect "Liechtenstein, Liechtenstein"
)");
    ASSERT_TRUE(worldMap_->highlightedMap());
    auto selected = worldMap_->mapView()->annotationsHost()->selectedAnnotation();
    ASSERT_TRUE(selected);
    EXPECT_EQ(selected->uniqueIdentifier(), "liechtenstein");
    EXPECT_TRUE(looksLike("worldmap-liechtenstein"));

    // The callout's disclosure button opens the detail screen.
    auto callout = worldMap_->mapView()->annotationsHost()->currentCalloutView();
    ASSERT_TRUE(callout);
    auto accessory = callout->rightCalloutAccessoryView();
    ASSERT_TRUE(accessory);
    const CGRect button = accessory->convertRectToView(accessory->bounds(), fixture_.window);
    play(tapAt(CGPointMake(CGRectGetMidX(button), CGRectGetMidY(button))) + R"(
wait-for "Download map"
)");
    auto detail = std::dynamic_pointer_cast<CBMapStoreDetailVC>(
        worldMap_->navigationController()->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->map()->identifier(), "liechtenstein");
}

TEST_F(StoreWorldMapScenarioTest, TheTipStaysWithTheWorldMapAndDoesNotComeBack) {
    ZELToolTip::resetShownThisRun();
    openWorldMap(true);
    play("expect \"Tap a country to find its maps, or search for a town.\"\n");
    // The detail screen the map leads to shows without it.
    auto detail =
        CBMapStoreDetailVC::create(fixture_.catalogue->mapForIdentifier("liechtenstein"),
                                   fixture_.downloads, fixture_.catalogue, fixture_.registry);
    worldMap_->navigationController()->pushViewControllerAnimated(detail, false);
    play(R"(
wait-for "Download map"
expect-not "Tap a country to find its maps, or search for a town."
)");
    // Nor does the map itself on return.
    worldMap_->navigationController()->popViewControllerAnimated(false);
    play(R"(
tap "Browse"
idle
tap "World map"
idle
expect "My maps"
expect-not "Tap a country to find its maps, or search for a town."
)");
}

TEST_F(StoreWorldMapScenarioTest, TappingTheOpenSeaOffersTheMissingMapRequest) {
    openWorldMap();
    // Out over the Atlantic, too wide for the button to show by itself.
    worldMap_->mapView()->zoomToBoundingBoxAnimated(
        CBBoundingBox::boundingBoxWithCenterLatitudeSpanLongitudeSpan({45, -30}, 12, 12), false);
    play(R"(
wait 1
idle
expect-not "Request this map"
expect "Zoom in to see the maps of an area"
)");
    play(tapAt(pointOf({45, -30})) + R"(
wait 1
idle
expect "Request this map"
expect-not "Zoom in to see the maps of an area"
)");
    EXPECT_TRUE(looksLike("worldmap-sea-request"));
    play(R"(tap "Request this map")");
    EXPECT_TRUE(runUntil(
        [&] {
            return store_->presentedViewController() ||
                   worldMap_->navigationController()->presentedViewController() ||
                   worldMap_->presentedViewController();
        },
        30));
}

TEST_F(StoreWorldMapScenarioTest, SearchingATownThatIsNoMapsNameMovesTheMapThere) {
    openWorldMap();
    const CGRect bar = worldMap_->searchBar()->convertRectToView(worldMap_->searchBar()->bounds(),
                                                                 fixture_.window);
    play(tapAt(CGPointMake(CGRectGetMidX(bar), CGRectGetMidY(bar))) + R"(
expect "Tap Cancel to see all maps again"
expect "Cancel"
)");
    play("type \"Malbun\"\nkey Return\nwait 2\nidle\n");
    EXPECT_FALSE(worldMap_->showingSearchResults());
    const auto centre = worldMap_->mapView()->visibleArea()->visibleCenter();
    EXPECT_NEAR(centre.latitude, kMalbun.latitude, 0.02);
    EXPECT_NEAR(centre.longitude, kMalbun.longitude, 0.02);
    // Not in search mode: the pins of the new area load.
    ASSERT_TRUE(
        runUntil([&] { return worldMap_->annotationForMap("liechtenstein") != nullptr; }, 5));
    EXPECT_TRUE(looksLike("worldmap-search-malbun"));

    play(R"(
tap "Cancel"
wait 1
idle
expect "My maps"
)");
    EXPECT_EQ(worldMap_->searchBar()->text(), "Malbun") << "the text stays in the bar";
}

// Typing searches nothing: the catalogue is searched on Return, and the
// field has no placeholder.
TEST_F(StoreWorldMapScenarioTest, TheSearchRunsOnReturn) {
    openWorldMap();
    EXPECT_EQ(worldMap_->searchBar()->placeholder(), "");
    const CGRect bar = worldMap_->searchBar()->convertRectToView(worldMap_->searchBar()->bounds(),
                                                                 fixture_.window);
    play(tapAt(CGPointMake(CGRectGetMidX(bar), CGRectGetMidY(bar))) + "type \"Vaduz\"\n");
    EXPECT_FALSE(worldMap_->searchRunning());
    EXPECT_FALSE(worldMap_->showingSearchResults());
    play("key Return\n");
    ASSERT_TRUE(runUntil([&] { return worldMap_->showingSearchResults(); }, 5));
    ASSERT_TRUE(
        runUntil([&] { return worldMap_->annotationForMap("liechtenstein") != nullptr; }, 5));
    EXPECT_FALSE(worldMap_->annotationForMap("neubrandenburg"));
}

TEST_F(StoreWorldMapScenarioTest, CatalogueSearchesFreezeThePinsShortTextsDoNothing) {
    openWorldMap();
    // One or two characters start no search at all.
    worldMap_->performSearchWithTextAndCheckOnline("Va", true);
    EXPECT_FALSE(worldMap_->searchRunning());
    EXPECT_FALSE(worldMap_->showingSearchResults());

    // A place of a map finds the map: its pin alone, selected, the box frozen.
    worldMap_->performSearchWithTextAndCheckOnline("Vaduz", true);
    EXPECT_TRUE(worldMap_->searchRunning());
    ASSERT_TRUE(runUntil([&] { return !worldMap_->searchRunning(); }, 5));
    EXPECT_TRUE(worldMap_->showingSearchResults());
    ASSERT_TRUE(
        runUntil([&] { return worldMap_->annotationForMap("liechtenstein") != nullptr; }, 5));
    EXPECT_FALSE(worldMap_->annotationForMap("neubrandenburg"));
    worldMap_->cancelSearch();
    EXPECT_FALSE(worldMap_->showingSearchResults());
}

TEST_F(StoreWorldMapScenarioTest, ABoxOfExactlyFiveDegreesInvitesATap) {
    openWorldMap();
    worldMap_->showMapsInBBox(
        CBBoundingBox::boundingBoxWithCenterLatitudeSpanLongitudeSpan({50, 10}, 5.0, 5.0));
    EXPECT_EQ(worldMap_->infoLabel()->text(), "Tap a place to find its map");
    worldMap_->showMapsInBBox(
        CBBoundingBox::boundingBoxWithCenterLatitudeSpanLongitudeSpan({50, 10}, 5.01, 5.0));
    EXPECT_EQ(worldMap_->infoLabel()->text(), "Zoom in to see the maps of an area");
}

// The credit line was cut after three lines ("drawn by Kel…"): it takes the
// lines its text needs and lies wholly above the tab bar.
TEST_F(StoreWorldMapScenarioTest, TheCreditLineIsWholeAboveTheTabBar) {
    openWorldMap();
    auto credit = worldMap_->attributionLabel();
    ASSERT_TRUE(credit);
    const CGRect frame = credit->convertRectToView(credit->bounds(), fixture_.window);
    EXPECT_GE(frame.size.height,
              credit->sizeThatFits(CGSizeMake(frame.size.width, 10000)).height - 0.5);
    EXPECT_NE(credit->text().find("drawn by Kelvara"), std::string::npos);
    const auto& tabBar = store_->tabBar();
    const CGRect bar = tabBar->convertRectToView(tabBar->bounds(), fixture_.window);
    EXPECT_LE(CGRectGetMaxY(frame), CGRectGetMinY(bar));
    EXPECT_GE(frame.origin.y, 0);
}

namespace {

// Without its tile service the world map is drawn as its map view draws a
// map without images, says in one line that the tiles are missing and
// offers to ask again; the store's maps of the shown area still come as pins.
TEST_F(StoreWorldMapScenarioTest, WithoutTilesTheLineSaysSoAndThePinsStillCome) {
    fixture_.tiles.reset();
    openWorldMap();
    play(R"(wait-for "The world map could not be loaded"
wait-for "Try again")");
    EXPECT_TRUE(worldMap_->tilesMissing());
    worldMap_->mapView()->zoomToBoundingBoxAnimated(
        CBBoundingBox::boundingBoxWithCenterLatitudeSpanLongitudeSpan({47.15, 9.55}, 1, 1), false);
    ASSERT_TRUE(
        runUntil([&] { return worldMap_->annotationForMap("liechtenstein") != nullptr; }, 10));
    play("idle\n");
    fixture_.layout();
    auto image = fixture_.window->renderImage(1);
    // The map as its view draws it without images: the style's ground, no
    // sea painted in.
    const uint32_t corner = image->pixelAt(20, 120);
    EXPECT_NEAR((corner >> 16) & 0xFF, 0xF2, 3) << std::hex << corner;
    EXPECT_NEAR(corner & 0xFF, 0xE9, 3) << std::hex << corner;
    play(R"(expect "The world map could not be loaded")");
}

// The tile service that answers only later: "Try again" while it is still
// gone offers itself again; once it is back, its tiles come and the line
// goes.
TEST_F(StoreWorldMapScenarioTest, TryAgainBringsTheTilesOfALateTileService) {
    const int port = fixture_.tiles->port();
    fixture_.tiles.reset();
    openWorldMap();
    play(R"(
wait-for "The world map could not be loaded"
wait-for "Try again"
tap "Try again"
wait-for "Try again"
)");
    EXPECT_TRUE(worldMap_->tilesMissing());
    fixture_.tiles = std::make_unique<TileServerProcess>(
        std::vector<std::string>{"--port", std::to_string(port)});
    ASSERT_TRUE(fixture_.tiles->running());
    play(R"(
tap "Try again"
wait-for-not "The world map could not be loaded"
expect-not "Try again"
)");
    EXPECT_FALSE(worldMap_->tilesMissing());
    EXPECT_GT(fixture_.tiles->tileRequests(), 0);
}

}  // namespace
