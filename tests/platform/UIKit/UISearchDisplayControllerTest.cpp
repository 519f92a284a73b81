#include <gtest/gtest.h>

#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIKeyboard.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UISearchDisplayController.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITableViewController.h"
#include "UIKit/UIViewController.h"
#include "UIKitTestSupport.h"

namespace {

class Results : public UITableViewDataSource, public UISearchDisplayDelegate {
  public:
    long rows = 3;
    bool reload = true;
    int reloads = 0;
    long tableViewNumberOfRowsInSection(UITableView&, long) override {
        ++reloads;
        return rows;
    }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&,
                                                                    const NSIndexPath&) override {
        return std::make_shared<UITableViewCell>();
    }
    bool searchDisplayControllerShouldReloadTableForSearchString(UISearchDisplayController&,
                                                                 const std::string&) override {
        return reload;
    }
    // Whether the table was still on screen when each message came.
    std::vector<std::pair<std::string, bool>> hides;
    void searchDisplayControllerWillHideSearchResultsTableView(UISearchDisplayController&,
                                                               UITableView& table) override {
        hides.emplace_back("will", table.superview() != nullptr);
    }
    void searchDisplayControllerDidHideSearchResultsTableView(UISearchDisplayController&,
                                                              UITableView& table) override {
        hides.emplace_back("did", table.superview() != nullptr);
    }
};

class UISearchDisplayControllerTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        window = makeWindow({320, 568});
        controller = std::make_shared<UIViewController>();
        controller->setView(std::make_shared<UIView>(window->bounds()));
        bar = std::make_shared<UISearchBar>(CGRectMake(0, 0, 320, 44));
        controller->view()->addSubview(bar);
        window->setRootViewController(controller);
        display = UISearchDisplayController::create(bar, controller);
        display->setDelegate(results);
        display->setSearchResultsDataSource(results);
        window->layoutIfNeeded();
    }
    void TearDown() override {
        display->setActive(false);
        UIKeyboardSetVirtualHeight(0);
        UIKitTest::TearDown();
    }
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIViewController> controller;
    std::shared_ptr<UISearchBar> bar;
    std::shared_ptr<Results> results = std::make_shared<Results>();
    std::shared_ptr<UISearchDisplayController> display;
};

TEST_F(UISearchDisplayControllerTest, ResultsStayClearOfTheKeyboardAndReloadWhenAllowed) {
    UIKeyboardSetVirtualHeight(216);
    ASSERT_TRUE(bar->becomeFirstResponder());
    EXPECT_TRUE(display->isActive());
    EXPECT_TRUE(bar->showsCancelButton());
    ASSERT_TRUE(display->dimmingView());
    EXPECT_EQ(display->dimmingView()->frame(), CGRectMake(0, 44, 320, 524));
    bar->searchField()->insertText("a");
    auto table = display->searchResultsTableView();
    ASSERT_TRUE(table->superview());
    EXPECT_EQ(table->contentInset().bottom, 216);
    const int reloads = results->reloads;
    results->reload = false;
    bar->searchField()->insertText("b");
    EXPECT_EQ(results->reloads, reloads);
    // Clearing the text shows the dimmed screen again, the table told before
    // and after it goes.
    bar->setText("");
    EXPECT_FALSE(table->superview());
    EXPECT_TRUE(display->isActive());
    using Hide = std::pair<std::string, bool>;
    EXPECT_EQ(results->hides, (std::vector<Hide>{{"will", true}, {"did", false}}));
    // Ending the search hides no table that is not shown.
    display->setActive(false);
    EXPECT_EQ(results->hides.size(), 2u);
}

TEST_F(UISearchDisplayControllerTest, TappingTheDimmedScreenEndsTheSearch) {
    ASSERT_TRUE(bar->becomeFirstResponder());
    ASSERT_TRUE(display->isActive());
    CAFrameClock::shared().advance(1);
    TouchDriver(window).tap({160, 300});
    CAFrameClock::shared().advance(1);
    EXPECT_FALSE(display->isActive());
    EXPECT_FALSE(bar->isFirstResponder());
    EXPECT_FALSE(bar->showsCancelButton());
    EXPECT_EQ(controller->view()->subviews().size(), 1u);
}

// Escape ends the search as Cancel does, the text gone with it; without a
// search going on it leaves the bar alone.
TEST_F(UISearchDisplayControllerTest, EscapeCancelsTheSearchAsTheCancelButtonDoes) {
    ASSERT_TRUE(bar->becomeFirstResponder());
    bar->searchField()->insertText("ber");
    ASSERT_TRUE(display->searchResultsTableView()->superview());
    EXPECT_TRUE(bar->searchField()->keyPressed(UIKeyboardKeyEscape, 0));
    CAFrameClock::shared().advance(1);
    EXPECT_FALSE(display->isActive());
    EXPECT_FALSE(bar->isFirstResponder());
    EXPECT_FALSE(bar->showsCancelButton());
    EXPECT_EQ(bar->text(), "");
    EXPECT_FALSE(display->searchResultsTableView()->superview());
    EXPECT_FALSE(bar->keyPressed(UIKeyboardKeyEscape, 0));
}

TEST_F(UISearchDisplayControllerTest, ASearchThatFindsNothingSaysSoHoweverItsRowsCame) {
    ASSERT_TRUE(bar->becomeFirstResponder());
    results->rows = 0;
    bar->searchField()->insertText("zzqx");
    auto table = display->searchResultsTableView();
    table->layoutIfNeeded();
    auto label = display->noResultsLabel();
    ASSERT_TRUE(label);
    EXPECT_FALSE(label->isHidden());
    EXPECT_EQ(label->text(), "No Results");
    EXPECT_EQ(label->frame().size.width, table->bounds().size.width);
    // Rows that come with a reload of the data source's own hide it.
    results->rows = 2;
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_TRUE(label->isHidden());
    results->rows = 0;
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_FALSE(label->isHidden());
}

// The results belong to the searching screen, here a table whose header is
// the bar: a screen pushed over it covers them and they leave with it; after
// the pop they are back just above it as they were, laid out at the size the
// window took meanwhile.
TEST_F(UISearchDisplayControllerTest, AScreenPushedOverTheSearchCoversItsResults) {
    auto list = std::make_shared<UITableViewController>();
    auto listBar = std::make_shared<UISearchBar>(CGRectMake(0, 0, 320, 44));
    list->tableView()->setTableHeaderView(listBar);
    auto search = UISearchDisplayController::create(listBar, list);
    search->setSearchResultsDataSource(results);
    auto navigation = std::make_shared<UINavigationController>(list);
    window->setRootViewController(navigation);
    window->layoutIfNeeded();
    ASSERT_TRUE(listBar->becomeFirstResponder());
    listBar->searchField()->insertText("b");
    auto table = search->searchResultsTableView();
    const auto container = navigation->view();
    ASSERT_EQ(table->superview(), container);
    EXPECT_EQ(table->UIView::frame(), CGRectMake(0, 88, 320, 480));

    auto page = std::make_shared<UIViewController>();
    page->setView(std::make_shared<UIView>(CGRectZero));
    navigation->pushViewControllerAnimated(page, true);
    CAFrameClock::shared().advance(0.15);
    const CGFloat sliding = list->view()->layer()->presentationLayer()->position().x;
    EXPECT_LT(sliding, 160);
    EXPECT_NEAR(table->layer()->presentationLayer()->position().x, sliding, 0.01);
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(window->hitTest({160, 300}, nullptr), page->view());
    EXPECT_FALSE(table->superview());
    EXPECT_FALSE(search->dimmingView()->superview());

    window->setFrame(CGRectMake(0, 0, 568, 320));
    window->layoutIfNeeded();
    navigation->popViewControllerAnimated(true);
    CAFrameClock::shared().advance(1);
    window->layoutIfNeeded();
    const auto& views = container->subviews();
    const auto at = std::find(views.begin(), views.end(), list->view());
    ASSERT_GE(views.end() - at, 3);
    EXPECT_EQ(std::vector(at, at + 3),
              (std::vector<std::shared_ptr<UIView>>{list->view(), search->dimmingView(), table}));
    EXPECT_TRUE(search->isActive());
    EXPECT_EQ(listBar->text(), "b");
    EXPECT_EQ(table->UIView::frame(), CGRectMake(0, 88, 568, 232));
    EXPECT_EQ(table->visibleCells().size(), 3u);
    list->view()->setHidden(true);
    EXPECT_TRUE(table->isHidden());
    list->view()->setHidden(false);
    const size_t shown = views.size();
    search->setActive(false);
    EXPECT_EQ(views.size(), shown - 2);
}

}  // namespace
