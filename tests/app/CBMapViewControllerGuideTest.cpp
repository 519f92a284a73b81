// The map screen and the city guide it opens over itself.
#include <gtest/gtest.h>

#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject.h"
#include "CoreData/NSPredicate.h"
#include "MapScreenFixture.h"
#include "UIKit/UIImageView.h"
#include "mapkit/CBMapScrollView.h"
#include "model/CBBookmarksManager.h"
#include "model/CBCityGuideState.h"
#include "places/CBBookmarksTableVC.h"
#include "places/CBGuideDialVC.h"
#include "places/CBGuideTabController.h"

namespace {

class CBMapViewControllerGuideTest : public MapScreenWithBookmarksTest {
  protected:
    std::shared_ptr<CBGuideTabController> guide() {
        return std::dynamic_pointer_cast<CBGuideTabController>(screen_->presentedViewController());
    }
};

TEST_F(CBMapViewControllerGuideTest, TheGuideFadesInOverAPictureOfTheMapWithTheMapsData) {
    registry_->setCurrentMap(installNeubrandenburg());
    showWithBookmarks();
    play(R"(
idle
tap "Guide"
idle
expect "Eat & drink"
)");
    auto shown = guide();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->modalTransitionStyle(), UIModalTransitionStyleCrossDissolve);
    EXPECT_EQ(shown->modalPresentationStyle(), UIModalPresentationFormSheet);
    EXPECT_EQ(shown->dataManager(), screen_->mapView()->dataManager());
    auto picture =
        std::dynamic_pointer_cast<UIImageView>(shown->guideDialVC()->baseBackgroundView());
    ASSERT_TRUE(picture && picture->image());
    EXPECT_EQ(picture->image()->size().width, screen_->view()->bounds().size.width);
    EXPECT_EQ(shown->bookmarksTableVC()->manager(), bookmarks_);
    play(R"(
tap "Done"
idle
expect "Search places and addresses"
)");
    EXPECT_EQ(screen_->presentedViewController(), nullptr);
}

// The chosen bookmarks replace the map's places, the guide closing first.
TEST_F(CBMapViewControllerGuideTest, ShownBookmarksArePinnedAndChosenWhenTheGuideReopens) {
    registry_->setCurrentMap(installNeubrandenburg());
    showWithBookmarks();
    NSFetchRequest request("object");
    request.predicate = NSPredicate::predicateWithFormat("name == 'Berlin'");
    auto found =
        screen_->mapView()->dataManager()->managedObjectContext()->executeFetchRequest(request);
    ASSERT_TRUE(found && !found->empty());
    auto berlin =
        bookmarks_->addBookmarkForObject(std::dynamic_pointer_cast<CBGeoObject>(found->front()));
    ASSERT_TRUE(berlin);
    screen_->presentGuide();
    play("idle");
    ASSERT_TRUE(guide());
    guide()->bookmarksTableVC()->view();
    guide()->bookmarksTableVC()->toggleSelectionOfBookmark(berlin);
    guide()->bookmarksTableVC()->showSelectedOnMap();
    play("idle");
    EXPECT_EQ(screen_->presentedViewController(), nullptr);
    const auto identifiers = screen_->objectAnnotationIdentifiers();
    ASSERT_EQ(identifiers.size(), 1u);
    EXPECT_EQ(identifiers.front(), berlin->objectID().URIRepresentation());
    screen_->presentGuide();
    ASSERT_TRUE(guide());
    guide()->bookmarksTableVC()->view();
    EXPECT_EQ(guide()->bookmarksTableVC()->selectedBookmarks().count(identifiers.front()), 1u);
}

TEST_F(CBMapViewControllerGuideTest, AnotherCurrentMapForgetsWhereTheGuideWas) {
    registry_->setCurrentMap(installNeubrandenburg());
    auto liechtenstein = installLiechtenstein();
    showWithBookmarks();
    CBCityGuideState::setLastTopIndex(2);
    CBCityGuideState::setLastPlaceList({"Museums", {{"tourism", "museum"}}, false}, true);
    registry_->setCurrentMap(liechtenstein);
    auto defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_FALSE(defaults->objectForKey(CBCityGuideState::kLastTopIndexKey));
    EXPECT_FALSE(defaults->objectForKey(CBCityGuideState::kLastTagFilterKey));
}

}  // namespace
