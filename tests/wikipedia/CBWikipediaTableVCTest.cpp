#include "CoreLocation/CLLocationManager.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UISearchBar.h"
#include "UIKit/UISearchDisplayController.h"
#include "UIKit/UITableView.h"
#include "ViewerTestSupport.h"
#include "location/CBLocationManager.h"
#include "wikipedia/CBWikipediaArticleAnnotation.h"
#include "wikipedia/CBWikipediaTableVC.h"

namespace {

// The article list of the installed sample package as the first screen of
// the window's navigation controller.
class CBWikipediaTableVCTest : public WikipediaViewerTest {
  protected:
    void TearDown() override {
        list_.reset();
        CBLocationManager::sharedInstance()->setLocation(nullptr);
        CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusNotDetermined);
        WikipediaViewerTest::TearDown();
    }
    void show() {
        list_ = std::make_shared<CBWikipediaTableVC>(services());
        navigation_->setViewControllersAnimated({list_}, false);
        window_->layoutIfNeeded();
    }
    std::vector<std::string> rows(UITableView& table) {
        std::vector<std::string> titles;
        for (long section = 0; section < list_->numberOfSectionsInTableView(table); ++section)
            for (long row = 0; row < list_->tableViewNumberOfRowsInSection(table, section); ++row)
                titles.push_back(list_->tableViewCellForRowAtIndexPath(table, {section, row})
                                     ->textLabel()
                                     ->text());
        return titles;
    }
    std::vector<std::string> searchFor(const std::string& text) {
        list_->searchBar()->becomeFirstResponder();
        list_->searchBar()->setText(text);
        EXPECT_TRUE(list_->searchDisplayController()->isActive());
        return rows(*list_->searchDisplayController()->searchResultsTableView());
    }
    std::string distanceShown(const NSIndexPath& indexPath) {
        return list_->tableViewCellForRowAtIndexPath(*list_->tableView(), indexPath)
            ->detailTextLabel()
            ->text();
    }

    std::shared_ptr<CBWikipediaTableVC> list_;
};

}  // namespace

TEST_F(CBWikipediaTableVCTest, ListsTheArticlesByLetterWithTheIndexAndTheManagersStore) {
    show();
    auto& table = *list_->tableView();
    EXPECT_EQ(list_->title(), "Wikipedia");
    EXPECT_EQ(list_->manager(), manager_);
    EXPECT_EQ(list_->numberOfSectionsInTableView(table), 12);
    const auto titles = rows(table);
    ASSERT_EQ(titles.size(), 19u);
    EXPECT_EQ(titles.front(), "Bargensdorf");
    const auto index = list_->sectionIndexTitlesForTableView(table);
    ASSERT_FALSE(index.empty());
    EXPECT_EQ(index[1], "B");
    EXPECT_EQ(index.back(), "T");
    EXPECT_TRUE(list_->showOnMapButton());
    // Without leave to use the location no row has a distance.
    EXPECT_EQ(distanceShown({0, 0}), "");
}

TEST_F(CBWikipediaTableVCTest, SearchNeedsEveryWordAndEndingItListsAllAgain) {
    show();
    const auto lakes = searchFor("see");
    EXPECT_EQ(lakes.size(), 5u);
    EXPECT_EQ(searchFor("see mall"), std::vector<std::string>{"Malliner See"});
    EXPECT_EQ(searchFor("SEE MÄLL"), std::vector<std::string>{"Malliner See"});
    EXPECT_TRUE(searchFor("see zzz").empty());
    list_->searchDisplayController()->setActive(false);
    EXPECT_EQ(rows(*list_->tableView()).size(), 19u);
}

TEST_F(CBWikipediaTableVCTest, ARowOpensItsArticleWithTheListsButtonAndThePinsGoToTheMainMap) {
    show();
    auto done = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemDone, nullptr);
    list_->navigationItem()->setRightBarButtonItem(done);
    list_->tableViewDidSelectRowAtIndexPath(*list_->tableView(), {0, 0});
    auto viewer = topViewer();
    ASSERT_TRUE(viewer);
    EXPECT_EQ(viewer->article()->title(), "Bargensdorf");
    EXPECT_EQ(viewer->wikipediaManager(), manager_);
    EXPECT_EQ(viewer->basePath(), manager_->currentImgPath());
    EXPECT_EQ(viewer->navigationItem()->rightBarButtonItem(), done);
    EXPECT_TRUE(waitForPage(*viewer, "Bargensdorf"));

    navigation_->popViewControllerAnimated(false);
    list_->showOnMap();
    ASSERT_EQ(host_->presented.size(), 1u);
    EXPECT_EQ(host_->presented[0].size(), 19u);
    for (const auto& pin : host_->presented[0])
        EXPECT_TRUE(std::dynamic_pointer_cast<CBWikipediaArticleAnnotation>(pin));
}

// An article stored without a title or a position is listed, without a
// distance, and goes on no map; the others are ordered by their distance.
TEST_F(CBWikipediaTableVCTest, ArticlesWithoutTitleOrPositionHaveNoDistance) {
    openStore({{"Fangelturm", "https://de.wikipedia.org/wiki/Fangelturm", std::nullopt},
               {"", "https://de.wikipedia.org/wiki/Ohne_Titel", std::nullopt, false, false},
               {"Ohne Ort", "https://de.wikipedia.org/wiki/Ohne_Ort", std::nullopt, true, false}});
    CLLocationManager::setAuthorizationStatus(kCLAuthorizationStatusAuthorizedWhenInUse);
    CBLocationManager::sharedInstance()->setLocation(
        std::make_shared<CLLocation>(53.5569, 13.2610));
    show();
    ASSERT_EQ(rows(*list_->tableView()).size(), 3u);
    list_->sortTableByDistance();
    const auto ordered = rows(*list_->tableView());
    ASSERT_EQ(ordered.size(), 3u);
    EXPECT_EQ(ordered[0], "Fangelturm");
    EXPECT_NE(distanceShown({0, 0}), "");
    EXPECT_EQ(distanceShown({0, 1}), "");
    EXPECT_EQ(distanceShown({0, 2}), "");
    list_->showOnMap();
    ASSERT_EQ(host_->presented.size(), 1u);
    EXPECT_EQ(host_->presented[0].size(), 1u);
}
