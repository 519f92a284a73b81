#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UITableView.h"
#include "UIKitTestSupport.h"

// Readable index paths in failure messages.
void PrintTo(const NSIndexPath& path, std::ostream* out) {
    *out << "(" << path.section << ", " << path.row << ")";
}

namespace {

std::string name(const NSIndexPath& path) {
    return std::to_string(path.section) + "-" + std::to_string(path.row);
}

// A data source and delegate over row counts per section, logging what the
// table asks and tells.
class Rows : public UITableViewDataSource, public UITableViewDelegate {
  public:
    std::vector<long> counts{5};
    std::map<long, std::string> headers, footers;
    std::map<NSIndexPath, CGFloat> heights;
    std::map<NSIndexPath, UIColor> colors;
    std::vector<std::string> calls;
    std::vector<UITableViewCell*> made;  // every cell object ever created
    std::optional<NSIndexPath> redirect;
    bool cancelSelection = false;
    bool returnNoCell = false;
    std::vector<std::pair<UITableViewCellEditingStyle, NSIndexPath>> commits;
    std::vector<std::string> indexTitles;
    UITableViewCellAccessoryType accessory = UITableViewCellAccessoryNone;

    long numberOfSectionsInTableView(UITableView&) override { return long(counts.size()); }
    long tableViewNumberOfRowsInSection(UITableView&, long section) override {
        return counts[size_t(section)];
    }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView& table, const NSIndexPath& path) override {
        if (returnNoCell) {
            return nullptr;
        }
        auto cell = table.dequeueReusableCellWithIdentifier("Cell");
        if (!cell) {
            cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "Cell");
            made.push_back(cell.get());
        }
        cell->textLabel()->setText("Row " + name(path));
        cell->setAccessoryType(accessory);
        auto color = colors.find(path);
        cell->textLabel()->setTextColor(color == colors.end() ? UIColor::blackColor()
                                                              : color->second);
        return cell;
    }
    std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&,
                                                                long section) override {
        auto it = headers.find(section);
        return it == headers.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<std::string> tableViewTitleForFooterInSection(UITableView&,
                                                                long section) override {
        auto it = footers.find(section);
        return it == footers.end() ? std::nullopt : std::optional(it->second);
    }
    std::vector<std::string> sectionIndexTitlesForTableView(UITableView&) override {
        return indexTitles;
    }
    // The magnifier leads nowhere; letter n to section n - 1.
    std::optional<long> tableViewSectionForSectionIndexTitleAtIndex(UITableView&,
                                                                    const std::string& title,
                                                                    long index) override {
        calls.push_back("index " + title);
        return index == 0 ? std::nullopt : std::optional<long>(index - 1);
    }
    void tableViewCommitEditingStyleForRowAtIndexPath(UITableView&,
                                                      UITableViewCellEditingStyle style,
                                                      const NSIndexPath& path) override {
        commits.push_back({style, path});
    }

    std::optional<CGFloat> tableViewHeightForRowAtIndexPath(UITableView&,
                                                            const NSIndexPath& path) override {
        auto it = heights.find(path);
        return it == heights.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<NSIndexPath> tableViewWillSelectRowAtIndexPath(UITableView&,
                                                                 const NSIndexPath& path) override {
        calls.push_back("willSelect " + name(path));
        if (cancelSelection) {
            return std::nullopt;
        }
        return redirect.value_or(path);
    }
    void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath& path) override {
        calls.push_back("didSelect " + name(path));
    }
    std::optional<NSIndexPath> tableViewWillDeselectRowAtIndexPath(
        UITableView&, const NSIndexPath& path) override {
        calls.push_back("willDeselect " + name(path));
        return path;
    }
    void tableViewDidDeselectRowAtIndexPath(UITableView&, const NSIndexPath& path) override {
        calls.push_back("didDeselect " + name(path));
    }
    void tableViewAccessoryButtonTappedForRowWithIndexPath(UITableView&,
                                                           const NSIndexPath& path) override {
        calls.push_back("accessory " + name(path));
    }
};

class UITableViewTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        window = makeWindow({320, 480});
        rows = std::make_shared<Rows>();
        touches = std::make_unique<TouchDriver>(window);
    }
    std::shared_ptr<UITableView> makeTable(UITableViewStyle style = UITableViewStylePlain) {
        auto table = std::make_shared<UITableView>(CGRectMake(0, 0, 320, 480), style);
        table->setDataSource(rows);
        table->setDelegate(rows);
        window->addSubview(table);
        table->layoutIfNeeded();
        return table;
    }
    std::vector<std::string> visibleTexts(UITableView& table) {
        std::vector<std::string> texts;
        for (const auto& cell : table.visibleCells()) {
            texts.push_back(cell->textLabel()->text());
        }
        return texts;
    }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<Rows> rows;
    std::unique_ptr<TouchDriver> touches;
};

TEST_F(UITableViewTest, ScrollingALongTableReusesABoundedNumberOfCells) {
    rows->counts = {10000};
    auto table = makeTable();
    EXPECT_EQ(table->contentSize(), CGSizeMake(320, 440000));
    EXPECT_EQ(table->visibleCells().size(), 11u);  // 480 / 44, rounded up
    for (CGFloat y = 0; y <= 440000 - 480; y += 137) {
        table->setContentOffset({0, y});
        table->layoutIfNeeded();
        // Each visible cell shows its own row and sits at its row's place.
        for (const NSIndexPath& path : table->indexPathsForVisibleRows()) {
            auto cell = table->cellForRowAtIndexPath(path);
            ASSERT_TRUE(cell);
            ASSERT_EQ(cell->textLabel()->text(), "Row " + name(path));
            ASSERT_EQ(cell->frame().origin.y, path.row * 44);
            ASSERT_EQ(cell->superview(), table);
        }
    }
    EXPECT_LE(rows->made.size(), 13u);
    const auto last = table->indexPathsForVisibleRows().back();
    EXPECT_EQ(last.row, 9999);
    // Cells out of sight are no longer subviews.
    size_t cellViews = 0;
    for (const auto& view : table->subviews()) {
        cellViews += dynamic_cast<UITableViewCell*>(view.get()) != nullptr;
    }
    EXPECT_EQ(cellViews, table->visibleCells().size());
}

TEST_F(UITableViewTest, GeometryFollowsHeadersFootersAndRowHeights) {
    rows->counts = {2, 0, 3};
    rows->headers = {{0, "First"}, {2, "Third"}};
    rows->footers = {{2, "End"}};
    rows->heights = {{{0, 1}, 100}, {{2, 0}, 10}};
    auto header = std::make_shared<UIView>(CGRectMake(0, 0, 50, 60));
    auto table = makeTable();
    table->setTableHeaderView(header);
    table->layoutIfNeeded();
    EXPECT_EQ(header->frame(), CGRectMake(0, 0, 320, 60));
    // Header 60, section 0: header 22, rows 44 + 100; empty section 1 takes no room;
    // section 2: header 22, rows 10 + 44 + 44, footer 22.
    EXPECT_EQ(table->rectForHeaderInSection(0), CGRectMake(0, 60, 320, 22));
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 1}), CGRectMake(0, 126, 320, 100));
    EXPECT_EQ(table->rectForSection(1), CGRectMake(0, 226, 320, 0));
    EXPECT_EQ(table->rectForRowAtIndexPath({2, 0}), CGRectMake(0, 248, 320, 10));
    EXPECT_EQ(table->rectForFooterInSection(2), CGRectMake(0, 346, 320, 22));
    EXPECT_EQ(table->sizeThatFits({320, 0}), CGSizeMake(320, 368));
    EXPECT_EQ(table->rectForRowAtIndexPath({2, 3}), CGRectZero);
    EXPECT_EQ(table->rectForRowAtIndexPath({-1, 0}), CGRectZero);

    EXPECT_EQ(table->indexPathForRowAtPoint({10, 126}), (NSIndexPath{0, 1}));
    EXPECT_EQ(table->indexPathForRowAtPoint({10, 225.5}), (NSIndexPath{0, 1}));
    EXPECT_EQ(table->indexPathForRowAtPoint({10, 240}), std::nullopt);  // section header
    EXPECT_EQ(table->indexPathForRowAtPoint({10, 30}), std::nullopt);   // table header
    EXPECT_EQ(table->indexPathForRowAtPoint({10, 350}), std::nullopt);  // footer
    EXPECT_EQ(table->indexPathForRowAtPoint({-1, 130}), std::nullopt);
    EXPECT_EQ(table->indexPathsForRowsInRect(CGRectMake(0, 225, 320, 35)),
              (std::vector<NSIndexPath>{{0, 1}, {2, 0}, {2, 1}}));
    EXPECT_EQ(table->numberOfSections(), 3);
    EXPECT_EQ(table->numberOfRowsInSection(2), 3);
    EXPECT_EQ(table->numberOfRowsInSection(7), 0);
}

TEST_F(UITableViewTest, PlainSectionHeadersStayAtTheTopOfTheirSection) {
    rows->counts = {10, 10};
    rows->headers = {{0, "A"}, {1, "B"}};
    auto table = makeTable();
    auto headerAt = [&](CGFloat y) -> std::shared_ptr<UIView> {
        for (const auto& view : table->subviews()) {
            if (!dynamic_cast<UITableViewCell*>(view.get()) && view->frame().origin.y == y) {
                return view;
            }
        }
        return nullptr;
    };
    table->setContentOffset({0, 100});
    table->layoutIfNeeded();
    EXPECT_TRUE(headerAt(100));  // A floats at the top
    // Section 0 ends at 22 + 440 = 462: B pushes A up as it arrives.
    table->setContentOffset({0, 450});
    table->layoutIfNeeded();
    EXPECT_TRUE(headerAt(440));
    EXPECT_TRUE(headerAt(462));
}

TEST_F(UITableViewTest, SeveralHeadersInSightSettleAfterOneLayout) {
    rows->counts = {1, 1, 1, 1};
    rows->headers = {{0, "A"}, {1, "B"}, {2, "C"}, {3, "D"}};
    rows->indexTitles = {"A", "B", "C", "D"};
    auto table = makeTable();
    table->layoutIfNeeded();
    const auto order = table->subviews();
    // Moving subviews asks for layout again: a settled table must not.
    EXPECT_FALSE(table->layer()->needsLayout());
    table->setNeedsLayout();
    table->layoutIfNeeded();
    EXPECT_FALSE(table->layer()->needsLayout());
    EXPECT_EQ(table->subviews(), order);
}

TEST_F(UITableViewTest, TapSelectsTheRowAndTellsTheDelegate) {
    auto table = makeTable();
    touches->down({{100, 44 * 2 + 10}});
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 2})->isHighlighted());
    EXPECT_TRUE(rows->calls.empty());
    touches->up();
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 2})->isHighlighted());
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 2})->isSelected());
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{0, 2}));
    EXPECT_EQ(rows->calls, (std::vector<std::string>{"willSelect 0-2", "didSelect 0-2"}));

    rows->calls.clear();
    touches->tap({100, 10});
    EXPECT_EQ(rows->calls, (std::vector<std::string>{"willSelect 0-0", "willDeselect 0-2",
                                                     "didDeselect 0-2", "didSelect 0-0"}));
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 2})->isSelected());
    EXPECT_EQ(table->indexPathsForSelectedRows(), (std::vector<NSIndexPath>{{0, 0}}));

    // The delegate redirects a tap or refuses it.
    rows->calls.clear();
    rows->redirect = NSIndexPath{0, 4};
    touches->tap({100, 44 + 10});
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{0, 4}));
    rows->redirect.reset();
    rows->cancelSelection = true;
    touches->tap({100, 44 * 3 + 10});
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{0, 4}));
    rows->cancelSelection = false;

    // Below the last row nothing is selected.
    rows->calls.clear();
    touches->tap({100, 400});
    EXPECT_TRUE(rows->calls.empty());
}

TEST_F(UITableViewTest, ADetailButtonTellsTheDelegateOfItsRowWithoutSelectingIt) {
    rows->counts = {40};
    rows->accessory = UITableViewCellAccessoryDetailDisclosureButton;
    auto table = makeTable();
    // The button covers the round "i" and the chevron at the right.
    touches->tap({275, 44 * 2 + 22});
    touches->tap({300, 44 * 3 + 22});
    EXPECT_EQ(rows->calls, (std::vector<std::string>{"accessory 0-2", "accessory 0-3"}));
    EXPECT_FALSE(table->indexPathForSelectedRow());
    // The rest of the row selects it as before.
    rows->calls.clear();
    touches->tap({100, 44 * 2 + 22});
    EXPECT_EQ(rows->calls, (std::vector<std::string>{"willSelect 0-2", "didSelect 0-2"}));

    // A cell reused further down answers for the row it shows now.
    table->setContentOffset({0, 44 * 20});
    table->layoutIfNeeded();
    rows->calls.clear();
    touches->tap({275, 22});
    EXPECT_EQ(rows->calls, (std::vector<std::string>{"accessory 0-20"}));
    auto cell = table->cellForRowAtIndexPath({0, 20});
    ASSERT_TRUE(cell);
    const auto texts = cell->subviews();
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const auto& view) {
        return view->accessibilityLabel() == std::optional<std::string>("More Info");
    }));

    // Without the button the whole row selects.
    cell->setAccessoryType(UITableViewCellAccessoryNone);
    cell->layoutIfNeeded();
    rows->calls.clear();
    touches->tap({275, 22});
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{0, 20}));
}

TEST_F(UITableViewTest, DraggingCancelsTheHighlightWithoutSelecting) {
    rows->counts = {50};
    auto table = makeTable();
    touches->down({{100, 100}});
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 2})->isHighlighted());
    for (int i = 1; i <= 10; ++i) {
        touches->move({{100, 100.0 - 10 * i}});
    }
    touches->up();
    EXPECT_GT(table->contentOffset().y, 0);
    EXPECT_EQ(table->indexPathForSelectedRow(), std::nullopt);
    EXPECT_TRUE(rows->calls.empty());
    for (const auto& cell : table->visibleCells()) {
        EXPECT_FALSE(cell->isHighlighted());
    }
    CAFrameClock::shared().advance(5);
}

TEST_F(UITableViewTest, MultipleSelectionTogglesRows) {
    auto table = makeTable();
    table->setAllowsMultipleSelection(true);
    touches->tap({100, 10});
    touches->tap({100, 100});
    EXPECT_EQ(table->indexPathsForSelectedRows(), (std::vector<NSIndexPath>{{0, 0}, {0, 2}}));
    touches->tap({100, 10});
    EXPECT_EQ(table->indexPathsForSelectedRows(), (std::vector<NSIndexPath>{{0, 2}}));
    table->setAllowsSelection(false);
    table->setAllowsMultipleSelection(false);
    touches->tap({100, 10});
    EXPECT_EQ(table->indexPathsForSelectedRows(), (std::vector<NSIndexPath>{{0, 2}}));
}

TEST_F(UITableViewTest, ProgrammaticSelectionScrollsAndTellsNoOne) {
    rows->counts = {100};
    auto table = makeTable();
    table->selectRowAtIndexPathAnimatedScrollPosition(NSIndexPath{0, 50}, false,
                                                      UITableViewScrollPositionMiddle);
    EXPECT_EQ(table->contentOffset().y, 50 * 44 + 22 - 240);
    table->layoutIfNeeded();
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 50})->isSelected());
    EXPECT_TRUE(rows->calls.empty());

    table->scrollToRowAtIndexPathAtScrollPositionAnimated({0, 99}, UITableViewScrollPositionTop,
                                                          false);
    EXPECT_EQ(table->contentOffset().y, 4400 - 480);  // clamped to the end
    table->scrollToRowAtIndexPathAtScrollPositionAnimated({0, 10}, UITableViewScrollPositionNone,
                                                          false);
    EXPECT_EQ(table->contentOffset().y, 440);
    table->scrollToRowAtIndexPathAtScrollPositionAnimated({0, 12}, UITableViewScrollPositionNone,
                                                          false);
    EXPECT_EQ(table->contentOffset().y, 440);  // already in sight
    table->scrollToRowAtIndexPathAtScrollPositionAnimated({0, 30}, UITableViewScrollPositionBottom,
                                                          true);
    CAFrameClock::shared().advance(1);
    EXPECT_EQ(table->contentOffset().y, 31 * 44 - 480);
    table->scrollToRowAtIndexPathAtScrollPositionAnimated({0, 100}, UITableViewScrollPositionTop,
                                                          false);  // logged, ignored
    EXPECT_EQ(table->contentOffset().y, 31 * 44 - 480);

    table->deselectRowAtIndexPathAnimated({0, 50}, false);
    EXPECT_EQ(table->indexPathForSelectedRow(), std::nullopt);
    table->selectRowAtIndexPathAnimatedScrollPosition(NSIndexPath{0, 200}, false,
                                                      UITableViewScrollPositionNone);
    EXPECT_EQ(table->indexPathForSelectedRow(), std::nullopt);
}

TEST_F(UITableViewTest, RowChangesReloadAndKeepTheSelectionOnItsRow) {
    rows->counts = {6};
    auto table = makeTable();
    table->selectRowAtIndexPathAnimatedScrollPosition(NSIndexPath{0, 3}, false,
                                                      UITableViewScrollPositionNone);
    rows->counts = {4};
    table->beginUpdates();
    table->deleteRowsAtIndexPathsWithRowAnimation({{0, 0}, {0, 5}}, UITableViewRowAnimationFade);
    table->insertRowsAtIndexPathsWithRowAnimation({}, UITableViewRowAnimationFade);
    EXPECT_EQ(table->numberOfRowsInSection(0), 6);  // not before endUpdates
    table->endUpdates();
    EXPECT_EQ(table->numberOfRowsInSection(0), 4);
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{0, 2}));
    table->layoutIfNeeded();
    EXPECT_EQ(visibleTexts(*table),
              (std::vector<std::string>{"Row 0-0", "Row 0-1", "Row 0-2", "Row 0-3"}));
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 2})->isSelected());

    rows->counts = {6};
    table->insertRowsAtIndexPathsWithRowAnimation({{0, 0}, {0, 2}}, UITableViewRowAnimationNone);
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{0, 4}));
    table->deleteRowsAtIndexPathsWithRowAnimation({{0, 4}}, UITableViewRowAnimationNone);
    EXPECT_EQ(table->indexPathForSelectedRow(), std::nullopt);

    rows->counts = {6, 2};
    table->selectRowAtIndexPathAnimatedScrollPosition(NSIndexPath{0, 1}, false,
                                                      UITableViewScrollPositionNone);
    table->insertSectionsWithRowAnimation({0}, UITableViewRowAnimationNone);
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{1, 1}));
    rows->counts = {6};
    table->deleteSectionsWithRowAnimation({0}, UITableViewRowAnimationNone);
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{0, 1}));
    table->reloadData();
    EXPECT_EQ(table->indexPathForSelectedRow(), std::nullopt);
    table->endUpdates();  // unbalanced: logged
}

// A reload with fewer rows than lay above the offset shows the rows that are
// left: from the top where they fit, else up to the last one at the bottom.
TEST_F(UITableViewTest, AReloadWithFewerRowsShowsThem) {
    rows->counts = {40};
    auto table = makeTable();
    table->setContentOffset({0, 1000});
    table->layoutIfNeeded();
    rows->counts = {1};
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(table->contentOffset(), CGPointZero);
    EXPECT_EQ(visibleTexts(*table), std::vector<std::string>{"Row 0-0"});

    rows->counts = {40};
    table->reloadData();
    table->setContentOffset({0, 1000});
    table->layoutIfNeeded();
    rows->counts = {15};
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(table->contentOffset(), CGPointMake(0, 15 * 44 - 480));
    EXPECT_EQ(visibleTexts(*table).back(), "Row 0-14");
}

// A footer that shrinks while the list is scrolled to its end shrinks the
// content at the next layout: that same layout (looked at through the
// table's subviews, without a second one) shows the rows at the new end, not
// those of the offset it began with.
TEST_F(UITableViewTest, AShrunkFooterShowsTheRowsAtTheNewEndAtOnce) {
    rows->counts = {15};
    auto table = makeTable();
    auto footer = std::make_shared<UIView>(CGRectMake(0, 0, 320, 1000));
    table->setTableFooterView(footer);
    table->layoutIfNeeded();
    table->setContentOffset({0, 15 * 44 + 1000 - 480});
    table->layoutIfNeeded();
    footer->setFrame(CGRectMake(0, 0, 320, 0));
    table->setNeedsLayout();
    table->layoutIfNeeded();
    EXPECT_EQ(table->contentOffset(), CGPointMake(0, 15 * 44 - 480));
    std::vector<std::string> laidOut;
    for (const auto& view : table->subviews()) {
        if (auto cell = std::dynamic_pointer_cast<UITableViewCell>(view))
            laidOut.push_back(cell->textLabel()->text());
    }
    EXPECT_NE(std::find(laidOut.begin(), laidOut.end(), "Row 0-14"), laidOut.end());
}

TEST_F(UITableViewTest, EditingDeletesAfterConfirmation) {
    auto table = makeTable();
    table->setEditing(true);
    table->layoutIfNeeded();
    auto cell = table->cellForRowAtIndexPath({0, 1});
    ASSERT_TRUE(cell->isEditing());
    EXPECT_EQ(cell->editingControlFrame(), CGRectMake(0, 0, 38, 44));
    EXPECT_EQ(cell->contentView()->frame().origin.x, 38);

    touches->tap({100, 44 + 10});  // the row itself: no selection while editing
    EXPECT_TRUE(rows->calls.empty());
    touches->tap({20, 44 + 10});  // the delete control
    EXPECT_TRUE(cell->showingDeleteConfirmation());
    touches->tap({100, 10});  // elsewhere: dismissed, nothing committed
    EXPECT_FALSE(cell->showingDeleteConfirmation());
    EXPECT_TRUE(rows->commits.empty());

    touches->tap({20, 44 + 10});
    EXPECT_TRUE(cell->showingDeleteConfirmation());
    touches->tap({300, 44 + 10});  // the confirmation button
    ASSERT_EQ(rows->commits.size(), 1u);
    EXPECT_EQ(rows->commits[0].first, UITableViewCellEditingStyleDelete);
    EXPECT_EQ(rows->commits[0].second, (NSIndexPath{0, 1}));

    table->setEditing(false);
    EXPECT_FALSE(cell->isEditing());
    EXPECT_EQ(cell->editingControlFrame(), CGRectNull);
}

TEST_F(UITableViewTest, SectionIndexScrollsToTheChosenSection) {
    rows->counts = {10, 10, 10};
    rows->indexTitles = {UITableViewIndexSearch, "A", "B", "C"};
    auto table = makeTable();
    table->setSectionIndexMinimumDisplayRowCount(30);
    table->layoutIfNeeded();
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 0})->frame().size.width, 320 - 16);
    // Four entries of 16 points centred in 480: the block starts at 208.
    touches->tap({312, 208 + 2 * 16 + 8});
    EXPECT_EQ(rows->calls, (std::vector<std::string>{"index B"}));
    EXPECT_EQ(table->contentOffset().y, 440);
    touches->tap({312, 208 + 8});  // the magnifier: the data source decides
    EXPECT_EQ(table->contentOffset().y, 440);
    EXPECT_EQ(rows->calls.back(), "index {search}");

    // Dragging along the index picks entries instead of scrolling.
    rows->calls.clear();
    touches->drag({312, 230}, {312, 300}, 10, 0.5);
    EXPECT_FALSE(table->isDragging());
    touches->up();
    EXPECT_EQ(rows->calls, (std::vector<std::string>{"index A", "index B", "index C"}));
    EXPECT_EQ(table->contentOffset().y, 1320 - 480);  // section 2, clamped to the end

    table->setSectionIndexMinimumDisplayRowCount(31);
    table->layoutIfNeeded();
    EXPECT_EQ(table->cellForRowAtIndexPath({2, 9})->frame().size.width, 320);
}

// On a short table (a phone on its side) the index would reach over the
// header's search bar and take the taps meant for its Cancel button.
TEST_F(UITableViewTest, SectionIndexStaysBelowTheTableHeaderInSight) {
    rows->counts = {30};
    rows->indexTitles = {UITableViewIndexSearch, "A", "B"};
    auto table = makeTable();
    table->setFrame(CGRectMake(0, 0, 320, 240));
    auto header = std::make_shared<UIView>(CGRectMake(0, 0, 320, 44));
    auto cancel = std::make_shared<UIView>(CGRectMake(260, 0, 60, 44));
    header->addSubview(cancel);
    table->setTableHeaderView(header);
    table->layoutIfNeeded();
    EXPECT_EQ(window->hitTest({312, 22}, nullptr), cancel);
    EXPECT_EQ(table->subviews().back()->frame(), CGRectMake(304, 44, 16, 196));
    // Scrolled halfway past the header, then beyond it.
    table->setContentOffset({0, 30});
    table->layoutIfNeeded();
    EXPECT_EQ(table->subviews().back()->frame(), CGRectMake(304, 44, 16, 226));
    table->setContentOffset({0, 100});
    table->layoutIfNeeded();
    EXPECT_EQ(table->subviews().back()->frame(), CGRectMake(304, 100, 16, 240));
}

TEST_F(UITableViewTest, BrokenDataSourcesAreSurvived) {
    rows->counts = {-3, 4};
    rows->returnNoCell = true;
    auto table = makeTable();
    EXPECT_EQ(table->numberOfRowsInSection(0), 0);
    EXPECT_EQ(table->visibleCells().size(), 4u);  // empty stand-in rows
    touches->tap({100, 10});
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{1, 0}));

    rows.reset();  // held weakly: the table goes on empty
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(table->numberOfSections(), 0);
    EXPECT_TRUE(table->visibleCells().empty());
}

// Rendering: the text of each row appears in its row's band.

bool bandHasColor(const CGImageRef& image, CGFloat top, CGFloat bottom, CGFloat left, CGFloat right,
                  uint32_t rgb) {
    for (size_t y = size_t(top * 2); y < size_t(bottom * 2); ++y) {
        for (size_t x = size_t(left * 2); x < size_t(right * 2); ++x) {
            const uint32_t p = image->pixelAt(x, y);
            bool close = true;
            for (int shift = 0; shift < 24; shift += 8) {
                close &= std::abs(int((p >> shift) & 0xFF) - int((rgb >> shift) & 0xFF)) < 60;
            }
            if (close) {
                return true;
            }
        }
    }
    return false;
}

TEST_F(UITableViewTest, RenderedPlainTableShowsEachRowsTextInItsRow) {
    rows->counts = {3, 20};
    rows->headers = {{1, "Section"}};
    rows->colors = {{{0, 0}, UIColor::redColor()},
                    {{0, 2}, UIColor::blueColor()},
                    {{1, 1}, UIColor::colorWithRedGreenBlueAlpha(0, 0.6, 0, 1)}};
    auto table = makeTable();
    CGImageRef image = window->renderImage(2);
    ASSERT_TRUE(image);
    // Row 0-0 (0...44) red, 0-2 (88...132) blue, 1-1 (132 + 22 + 44 = 198...242) green.
    EXPECT_TRUE(bandHasColor(image, 0, 44, 0, 200, 0xFF0000));
    EXPECT_FALSE(bandHasColor(image, 44, 480, 0, 320, 0xFF0000));
    EXPECT_TRUE(bandHasColor(image, 88, 132, 0, 200, 0x0000FF));
    EXPECT_FALSE(bandHasColor(image, 0, 88, 0, 320, 0x0000FF));
    EXPECT_TRUE(bandHasColor(image, 198, 242, 0, 200, 0x009900));
    EXPECT_FALSE(bandHasColor(image, 0, 198, 0, 320, 0x009900));
    EXPECT_FALSE(bandHasColor(image, 242, 480, 0, 320, 0x009900));
    // The section header's bar and text; a separator line under row 0-0.
    EXPECT_TRUE(bandHasColor(image, 132, 154, 0, 320, 0xF7F7F7));
    EXPECT_TRUE(bandHasColor(image, 132, 154, 10, 100, 0x404040));
    EXPECT_EQ(image->pixelAt(200, 87) & 0xFFFFFF, 0xC7C7CCu);
    EXPECT_EQ(image->pixelAt(10, 87) & 0xFFFFFF, 0xFFFFFFu);  // inset on the left

    // Scrolled: the same rows move up with the content.
    table->setContentOffset({0, 44});
    image = window->renderImage(2);
    EXPECT_TRUE(bandHasColor(image, 44, 88, 0, 200, 0x0000FF));
    EXPECT_FALSE(bandHasColor(image, 0, 44, 0, 320, 0xFF0000));

    // A highlighted row paints the selection over its background.
    touches->down({{300, 50}});
    image = window->renderImage(2);
    EXPECT_EQ(image->pixelAt(620, 100) & 0xFFFFFF, 0x0575E8u);
    touches->up();
    table->deselectRowAtIndexPathAnimated({0, 2}, false);
    image = window->renderImage(2);
    EXPECT_EQ(image->pixelAt(620, 100) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(UITableViewTest, RenderedGroupedTableInsetsRowsAndShowsTitles) {
    rows->counts = {2, 1};
    rows->headers = {{0, "Header"}};
    rows->footers = {{1, "Footer text"}};
    rows->colors = {{{1, 0}, UIColor::redColor()}};
    auto table = makeTable(UITableViewStyleGrouped);
    const CGRect header = table->rectForHeaderInSection(0);
    EXPECT_GT(header.size.height, 22);
    const CGRect row = table->rectForRowAtIndexPath({1, 0});
    EXPECT_EQ(table->cellForRowAtIndexPath({1, 0})->frame(), CGRectMake(10, row.origin.y, 300, 44));
    CGImageRef image = window->renderImage(2);
    const size_t y = size_t((row.origin.y + 5) * 2);
    EXPECT_EQ(image->pixelAt(10, y) & 0xFFFFFF, 0xEFEFF4u);  // background beside the row
    EXPECT_EQ(image->pixelAt(600, y) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_TRUE(bandHasColor(image, row.origin.y, CGRectGetMaxY(row), 10, 200, 0xFF0000));
    // Grey title text in the header and the footer.
    EXPECT_TRUE(bandHasColor(image, header.origin.y, CGRectGetMaxY(header), 15, 200, 0x6E6E6E));
    const CGRect footer = table->rectForFooterInSection(1);
    EXPECT_TRUE(bandHasColor(image, footer.origin.y, CGRectGetMaxY(footer), 0, 320, 0x6E6E6E));
    // No text in the untitled spacing between the sections.
    EXPECT_FALSE(bandHasColor(image, table->rectForFooterInSection(0).origin.y,
                              CGRectGetMaxY(table->rectForHeaderInSection(1)), 0, 320, 0x6E6E6E));
}

}  // namespace

namespace {

TEST_F(UITableViewTest, RenderedTablesMatchReferences) {
    window->setFrame(CGRectMake(0, 0, 320, 300));
    rows->counts = {2, 3};
    rows->headers = {{0, "Fruits"}, {1, "Vegetables"}};
    rows->footers = {{1, "Five rows in two sections"}};
    auto table = makeTable();
    table->setFrame(CGRectMake(0, 0, 320, 300));
    table->selectRowAtIndexPathAnimatedScrollPosition(NSIndexPath{1, 0}, false,
                                                      UITableViewScrollPositionNone);
    EXPECT_TRUE(matchesReference(window->renderImage(2), "table-plain"));
    table->removeFromSuperview();
    auto grouped = makeTable(UITableViewStyleGrouped);
    grouped->setFrame(CGRectMake(0, 0, 320, 300));
    grouped->layoutIfNeeded();
    grouped->setContentOffset(grouped->maximumContentOffset());  // down to the footer
    EXPECT_TRUE(matchesReference(window->renderImage(2), "table-grouped"));
}

}  // namespace
