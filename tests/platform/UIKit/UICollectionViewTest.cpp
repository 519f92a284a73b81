#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Foundation/NSLog.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UICollectionViewController.h"
#include "UIKit/UICollectionViewFlowLayout.h"
#include "UIKit/UILabel.h"
#include "UIKitTestSupport.h"

namespace {

// A cell showing its item's number on a coloured tile; counts how many
// were ever made.
class NumberCell : public UICollectionViewCell {
  public:
    NumberCell() : label_(std::make_shared<UILabel>()) {
        ++made;
        label_->setTextAlignment(NSTextAlignmentCenter);
        label_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                    UIViewAutoresizingFlexibleHeight);
        contentView()->addSubview(label_);
        auto tile = std::make_shared<UIView>();
        tile->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.8, 0.88, 1, 1));
        setBackgroundView(tile);
        auto selected = std::make_shared<UIView>();
        selected->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0, 0.48, 1, 1));
        setSelectedBackgroundView(selected);
    }
    void show(const std::string& text) {
        label_->setFrame(contentView()->bounds());
        label_->setText(text);
    }
    void prepareForReuse() override {
        UICollectionViewCell::prepareForReuse();
        ++reused;
    }
    static inline int made = 0;
    static inline int reused = 0;

  private:
    std::shared_ptr<UILabel> label_;
};

class Header : public UICollectionReusableView {
  public:
    Header() : label_(std::make_shared<UILabel>()) {
        setBackgroundColor(UIColor::colorWithWhiteAlpha(0.93, 1));
        label_->setFont(UIFont::boldSystemFontOfSize(14));
    }
    void show(const std::string& text) {
        addSubview(label_);
        label_->setText(text);
        setNeedsLayout();
    }
    void layoutSubviews() override { label_->setFrame(CGRectInset(bounds(), 10, 0)); }

  private:
    std::shared_ptr<UILabel> label_;
};

// A shelf: sections of numbered items under headers; logs the delegate.
class Shelf : public UICollectionViewController {
  public:
    explicit Shelf(std::shared_ptr<UICollectionViewFlowLayout> layout)
        : UICollectionViewController(std::move(layout)) {}
    void viewDidLoad() override {
        collectionView()->registerCellClass<NumberCell>("number");
        collectionView()->registerSupplementaryViewClass<Header>(
            UICollectionElementKindSectionHeader, "header");
        collectionView()->setBackgroundColor(UIColor::whiteColor());
    }
    long numberOfSectionsInCollectionView(UICollectionView&) override {
        return long(counts.size());
    }
    long collectionViewNumberOfItemsInSection(UICollectionView&, long section) override {
        return counts[size_t(section)];
    }
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        UICollectionView& view, const NSIndexPath& path) override {
        auto cell = std::static_pointer_cast<NumberCell>(
            view.dequeueReusableCellWithReuseIdentifierForIndexPath("number", path));
        cell->show(std::to_string(path.section) + "." + std::to_string(path.row));
        return cell;
    }
    std::shared_ptr<UICollectionReusableView>
    collectionViewViewForSupplementaryElementOfKindAtIndexPath(UICollectionView& view,
                                                               const std::string& kind,
                                                               const NSIndexPath& path) override {
        auto header = std::static_pointer_cast<Header>(
            view.dequeueReusableSupplementaryViewOfKindWithReuseIdentifierForIndexPath(
                kind, "header", path));
        header->show("Section " + std::to_string(path.section));
        return header;
    }
    void collectionViewDidHighlightItemAtIndexPath(UICollectionView&,
                                                   const NSIndexPath& p) override {
        log.push_back("highlight " + std::to_string(p.row));
    }
    void collectionViewDidUnhighlightItemAtIndexPath(UICollectionView&,
                                                     const NSIndexPath& p) override {
        log.push_back("unhighlight " + std::to_string(p.row));
    }
    bool collectionViewShouldSelectItemAtIndexPath(UICollectionView&,
                                                   const NSIndexPath& p) override {
        return p.row != 1;
    }
    void collectionViewDidSelectItemAtIndexPath(UICollectionView&, const NSIndexPath& p) override {
        log.push_back("select " + std::to_string(p.row));
    }
    void collectionViewDidDeselectItemAtIndexPath(UICollectionView&,
                                                  const NSIndexPath& p) override {
        log.push_back("deselect " + std::to_string(p.row));
    }

    std::vector<long> counts{7, 5};
    std::vector<std::string> log;
};

std::shared_ptr<UICollectionViewFlowLayout> shelfLayout() {
    auto layout = std::make_shared<UICollectionViewFlowLayout>();
    layout->setItemSize({90, 90});
    layout->setMinimumInteritemSpacing(10);
    layout->setMinimumLineSpacing(12);
    layout->setSectionInset({10, 10, 10, 10});
    layout->setHeaderReferenceSize({0, 30});
    return layout;
}

class UICollectionViewTest : public UIKitTest {
  protected:
    void SetUp() override {
        UIKitTest::SetUp();
        NumberCell::made = NumberCell::reused = 0;
    }
};

TEST_F(UICollectionViewTest, FlowLayoutPlacesLinesHeadersAndInsets) {
    auto window = makeWindow({320, 568});
    auto shelf = std::make_shared<Shelf>(shelfLayout());
    window->setRootViewController(shelf);
    window->layoutIfNeeded();
    auto view = shelf->collectionView();
    auto frame = [&](long s, long i) {
        return view->layoutAttributesForItemAtIndexPath({s, i})->frame;
    };
    // Three 90-point items fit across 300 points; full lines spread over the width.
    EXPECT_EQ(frame(0, 0), CGRectMake(10, 40, 90, 90));
    EXPECT_EQ(frame(0, 1), CGRectMake(115, 40, 90, 90));
    EXPECT_EQ(frame(0, 2), CGRectMake(220, 40, 90, 90));
    EXPECT_EQ(frame(0, 3), CGRectMake(10, 142, 90, 90));
    // The last line keeps the full lines' spacing.
    EXPECT_EQ(frame(0, 6), CGRectMake(10, 244, 90, 90));
    // The next section: header, then its own inset.
    auto header =
        shelf->collectionViewLayout()->layoutAttributesForSupplementaryViewOfKindAtIndexPath(
            UICollectionElementKindSectionHeader, {1, 0});
    ASSERT_TRUE(header);
    EXPECT_EQ(header->frame, CGRectMake(0, 344, 320, 30));
    EXPECT_EQ(frame(1, 0), CGRectMake(10, 384, 90, 90));
    EXPECT_EQ(view->contentSize(), CGSizeMake(320, 384 + 90 + 12 + 90 + 10));
    EXPECT_FALSE(view->layoutAttributesForItemAtIndexPath({1, 5}));
    EXPECT_EQ(view->indexPathForItemAtPoint({150, 100}), (NSIndexPath{0, 1}));
    EXPECT_EQ(view->indexPathForItemAtPoint({105, 100}), std::nullopt);  // between items

    // A narrower view is laid out again: two a line.
    window->setFrame(CGRectMake(0, 0, 220, 568));
    window->layoutIfNeeded();
    EXPECT_EQ(frame(0, 1), CGRectMake(120, 40, 90, 90));
    EXPECT_EQ(frame(0, 2), CGRectMake(10, 142, 90, 90));

    // Horizontal scrolling: columns from the top, headers to the left.
    auto layout = shelfLayout();
    layout->setScrollDirection(UICollectionViewScrollDirectionHorizontal);
    layout->setHeaderReferenceSize({30, 0});
    view->setCollectionViewLayout(layout);
    window->layoutIfNeeded();
    EXPECT_EQ(frame(0, 0), CGRectMake(40, 10, 90, 90));
    EXPECT_EQ(frame(0, 1).origin.x, 40);
    EXPECT_GT(frame(0, 1).origin.y, 100);
}

TEST_F(UICollectionViewTest, ScrollingReusesCellsAndShowsOnlyWhatIsInSight) {
    auto window = makeWindow({320, 568});
    auto shelf = std::make_shared<Shelf>(shelfLayout());
    shelf->counts = {200};
    window->setRootViewController(shelf);
    window->layoutIfNeeded();
    auto view = shelf->collectionView();
    const size_t first = view->visibleCells().size();
    EXPECT_EQ(first, 18u);  // six lines of three touch the first screen
    EXPECT_EQ(view->indexPathsForVisibleItems().front(), (NSIndexPath{0, 0}));
    const int madeAtStart = NumberCell::made;

    TouchDriver touches(window);
    for (int i = 0; i < 20; ++i) {
        touches.drag({160, 500}, {160, 100}, 8, 0.2);
        touches.up();
        CAFrameClock::shared().advance(0.5);
        window->layoutIfNeeded();
        EXPECT_LE(view->visibleCells().size(), 21u);
    }
    EXPECT_GT(view->contentOffset().y, 3000);
    // The cells scrolled out served the ones scrolled in.
    EXPECT_LE(NumberCell::made, madeAtStart + 3);
    EXPECT_GT(NumberCell::reused, 100);
    for (const NSIndexPath& path : view->indexPathsForVisibleItems()) {
        auto frame = view->layoutAttributesForItemAtIndexPath(path)->frame;
        EXPECT_TRUE(CGRectIntersectsRect(frame, view->bounds()));
        EXPECT_EQ(view->cellForItemAtIndexPath(path)->frame(), frame);
    }

    EXPECT_TRUE(view->visibleSupplementaryViewsOfKind(UICollectionElementKindSectionHeader)
                    .empty());  // the header scrolled away
    view->scrollToItemAtIndexPathAtScrollPositionAnimated(
        {0, 199}, UICollectionViewScrollPositionBottom, false);
    window->layoutIfNeeded();
    EXPECT_EQ(view->contentOffset().y,
              CGRectGetMaxY(view->layoutAttributesForItemAtIndexPath({0, 199})->frame) - 568);
    EXPECT_NE(view->cellForItemAtIndexPath({0, 199}), nullptr);
    view->scrollToItemAtIndexPathAtScrollPositionAnimated({0, 30},
                                                          UICollectionViewScrollPositionTop, false);
    window->layoutIfNeeded();
    EXPECT_EQ(view->contentOffset().y,
              view->layoutAttributesForItemAtIndexPath({0, 30})->frame.origin.y);
}

TEST_F(UICollectionViewTest, SectionHeadersAreReusedAsSectionsScrollBy) {
    auto window = makeWindow({320, 568});
    auto shelf = std::make_shared<Shelf>(shelfLayout());
    shelf->counts = std::vector<long>(40, 3);
    window->setRootViewController(shelf);
    window->layoutIfNeeded();
    auto view = shelf->collectionView();
    std::set<UICollectionReusableView*> headers;
    for (CGFloat y = 0; y < 4000; y += 100) {
        view->setContentOffset({0, y});
        window->layoutIfNeeded();
        for (const auto& header :
             view->visibleSupplementaryViewsOfKind(UICollectionElementKindSectionHeader)) {
            headers.insert(header.get());
            EXPECT_TRUE(CGRectIntersectsRect(header->frame(), view->bounds()));
        }
    }
    // About five sections fit a screen; forty scrolled by on a handful of headers.
    EXPECT_LE(headers.size(), 8u);

    // The controller clears the selection when its screen appears again.
    view->selectItemAtIndexPathAnimatedScrollPosition(NSIndexPath{39, 0}, false,
                                                      UICollectionViewScrollPositionNone);
    shelf->viewWillAppear(false);
    EXPECT_TRUE(view->indexPathsForSelectedItems().empty());
}

TEST_F(UICollectionViewTest, TapsHighlightAndSelectThroughTheDelegate) {
    auto window = makeWindow({320, 568});
    auto shelf = std::make_shared<Shelf>(shelfLayout());
    window->setRootViewController(shelf);
    window->layoutIfNeeded();
    auto view = shelf->collectionView();
    TouchDriver touches(window);
    touches.down({CGPoint{50, 80}});
    EXPECT_TRUE(view->cellForItemAtIndexPath({0, 0})->isHighlighted());
    touches.up();
    EXPECT_EQ(shelf->log, (std::vector<std::string>{"highlight 0", "unhighlight 0", "select 0"}));
    EXPECT_TRUE(view->cellForItemAtIndexPath({0, 0})->isSelected());

    shelf->log.clear();
    touches.tap({160, 80});  // item 1 may not be selected
    touches.tap({260, 80});
    EXPECT_EQ(shelf->log, (std::vector<std::string>{"highlight 1", "unhighlight 1", "highlight 2",
                                                    "unhighlight 2", "deselect 0", "select 2"}));
    EXPECT_EQ(view->indexPathsForSelectedItems(), (std::vector<NSIndexPath>{{0, 2}}));

    // A drag is no tap.
    shelf->log.clear();
    touches.drag({50, 200}, {50, 100}, 5, 0.2);
    touches.up();
    EXPECT_EQ(shelf->log, (std::vector<std::string>{"highlight 3", "unhighlight 3"}));

    // Multiple selection: a second tap deselects.
    view->setAllowsMultipleSelection(true);
    CAFrameClock::shared().advance(2);
    view->setContentOffset({0, 0});
    window->layoutIfNeeded();
    shelf->log.clear();
    touches.tap({50, 80});
    touches.tap({50, 80});
    EXPECT_EQ(shelf->log.back(), "deselect 0");
    EXPECT_EQ(view->indexPathsForSelectedItems(), (std::vector<NSIndexPath>{{0, 2}}));
}

TEST_F(UICollectionViewTest, BatchUpdatesKeepTheSelectionOnItsItem) {
    auto window = makeWindow({320, 568});
    auto shelf = std::make_shared<Shelf>(shelfLayout());
    window->setRootViewController(shelf);
    window->layoutIfNeeded();
    auto view = shelf->collectionView();
    view->selectItemAtIndexPathAnimatedScrollPosition(NSIndexPath{0, 4}, false,
                                                      UICollectionViewScrollPositionNone);
    bool completed = false;
    view->performBatchUpdatesCompletion(
        [&] {
            shelf->counts = {7, 5};
            shelf->counts[0] = 7 - 2 + 1;
            view->deleteItemsAtIndexPaths({{0, 0}, {0, 1}});
            view->insertItemsAtIndexPaths({{0, 0}});
        },
        [&](bool finished) { completed = finished; });
    EXPECT_FALSE(completed);
    CAFrameClock::shared().advance(0.5);
    EXPECT_TRUE(completed);
    EXPECT_EQ(view->numberOfItemsInSection(0), 6);
    EXPECT_EQ(view->indexPathsForSelectedItems(), (std::vector<NSIndexPath>{{0, 3}}));

    // A new section before it moves the selection down a section.
    shelf->counts.insert(shelf->counts.begin(), 2);
    view->insertSections({0});
    EXPECT_EQ(view->indexPathsForSelectedItems(), (std::vector<NSIndexPath>{{1, 3}}));
    // Deleting the selected item drops the selection.
    shelf->counts[1] = 5;
    view->deleteItemsAtIndexPaths({{1, 3}});
    EXPECT_TRUE(view->indexPathsForSelectedItems().empty());

    // Counts that do not add up are reported and the data source's answer wins.
    shelf->counts[0] = 9;
    view->insertItemsAtIndexPaths({{0, 0}});
    window->layoutIfNeeded();
    EXPECT_EQ(view->numberOfItemsInSection(0), 9);
    EXPECT_EQ(view->cellForItemAtIndexPath({0, 8}) != nullptr,
              CGRectIntersectsRect(view->layoutAttributesForItemAtIndexPath({0, 8})->frame,
                                   view->bounds()));
}

// Where a view is drawn now, and how opaque.
CGPoint shownCenter(const UIView& view) {
    return view.layer()->presentationLayer()->position();
}
float shownOpacity(const UIView& view) {
    return view.layer()->presentationLayer()->opacity();
}

TEST_F(UICollectionViewTest, BatchUpdatesAnimateWhatIsDrawnWhileTheModelIsFinal) {
    // Section 0 fills the screen; section 1 starts below it.
    auto window = makeWindow({320, 300});
    auto shelf = std::make_shared<Shelf>(shelfLayout());
    window->setRootViewController(shelf);
    window->layoutIfNeeded();
    auto view = shelf->collectionView();
    auto& clock = CAFrameClock::shared();
    auto deleted = view->cellForItemAtIndexPath({0, 0});
    auto kept = view->cellForItemAtIndexPath({0, 2});
    const CGPoint from = kept->center();
    const CGRect below = view->layoutAttributesForItemAtIndexPath({1, 0})->frame;
    ASSERT_FALSE(CGRectIntersectsRect(below, view->bounds()));
    int completions = 0;
    bool finished = false;
    // Section 0 loses a line, which brings section 1 into sight.
    view->performBatchUpdatesCompletion(
        [&] {
            shelf->counts = {5, 6};
            view->deleteItemsAtIndexPaths({{0, 0}, {0, 1}});
            view->insertItemsAtIndexPaths({{1, 0}});
        },
        [&](bool done) {
            ++completions;
            finished = done;
        });
    auto inserted = view->cellForItemAtIndexPath({1, 0});
    auto comer = view->cellForItemAtIndexPath({1, 1});
    ASSERT_TRUE(inserted && comer);
    EXPECT_EQ(view->cellForItemAtIndexPath({0, 0}), kept);
    EXPECT_EQ(kept->frame(), view->layoutAttributesForItemAtIndexPath({0, 0})->frame);
    EXPECT_EQ(comer->frame(), view->layoutAttributesForItemAtIndexPath({1, 1})->frame);
    EXPECT_EQ(inserted->alpha(), 1);

    clock.advance(0.15);
    const CGPoint to = kept->center();
    EXPECT_GT(shownCenter(*kept).x, to.x);
    EXPECT_LT(shownCenter(*kept).x, from.x);
    EXPECT_GT(shownCenter(*comer).y, comer->center().y);
    EXPECT_LT(shownCenter(*comer).y, CGRectGetMidY(below));
    EXPECT_GT(shownOpacity(*inserted), 0);
    EXPECT_LT(shownOpacity(*inserted), 1);
    EXPECT_EQ(deleted->superview(), view);
    EXPECT_GT(shownOpacity(*deleted), 0);
    EXPECT_LT(shownOpacity(*deleted), 1);
    const auto cells = view->visibleCells();
    EXPECT_EQ(std::count(cells.begin(), cells.end(), deleted), 0);
    EXPECT_EQ(completions, 0);
    EXPECT_TRUE(clock.isSettling());

    clock.advance(0.2);
    EXPECT_EQ(shownCenter(*kept), to);
    EXPECT_EQ(shownCenter(*comer), comer->center());
    EXPECT_EQ(shownOpacity(*inserted), 1);
    EXPECT_EQ(deleted->superview(), nullptr);
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(finished);
    clock.advance(1);
    EXPECT_EQ(completions, 1);

    // Without animations the change is drawn at once, and so is the completion.
    auto gone = view->cellForItemAtIndexPath({0, 0});
    UIView::performWithoutAnimation([&] {
        view->performBatchUpdatesCompletion(
            [&] {
                shelf->counts[0] = 4;
                view->deleteItemsAtIndexPaths({{0, 0}});
            },
            [&](bool) { ++completions; });
    });
    EXPECT_EQ(gone->superview(), nullptr);
    EXPECT_EQ(completions, 2);
}

// A data source with every fault a screen could have.
class Broken : public UICollectionViewDataSource, public UICollectionViewDelegateFlowLayout {
  public:
    long numberOfSectionsInCollectionView(UICollectionView&) override { return sections; }
    long collectionViewNumberOfItemsInSection(UICollectionView&, long section) override {
        return section == 0 ? -4 : 3;
    }
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        UICollectionView& view, const NSIndexPath& path) override {
        if (path.row == 0) {
            return nullptr;
        }
        return view.dequeueReusableCellWithReuseIdentifierForIndexPath("never registered", path);
    }
    std::optional<CGSize> collectionViewLayoutSizeForItemAtIndexPath(
        UICollectionView&, UICollectionViewLayout&, const NSIndexPath& path) override {
        return path.row == 0 ? CGSize{50, 50}
                             : (path.row == 1 ? CGSize{5000, 40} : CGSize{-30, -20});
    }
    long sections = 2;
};

TEST_F(UICollectionViewTest, BrokenDataSourcesAreLoggedAndSurvived) {
    auto window = makeWindow({320, 568});
    auto view = std::make_shared<UICollectionView>(window->bounds(),
                                                   std::make_shared<UICollectionViewFlowLayout>());
    auto broken = std::make_shared<Broken>();
    std::string logged;
    NSLogSink previous =
        NSLogSetSink([&](NSLogLevel, const std::string& line) { logged += line + "\n"; });
    view->setDataSource(broken);
    view->setDelegate(broken);
    window->addSubview(view);
    window->layoutIfNeeded();
    broken->sections = 1'000'000'000;
    view->reloadData();
    window->layoutIfNeeded();
    NSLogSetSink(previous);
    EXPECT_NE(logged.find("-4 items is out of range"), std::string::npos);
    EXPECT_NE(logged.find("no cell for item 0 in section 1"), std::string::npos);
    EXPECT_NE(logged.find("no cell class registered for \"never registered\""), std::string::npos);
    EXPECT_NE(logged.find("1000000000 sections is out of range"), std::string::npos);
    EXPECT_EQ(view->numberOfSections(), 0);
    EXPECT_TRUE(view->visibleCells().empty());

    // Negative sizes are taken as empty (never shown); a too wide item takes a
    // line of its own.
    broken->sections = 2;
    view->reloadData();
    window->layoutIfNeeded();
    EXPECT_EQ(view->numberOfItemsInSection(0), 0);
    EXPECT_EQ(view->layoutAttributesForItemAtIndexPath({1, 1})->frame, CGRectMake(0, 60, 5000, 40));
    EXPECT_EQ(view->layoutAttributesForItemAtIndexPath({1, 2})->frame.size, CGSizeMake(0, 0));
    EXPECT_EQ(view->visibleCells().size(), 2u);
}

TEST_F(UICollectionViewTest, DrawsCellsHeadersAndTheBackgroundView) {
    auto window = makeWindow({320, 480});
    auto shelf = std::make_shared<Shelf>(shelfLayout());
    shelf->counts = {4, 5};
    window->setRootViewController(shelf);
    auto background = std::make_shared<UIView>();
    background->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(1, 0.97, 0.9, 1));
    shelf->collectionView()->setBackgroundView(background);
    shelf->collectionView()->selectItemAtIndexPathAnimatedScrollPosition(
        NSIndexPath{1, 1}, false, UICollectionViewScrollPositionNone);
    window->layoutIfNeeded();
    EXPECT_EQ(shelf->collectionView()
                  ->visibleSupplementaryViewsOfKind(UICollectionElementKindSectionHeader)
                  .size(),
              2u);
    EXPECT_EQ(background->frame(), shelf->collectionView()->bounds());
    EXPECT_TRUE(matchesReference(window->renderImage(1), "collection-view"));
}

}  // namespace
