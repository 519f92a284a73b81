// The city guide's tabs and the place where it reopens, from the state it
// remembers in the user defaults, sound or damaged.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "CoreData/NSFetchedResultsController.h"
#include "Foundation/NSUserDefaults.h"
#include "GuideFixture.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UITabBarItem.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITextView.h"
#include "model/CBCityGuideState.h"
#include "places/CBCityCategoriesVC.h"
#include "places/CBCityCategoryGuide.h"
#include "places/CBDocumentPreviewController.h"
#include "places/CBGuideDialVC.h"
#include "places/CBGuideTabController.h"

namespace {

class CBGuideTabControllerTest : public GuideTest {
  protected:
    std::shared_ptr<CBGuideTabController> open() {
        guide_ = CBGuideTabController::create(host_, currentMap_, presenter_, {});
        guide_->setDataManager(map_);
        window_ = makeWindow({320, 568});
        window_->setRootViewController(guide_);
        window_->layoutIfNeeded();
        CAFrameClock::shared().advance(1);
        window_->layoutIfNeeded();
        return guide_;
    }
    std::vector<std::shared_ptr<UIViewController>> dialStack() {
        return guide_->guideDialVC()->navigationController()->viewControllers();
    }
    // A package folder beside the store whose documents list holds `plist`.
    void packageWithDocuments(const std::string& plist) {
        namespace fs = std::filesystem;
        fs::create_directories(home_.file("pkg/documents"));
        std::ofstream(home_.file("pkg/documents/documents.plist")) << plist;
        fs::copy_file(storePath_, home_.file("pkg/pkg.sqlite"), fs::copy_options::skip_existing);
        showMap(home_.file("pkg/pkg.sqlite"));
    }
    std::shared_ptr<NSUserDefaults> defaults() { return NSUserDefaults::standardUserDefaults(); }

    std::shared_ptr<CBGuideTabController> guide_;
};

constexpr const char* kTwoDocuments = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><array>
<dict><key>title</key><string>Licence</string><key>file</key><string>LICENSE.txt</string></dict>
<dict><key>title</key><string>About</string><key>file</key><string>about.txt</string></dict>
</array></plist>)";

TEST_F(CBGuideTabControllerTest, TheTabsAreTheDialTheBookmarksAndTheDocuments) {
    open();
    ASSERT_EQ(guide_->viewControllers().size(), 3u);
    EXPECT_EQ(guide_->viewControllers()[0]->tabBarItem()->title(), "Guide");
    EXPECT_EQ(guide_->viewControllers()[2]->tabBarItem()->title(), "Licence");
    // Without a remembered tab the dial shows.
    EXPECT_EQ(guide_->selectedIndex(), 0);
    guide_->setSelectedViewController(guide_->viewControllers()[1]);
    EXPECT_EQ(defaults()->integerForKey(CBCityGuideState::kTabKey), 1);
}

// A document tab is titled with the document and shows its text.
TEST_F(CBGuideTabControllerTest, ADocumentTabShowsTheDocumentsText) {
    packageWithDocuments(kTwoDocuments);
    std::ofstream(home_.file("pkg/documents/LICENSE.txt")) << "(c) OpenStreetMap contributors";
    open();
    ASSERT_EQ(guide_->viewControllers().size(), 4u);
    auto tab = std::dynamic_pointer_cast<UINavigationController>(guide_->viewControllers()[2]);
    ASSERT_TRUE(tab);
    auto preview =
        std::dynamic_pointer_cast<CBDocumentPreviewController>(tab->viewControllers().front());
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->title(), "Licence");
    EXPECT_EQ(preview->tabBarItem()->title(), "Licence");
    preview->view();
    EXPECT_NE(preview->textView()->text().find("OpenStreetMap contributors"), std::string::npos);
}

TEST_F(CBGuideTabControllerTest, ATabPastTheEndSelectsTheLastAndBrokenDocumentsGiveNoTabs) {
    packageWithDocuments(kTwoDocuments);
    defaults()->setIntegerForKey(7, CBCityGuideState::kTabKey);
    open();
    ASSERT_EQ(guide_->viewControllers().size(), 4u);
    EXPECT_EQ(guide_->selectedIndex(), 3);

    packageWithDocuments("<plist><dict><key>not</key><string>a list</string></dict></plist>");
    open();
    EXPECT_EQ(guide_->viewControllers().size(), 2u);
    std::filesystem::remove(home_.file("pkg/documents/documents.plist"));
    open();
    EXPECT_EQ(guide_->viewControllers().size(), 2u);
}

TEST_F(CBGuideTabControllerTest, TheGuideReopensOnThePlaceListLeftAndItsPosition) {
    CBCityGuideState::setLastTopIndex(0);
    CBCityGuideState::setLastPlaceList({"Restaurants", {{"amenity", "restaurant"}}, false}, true);
    CBCityGuideState::setLastTableScrollPosition(300);
    open();
    const auto stack = dialStack();
    ASSERT_EQ(stack.size(), 3u);
    auto categories = std::dynamic_pointer_cast<CBCityCategoriesVC>(stack[1]);
    auto list = std::dynamic_pointer_cast<CBCityCategoryGuide>(stack[2]);
    ASSERT_TRUE(categories && list);
    EXPECT_EQ(categories->title(), "Eat & drink");
    EXPECT_EQ(list->title(), "Restaurants");
    EXPECT_EQ(list->fetchedResultsController()->fetchedObjects().size(), 47u);
    EXPECT_EQ(list->tableView()->contentOffset().y, 300);
    // Shown once, the position is forgotten.
    EXPECT_FALSE(defaults()->objectForKey(CBCityGuideState::kLastTableScrollPositionKey));
    // Back on the dial, nothing is remembered any more.
    guide_->guideDialVC()->navigationController()->popToRootViewControllerAnimated(false);
    EXPECT_FALSE(defaults()->objectForKey(CBCityGuideState::kLastTopIndexKey));
    EXPECT_FALSE(defaults()->objectForKey(CBCityGuideState::kLastTagFilterKey));
}

// A stored section past the sections (a changed file, a damaged defaults
// file) or a filter of the wrong shape is dropped: the guide opens as far as
// it can, every time.
TEST_F(CBGuideTabControllerTest, AStoredStateOfTheWrongShapeIsDroppedNotFollowed) {
    defaults()->setIntegerForKey(42, CBCityGuideState::kLastTopIndexKey);
    open();
    EXPECT_EQ(dialStack().size(), 1u);
    EXPECT_FALSE(defaults()->objectForKey(CBCityGuideState::kLastTopIndexKey));

    defaults()->setObjectForKey(Value("three"), CBCityGuideState::kLastTopIndexKey);
    open();
    EXPECT_EQ(dialStack().size(), 1u);

    defaults()->setIntegerForKey(0, CBCityGuideState::kLastTopIndexKey);
    defaults()->setObjectForKey(Value(Value::Array{Value(3), Value("shop")}),
                                CBCityGuideState::kLastTagFilterKey);
    defaults()->setObjectForKey(Value(17), CBCityGuideState::kLastSubTitleKey);
    open();
    ASSERT_EQ(dialStack().size(), 2u);
    EXPECT_NE(std::dynamic_pointer_cast<CBCityCategoriesVC>(dialStack()[1]), nullptr);
    EXPECT_FALSE(defaults()->objectForKey(CBCityGuideState::kLastTagFilterKey));
    EXPECT_FALSE(defaults()->objectForKey(CBCityGuideState::kLastSubTitleKey));
}

TEST_F(CBGuideTabControllerTest, TheLetterIndexReopensWithoutItsPlaceList) {
    CBCityGuideState::setLastTopIndex(9);
    CBCityGuideState::setLastPlaceList({"A-Z: B...", {{"firstLetter", "B"}}, false}, false);
    open();
    ASSERT_EQ(dialStack().size(), 2u);
    EXPECT_EQ(dialStack()[1]->title(), "A-Z");
    EXPECT_FALSE(defaults()->objectForKey(CBCityGuideState::kLastTagFilterKey));
}

}  // namespace
