// The list of the bookmarks of a map: which of them go onto the map, the
// search among them, deletion and the list of a map without bookmarks.
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "CBGeoData/CBGeoObject.h"
#include "CoreData/NSFetchedResultsController.h"
#include "Dispatch/NSRunLoop.h"
#include "Foundation/NSBundle.h"
#include "GuideFixture.h"
#include "Host/HostScenario.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UISearchBar.h"
#include "UIKit/UITableView.h"
#include "places/CBBookmarksTableVC.h"

namespace {

class CBBookmarksTableVCTest : public GuideTest {
  protected:
    std::shared_ptr<CBGeoObject> bookmark(const std::string& name) {
        return bookmarks_->addBookmarkForObject(objectNamed(name));
    }
    std::shared_ptr<CBBookmarksTableVC> open() {
        list_ = std::make_shared<CBBookmarksTableVC>(currentMap_, host_, presenter_);
        list_->setMapDataManager(map_);
        showInWindow(list_);
        return list_;
    }
    static std::string uri(const std::shared_ptr<CBGeoObject>& object) {
        return object->objectID().URIRepresentation();
    }
    // The right button: "Show", or the system Done item and what it does.
    std::string rightButton() {
        auto item = list_->navigationItem()->rightBarButtonItem();
        if (!item)
            return "(none)";
        return item->systemItem() ? std::string("(done)") : item->title().value_or("");
    }
    // A press on the row's show control, as the recognisers report it.
    std::shared_ptr<CBCellAccessoryView> control(const NSIndexPath& path) {
        // Under a search its results cover the list.
        auto display = list_->searchDisplayController();
        auto table = display->isActive() && display->searchResultsTableView()->window()
                         ? display->searchResultsTableView()
                         : list_->tableView();
        table->layoutIfNeeded();
        auto cell = table->cellForRowAtIndexPath(path);
        return cell ? std::dynamic_pointer_cast<CBCellAccessoryView>(cell->accessoryView())
                    : nullptr;
    }
    // A finger on the row's show control: a tap, or a long press.
    void press(const char* gesture, const NSIndexPath& path) {
        auto accessory = control(path);
        ASSERT_TRUE(accessory);
        const CGPoint centre = accessory->convertPointToView(
            {accessory->bounds().size.width / 2, accessory->bounds().size.height / 2}, nullptr);
        auto result =
            HostRunScenario(window_, std::string(gesture) + " " + std::to_string(int(centre.x)) +
                                         " " + std::to_string(int(centre.y)));
        EXPECT_TRUE(result.passed) << result.message;
    }
    void tapControl(const NSIndexPath& path) { press("tap", path); }
    void longPress(const NSIndexPath& path = {0, 0}) { press("long-press", path); }

    std::shared_ptr<CBBookmarksTableVC> list_;
};

TEST_F(CBBookmarksTableVCTest, ThePinnedBookmarksStartChosenAndTheButtonFollowsTheChoice) {
    auto berlin = bookmark("Berlin");
    auto tower = bookmark("Turmcafe");
    presenter_->pinned = {uri(berlin), uri(tower), "x-coredata://elsewhere/object/p1"};
    open();
    EXPECT_EQ(list_->mapViewController(), presenter_);
    EXPECT_EQ(list_->selectedBookmarks(), (std::set<std::string>{uri(berlin), uri(tower)}));
    EXPECT_EQ(rightButton(), "Show");
    EXPECT_EQ(control({0, 0})->accessibilityLabel(), "Berlin on the map");
    tapControl({0, 0});
    EXPECT_EQ(control({0, 0})->accessibilityLabel(), "Berlin not on the map");
    EXPECT_EQ(rightButton(), "Show");
    tapControl({1, 0});
    EXPECT_TRUE(list_->selectedBookmarks().empty());
    // An empty choice clears the map's places.
    EXPECT_EQ(rightButton(), "(done)");
    list_->navigationItem()->rightBarButtonItem()->performAction();
    ASSERT_EQ(presenter_->shown.size(), 1u);
    EXPECT_TRUE(presenter_->shown.back().empty());
}

TEST_F(CBBookmarksTableVCTest, ShowPinsTheChosenBookmarksAndNothingPinnedOnlyCloses) {
    auto berlin = bookmark("Berlin");
    bookmark("Turmcafe");
    open();
    EXPECT_EQ(rightButton(), "(done)");
    EXPECT_FALSE(list_->selectionOccured());
    tapControl({0, 0});
    EXPECT_EQ(rightButton(), "Show");
    list_->showSelectedOnMap();
    ASSERT_EQ(presenter_->shown.size(), 1u);
    ASSERT_EQ(presenter_->shown.back().size(), 1u);
    EXPECT_EQ(presenter_->shown.back().front()->uniqueIdentifier(), uri(berlin));
}

// Under a search the long press chooses the matches, even while as many
// bookmarks outside them are chosen; a second one lets the matches go.
TEST_F(CBBookmarksTableVCTest, ALongPressUnderASearchChoosesTheMatches) {
    auto berlin = bookmark("Berlin");
    auto tower = bookmark("Turmcafe");
    bookmark("Hai Asia");
    presenter_->pinned = {uri(berlin)};
    open();
    list_->searchBar()->becomeFirstResponder();
    list_->searchBar()->setText("turm");
    ASSERT_TRUE(list_->searchDisplayController()->isActive());
    ASSERT_EQ(list_->fetchedResultsController()->fetchedObjects().size(), 1u);
    longPress();
    EXPECT_EQ(list_->selectedBookmarks(), (std::set<std::string>{uri(berlin), uri(tower)}));
    longPress();
    EXPECT_EQ(list_->selectedBookmarks(), (std::set<std::string>{uri(berlin)}));
    // Without a search: all, then none.
    list_->searchDisplayController()->setActive(false);
    EXPECT_EQ(list_->fetchedResultsController()->fetchedObjects().size(), 3u);
    longPress();
    EXPECT_EQ(list_->selectedBookmarks().size(), 3u);
    longPress();
    EXPECT_TRUE(list_->selectedBookmarks().empty());
}

TEST_F(CBBookmarksTableVCTest, SearchTextIsMatchedLiterally) {
    bookmark("Berlin");
    bookmark("Turmcafe");
    open();
    list_->searchBar()->becomeFirstResponder();
    for (const char* text : {"%", "*", "?", "'", "\"", "\\"}) {
        list_->searchBar()->setText(text);
        EXPECT_TRUE(list_->fetchedResultsController()->fetchedObjects().empty()) << text;
    }
    list_->searchBar()->setText("BÉR");
    EXPECT_EQ(list_->fetchedResultsController()->fetchedObjects().size(), 1u);
}

TEST_F(CBBookmarksTableVCTest, DeletingAChosenBookmarkTakesItOutOfTheChoice) {
    auto berlin = bookmark("Berlin");
    bookmark("Turmcafe");
    presenter_->pinned = {uri(berlin)};
    open();
    ASSERT_EQ(rightButton(), "Show");
    list_->tableViewCommitEditingStyleForRowAtIndexPath(*list_->tableView(),
                                                        UITableViewCellEditingStyleDelete, {0, 0});
    NSRunLoop::mainRunLoop()->runUntil(
        [&] { return list_->fetchedResultsController()->fetchedObjects().size() == 1; }, 5);
    EXPECT_TRUE(list_->selectedBookmarks().empty());
    EXPECT_EQ(rightButton(), "(done)");
    EXPECT_EQ(list_->tableView()->numberOfSections(), 1);
    // The last one gone, the instructions cover the list and nothing can be edited.
    list_->tableViewCommitEditingStyleForRowAtIndexPath(*list_->tableView(),
                                                        UITableViewCellEditingStyleDelete, {0, 0});
    NSRunLoop::mainRunLoop()->runUntil([&] { return list_->showsInstructions(); }, 5);
    EXPECT_TRUE(list_->showsInstructions());
    EXPECT_EQ(list_->navigationItem()->leftBarButtonItem(), nullptr);
}

TEST_F(CBBookmarksTableVCTest, WithoutAStoreTheListShowsItsInstructionsAndNoEditing) {
    bookmarks_->setupForMapWithIdentifier(std::nullopt);
    open();
    EXPECT_EQ(list_->fetchedResultsController(), nullptr);
    EXPECT_TRUE(list_->showsInstructions());
    EXPECT_EQ(list_->noBookmarkInstructionsLabelTop()->text(),
              NSLocalizedString("NoBookmarksTextTop"));
    EXPECT_EQ(list_->noBookmarkInstructionsLabelBottom()->text(),
              NSLocalizedString("NoBookmarksTextBottom"));
    EXPECT_EQ(list_->navigationItem()->leftBarButtonItem(), nullptr);
    EXPECT_EQ(list_->navigationItem()->titleView(), nullptr);
    EXPECT_EQ(list_->tableView()->numberOfSections(), 0);
}

// An unnamed place whose kind has no translation is filed under its
// lower-case letter beside the capital: each section keeps its own header
// and each index entry its own letter.
TEST_F(CBBookmarksTableVCTest, LowerAndUpperCaseSectionsKeepTheirHeadersAndIndex) {
    bookmark("Berlin");
    bookmark("Cayenne");
    bookmark("Turmcafe");
    auto lower = bookmark("Hai Asia");
    lower->setValueForKey("firstLetterOfName", Value("b"));
    bookmarks_->saveChanges();
    open();
    auto& table = *list_->tableView();
    ASSERT_EQ(table.numberOfSections(), 4);
    std::vector<std::string> headers;
    for (long section = 0; section < 4; ++section)
        headers.push_back(list_->tableViewTitleForHeaderInSection(table, section).value_or("?"));
    EXPECT_EQ(headers, (std::vector<std::string>{"B", "b", "C", "T"}));
    EXPECT_EQ(list_->sectionIndexTitlesForTableView(table),
              (std::vector<std::string>{"B", "C", "T"}));
    EXPECT_EQ(list_->tableViewSectionForSectionIndexTitleAtIndex(table, "C", 1), 2);
    EXPECT_EQ(list_->tableViewSectionForSectionIndexTitleAtIndex(table, "T", 2), 3);
}

}  // namespace
