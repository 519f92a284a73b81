// The article viewer in the running application: the delegate as the
// Wikipedia screens' host, the article's pin on the main map and its
// callout button, on a home with the sample city and its Wikipedia package.
#include <gtest/gtest.h>

#include <filesystem>

#include "MapScreenFixture.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "app/CBKelvaraSharedAppDelegate.h"
#include "foundation/NSUserDefaults+CrashInformation.h"
#include "mapkit/CBMapAnnotationsHost.h"
#include "mapkit/CBMapScrollView.h"
#include "mapkit/CBMapVisibleArea.h"
#include "model/CBWikipediaManager.h"
#include "wikiguide/CBWikipediaArticle.h"
#include "wikipedia/CBWikipediaArticleAnnotation.h"
#include "wikipedia/CBWikipediaViewer.h"

namespace {

constexpr const char* kFangelturm = "https://de.wikipedia.org/wiki/Fangelturm_(Neubrandenburg)";

std::string tapAt(CGPoint point) {
    return "tap " + std::to_string(int(point.x)) + " " + std::to_string(int(point.y)) + "\n";
}

class WikipediaOnTheMapTest : public MapScreenTest {
  protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        MapScreenTest::SetUp();
        registry_->setCurrentMap(installNeubrandenburg());
        registry_->storeState();
        registry_.reset();
        const std::string wikipedia = CBWikipediaManager::basePathForWikipedia();
        fs::create_directories(wikipedia);
        fs::copy(std::string(KELVARA_WIKIPEDIA_DIR) + "/neubrandenburg_wiki-de", wikipedia,
                 fs::copy_options::recursive);
        CBLaunchOptions options;
        options.sampleStorePath = samplePackageStore();
        delegate_ = std::make_shared<CBKelvaraSharedAppDelegate>(options);
        UIApplication::sharedApplication()->setDelegate(delegate_);
        ASSERT_TRUE(delegate_->applicationDidFinishLaunchingWithOptions(
            *UIApplication::sharedApplication(), Value()));
        window_ = delegate_->window;
        window_->layoutIfNeeded();
    }
    void TearDown() override {
        if (delegate_)
            delegate_->applicationWillTerminate(*UIApplication::sharedApplication());
        UIApplication::sharedApplication()->setDelegate(nullptr);
        delegate_.reset();
        MapScreenTest::TearDown();
    }

    std::shared_ptr<UINavigationController> navigation() {
        return delegate_->mapViewController()->navigationController();
    }
    std::shared_ptr<CBWikipediaViewer> topViewer() {
        return std::dynamic_pointer_cast<CBWikipediaViewer>(navigation()->topViewController());
    }
    // Where a finger taps the head of the pin at the coordinate.
    CGPoint pinHead(CLLocationCoordinate2D coordinate) {
        auto map = delegate_->mapViewController()->mapView();
        const CGPoint tip = map->convertPointToView(map->pointForCoordinate(coordinate), nullptr);
        return {tip.x, tip.y - 20};
    }

    std::shared_ptr<CBKelvaraSharedAppDelegate> delegate_;
};

TEST_F(WikipediaOnTheMapTest, TheMapButtonPinsTheArticleWhoseCalloutOpensItAgain) {
    auto manager = delegate_->wikipediaManager();
    ASSERT_TRUE(manager && manager->wikipediaAvailable());
    auto article = manager->articleForUrl(kFangelturm);
    ASSERT_TRUE(article);

    // A viewer pushed over the map, as the article list opens it.
    auto viewer = std::make_shared<CBWikipediaViewer>(delegate_->wikipediaServices());
    viewer->setArticle(article);
    viewer->setBasePath(manager->currentImgPath());
    navigation()->pushViewControllerAnimated(viewer, false);
    play("wait-for \"Hinweis: Dies ist ein automatisch erzeugter\"\nidle");
    EXPECT_EQ(viewer->wikipediaManager(), manager);
    auto crumbs =
        NSUserDefaults::standardUserDefaults()->dictionaryForKey(CrashInformation::kDictionaryKey);
    ASSERT_TRUE(crumbs);
    EXPECT_EQ(crumbs->at("vc"), Value(std::string("CBWikipediaViewer")));
    std::shared_ptr<UIBarButtonItem> mapButton;
    for (const auto& item : viewer->toolbarItems())
        if (item->image())
            mapButton = item;
    ASSERT_TRUE(mapButton && mapButton->view());
    const CGRect button =
        mapButton->view()->convertRectToView(mapButton->view()->bounds(), nullptr);
    play(tapAt({CGRectGetMidX(button), CGRectGetMidY(button)}) + "idle");

    // Back on the map with the article's pin in sight.
    EXPECT_EQ(navigation()->viewControllers().size(), 1u);
    auto map = delegate_->mapViewController()->mapView();
    ASSERT_EQ(map->annotationsHost()->annotations().size(), 1u);
    auto pin = std::dynamic_pointer_cast<CBWikipediaArticleAnnotation>(
        map->annotationsHost()->annotations().front());
    ASSERT_TRUE(pin);
    EXPECT_EQ(pin->uniqueIdentifier(), article->objectID().URIRepresentation());
    map->visibleArea()->calculateVisibleBBox();
    EXPECT_TRUE(map->visibleArea()->visibleBBox()->includesCoordinate(article->coordinate()));

    play(tapAt(pinHead(pin->coordinate())) + "idle\nexpect \"Fangelturm (Neubrandenburg)\"");
    EXPECT_TRUE(matchesReference(window_->renderImage(1), "../wikipedia/app-article-pin", 40));
    play(
        "tap \"Read the article\"\nwait-for \"Hinweis: Dies ist ein automatisch erzeugter\"\nidle");
    auto again = topViewer();
    ASSERT_TRUE(again);
    EXPECT_NE(again, viewer);
    EXPECT_TRUE(again->isOnMap());
    EXPECT_EQ(again->article()->title(), "Fangelturm (Neubrandenburg)");
    EXPECT_EQ(again->basePath(), manager->currentImgPath());
    // No map button: only the share item has a picture, the system's icon.
    for (const auto& item : again->toolbarItems())
        EXPECT_FALSE(item->image() && !item->systemItem());
    EXPECT_TRUE(matchesReference(window_->renderImage(2), "../wikipedia/app-article-from-pin"));

    // A store closed since (another map shown) leaves the pin without its page.
    navigation()->popViewControllerAnimated(false);
    manager->resetWikipediaForMapIdentifier("liechtenstein");
    LogCapture log;
    // The callout stays open over the map.
    play("tap \"Read the article\"\nidle");
    EXPECT_FALSE(topViewer());
    EXPECT_TRUE(log.contains("not in the open store"));
}

}  // namespace
