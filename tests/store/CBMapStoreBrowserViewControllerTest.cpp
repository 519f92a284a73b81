#include <gtest/gtest.h>

#include "Foundation/DesktopLauncher.h"
#include "Foundation/NSUserDefaults.h"
#include "MessageUI/MFMailComposeViewController.h"
#include "PackagesTestSupport.h"
#include "StoreTestSupport.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIButton.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UISearchBar.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITableViewCell.h"
#include "UIKit/UIWindow.h"
#include "foundation/NSUserDefaults+CrashInformation.h"
#include "packages/CBMapStoreCountry.h"
#include "packages/CBMapStoreEngine.h"
#include "packages/CBMapStoreMap.h"
#include "packages/CBUserMapStoreEngine.h"
#include "packages/ZELDownloadManagerEngine.h"
#include "store/CBMapStoreBrowserViewController.h"
#include "store/CBMapStoreDetailVC.h"
#include "widgets/CBClearSearchBar.h"
#include "widgets/ZELToolTip.h"

namespace {

class CBMapStoreBrowserViewControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = std::make_shared<CBMapStoreBrowserViewController>(
            store_.catalogue, store_.downloads, store_.registry);
        store_.show(root_);
    }
    void TearDown() override { DesktopLauncher::setLookup(nullptr); }
    std::shared_ptr<UINavigationController> navigation() { return root_->navigationController(); }
    template <class T>
    std::shared_ptr<T> top() {
        store_.layout();
        return std::dynamic_pointer_cast<T>(navigation()->topViewController());
    }
    // The row of the table showing that text, tapped.
    static bool tap(UITableView& table, const std::string& text) {
        auto source = table.dataSource();
        for (long s = 0; s < table.numberOfSections(); ++s)
            for (long r = 0; r < table.numberOfRowsInSection(s); ++r) {
                auto path = NSIndexPath::indexPathForRowInSection(r, s);
                auto cell = source->tableViewCellForRowAtIndexPath(table, path);
                if (cell->textLabel()->text() == text) {
                    table.delegate()->tableViewDidSelectRowAtIndexPath(table, path);
                    return true;
                }
            }
        return false;
    }
    std::shared_ptr<UITableViewCell> cell(UITableView& table, long row, long section = 0) {
        return table.dataSource()->tableViewCellForRowAtIndexPath(
            table, NSIndexPath::indexPathForRowInSection(row, section));
    }
    std::shared_ptr<CBMapStoreBrowserViewController> browseTo(const std::string& country) {
        EXPECT_TRUE(tap(*root_->tableView(), "Europe"));
        auto group = top<CBMapStoreBrowserViewController>();
        EXPECT_NE(group, root_);
        EXPECT_TRUE(tap(*group->tableView(), country));
        return top<CBMapStoreBrowserViewController>();
    }
    void search(CBMapStoreBrowserViewController& browser, const std::string& text) {
        auto bar = browser.searchController()->searchBar();
        bar->becomeFirstResponder();
        bar->setText(text);
        browser.searchController()->searchBarTextDidChange(*bar, text);
    }

    StoreFixture store_;
    std::shared_ptr<CBMapStoreBrowserViewController> root_;
};

TEST_F(CBMapStoreBrowserViewControllerTest, EuropeGermanyShowsTheSampleMapWithItsStar) {
    auto table = root_->tableView();
    ASSERT_GE(table->numberOfRowsInSection(0), 2);
    EXPECT_EQ(cell(*table, 0)->textLabel()->text(), "USA");
    EXPECT_EQ(cell(*table, 1)->textLabel()->text(), "Europe");
    EXPECT_EQ(cell(*table, 0)->accessoryType(), UITableViewCellAccessoryNone);

    auto germany = browseTo("Germany");
    ASSERT_NE(germany, nullptr);
    EXPECT_EQ(germany->title(), "Germany");
    ASSERT_FALSE(germany->letterIndex().empty());
    EXPECT_EQ(germany->sectionIndexTitlesForTableView(*germany->tableView()).front(),
              UITableViewIndexSearch);
    // The statistics arrive from the server; the sample has its star.
    ASSERT_TRUE(runUntil([&] {
        auto c = cell(*germany->tableView(), 0);
        return c->accessoryView() != nullptr;
    }));
    auto row = cell(*germany->tableView(), 0);
    EXPECT_EQ(row->textLabel()->text(), "Neubrandenburg");
    EXPECT_NE(germany->countryInfo(), nullptr);
    EXPECT_EQ(germany->country()->localName(), "Germany");
    EXPECT_EQ(germany->engine(), root_->engine());
    EXPECT_EQ(root_->countryInfo(), nullptr);
    EXPECT_EQ(germany
                  ->mapInTableViewAtIndexPath(*germany->tableView(),
                                              NSIndexPath::indexPathForRowInSection(0, 0))
                  ->identifier(),
              "neubrandenburg");
    EXPECT_NE(row->accessoryView()->accessibilityLabel().value_or("").find("star"),
              std::string::npos);

    ASSERT_TRUE(tap(*germany->tableView(), "Neubrandenburg"));
    auto detail = top<CBMapStoreDetailVC>();
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(detail->map()->identifier(), "neubrandenburg");
}

TEST_F(CBMapStoreBrowserViewControllerTest, TheSearchSpinsWhileTheCatalogueIsSearched) {
    // Too short for the catalogue: nothing is searched, nothing spins.
    search(*root_, "Li");
    EXPECT_FALSE(root_->searchBar()->isLoading());
    search(*root_, "Liech");
    EXPECT_TRUE(root_->searchBar()->isLoading());
    ASSERT_TRUE(runUntil(
        [&] { return root_->searchResultsMaps() && !root_->searchResultsMaps()->empty(); }));
    EXPECT_FALSE(root_->searchBar()->isLoading());
    EXPECT_EQ(root_->searchResultsMaps()->front()->identifier(), "liechtenstein");
}

// Clearing the text hides the results: the search under way stops with them.
TEST_F(CBMapStoreBrowserViewControllerTest, HidingTheResultsStopsTheSearch) {
    search(*root_, "Liech");
    ASSERT_TRUE(root_->searchBar()->isLoading());
    ASSERT_TRUE(root_->searchController()->searchResultsTableView()->superview());
    search(*root_, "");
    EXPECT_FALSE(root_->searchController()->searchResultsTableView()->superview());
    EXPECT_FALSE(root_->searchBar()->isLoading());
}

TEST_F(CBMapStoreBrowserViewControllerTest, TheStarTipExplainsALevelOfMapsOnceAndGoesWithIt) {
    ZELToolTip::resetShownThisRun();
    auto crumbs = [] {
        auto dictionary = NSUserDefaults::standardUserDefaults()->dictionaryForKey(
            CrashInformation::kDictionaryKey);
        return dictionary ? dictionary->at("vc") : Value();
    };
    EXPECT_EQ(crumbs(), Value(std::string("CBMapStoreBrowserViewController")));
    // The world and a group list no maps: nothing to explain.
    EXPECT_TRUE(tap(*root_->tableView(), "Europe"));
    auto europe = top<CBMapStoreBrowserViewController>();
    EXPECT_EQ(ZELToolTip::currentToolTip(), nullptr);

    EXPECT_TRUE(tap(*europe->tableView(), "Germany"));
    ASSERT_TRUE(runUntil([] { return ZELToolTip::currentToolTip() != nullptr; }));
    auto tip = ZELToolTip::currentToolTip();
    EXPECT_EQ(tip->label()->text(),
              "The stars tell how many places a map knows: the more shops, restaurants and "
              "sights, the more stars.");

    // Back to the group: the tip leaves with Germany's list and does not
    // come again in this run.
    navigation()->popViewControllerAnimated(false);
    EXPECT_EQ(ZELToolTip::currentToolTip(), nullptr);
    ASSERT_TRUE(runUntil([&] { return !tip->superview(); }));
    EXPECT_TRUE(tap(*europe->tableView(), "Liechtenstein"));
    auto liechtenstein = top<CBMapStoreBrowserViewController>();
    ASSERT_TRUE(runUntil([&] { return liechtenstein->view()->window() != nullptr; }));
    runUntil([] { return false; }, 1);
    EXPECT_EQ(ZELToolTip::currentToolTip(), nullptr);
}

TEST_F(CBMapStoreBrowserViewControllerTest, AMapDownloadedFromTheBrowserSaysSo) {
    auto liechtenstein = browseTo("Liechtenstein");
    ASSERT_NE(liechtenstein, nullptr);
    ASSERT_TRUE(tap(*liechtenstein->tableView(), "Liechtenstein"));
    auto detail = top<CBMapStoreDetailVC>();
    ASSERT_NE(detail, nullptr);
    ASSERT_TRUE(runUntil([&] { return detail->mapInfoIsValid(); }));
    detail->downloadMap();
    ASSERT_TRUE(runUntil([&] { return store_.downloads->currentQueueLength() == 0; }, 120));
    ASSERT_TRUE(runUntil([&] {
        return detail->downloadMapButton()->titleForState(UIControlStateNormal) == "Map downloaded";
    }));
}

TEST_F(CBMapStoreBrowserViewControllerTest, AFruitlessSearchOffersTheRequestWithoutMailProgram) {
    DesktopLauncher::setLookup([](const std::string&) { return false; });
    search(*root_, "Atlantis");
    auto results = root_->searchController()->searchResultsTableView();
    ASSERT_TRUE(runUntil(
        [&] { return root_->searchResultsMaps() && root_->searchResultsMaps()->empty(); }));
    ASSERT_EQ(results->numberOfRowsInSection(0), 1);
    auto row = cell(*results, 0);
    EXPECT_EQ(row->textLabel()->text(), "Request this map");
    EXPECT_EQ(row->detailTextLabel()->text(), "Ask us by mail for a map of this place");

    results->delegate()->tableViewDidSelectRowAtIndexPath(
        *results, NSIndexPath::indexPathForRowInSection(0, 0));
    bool alerted = false;
    for (const auto& view : store_.window->subviews())
        if (auto alert = std::dynamic_pointer_cast<UIAlertView>(view))
            alerted |= alert->title() == "No mail program";
    EXPECT_TRUE(alerted);
    EXPECT_EQ(root_->presentedViewController(), nullptr);
}

TEST_F(CBMapStoreBrowserViewControllerTest, TheRequestMailCarriesTheEscapedSearch) {
    DesktopLauncher::setLookup([](const std::string&) { return true; });
    auto germany = browseTo("Germany");
    search(*germany, "<b>Xyzzy");
    ASSERT_TRUE(runUntil(
        [&] { return germany->searchResultsMaps() && germany->searchResultsMaps()->empty(); }));
    germany->startMapMissingRequest();
    auto composer =
        std::dynamic_pointer_cast<MFMailComposeViewController>(germany->presentedViewController());
    ASSERT_NE(composer, nullptr);
    const auto& body = composer->message().body;
    EXPECT_EQ(body.find("<b>Xyzzy"), std::string::npos);
    EXPECT_NE(body.find("'&lt;b&gt;Xyzzy'"), std::string::npos) << body;
    EXPECT_NE(body.find("<strong>Country</strong>: DE, Germany"), std::string::npos);
}

TEST_F(CBMapStoreBrowserViewControllerTest, TheSearchGlyphScrollsToTheTop) {
    auto germany = browseTo("Germany");
    auto table = germany->tableView();
    table->setContentOffset(CGPointMake(0, 40));
    EXPECT_EQ(
        germany->tableViewSectionForSectionIndexTitleAtIndex(*table, UITableViewIndexSearch, 0),
        std::nullopt);
    EXPECT_EQ(table->contentOffset().y, 0);
    EXPECT_EQ(germany->tableViewSectionForSectionIndexTitleAtIndex(*table, "N", 1), 0);
}

}  // namespace
