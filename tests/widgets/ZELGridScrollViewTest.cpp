#include <gtest/gtest.h>

#include "widgets/ZELGridScrollView.h"

namespace {

class Cells : public ZELGridScrollViewDataSource, public ZELGridScrollViewDelegate {
  public:
    long numberOfSectionsInZELGridScrollView(ZELGridScrollView&) override { return 2; }
    long gridViewNumberOfCellsInSection(ZELGridScrollView&, long section) override {
        return section == 0 ? 7 : 30;
    }
    std::shared_ptr<ZELGridCellView> gridViewCellAtIndexPath(ZELGridScrollView& grid,
                                                             const NSIndexPath&) override {
        ++asked;
        auto cell = grid.dequeueReusableCellWithIdentifier("cover");
        if (!cell)
            cell = std::make_shared<ZELGridCellView>("cover");
        else
            ++reused;
        return cell;
    }
    void gridViewDidSelectCellAtIndexPath(ZELGridScrollView&, const NSIndexPath& path) override {
        selected = path;
    }
    int asked = 0, reused = 0;
    NSIndexPath selected{-1, -1};
};

// A 320-point grid of 100 x 120 cells with 10-point padding: three a row.
std::shared_ptr<ZELGridScrollView> gridOf(const std::shared_ptr<Cells>& cells) {
    auto grid = std::make_shared<ZELGridScrollView>(CGRectMake(0, 0, 320, 480));
    grid->setDataSource(cells);
    grid->setGridDelegate(cells);
    grid->setPaddingInset({10, 10, 10, 10});
    grid->setCellSize({100, 120});
    return grid;
}

TEST(ZELGridScrollView, LaysCellsOutInRowsBelowTheHeaderAndReusesThem) {
    auto cells = std::make_shared<Cells>();
    auto grid = gridOf(cells);
    grid->setGridHeaderView(std::make_shared<UIView>(CGRectMake(0, 0, 320, 40)));
    grid->layoutIfNeeded();

    // Three cells a row over 300 points: 0 spare points each.
    EXPECT_EQ(grid->rectForCellAtIndexPath({0, 0}), CGRectMake(10, 50, 100, 120));
    EXPECT_EQ(grid->rectForCellAtIndexPath({0, 4}), CGRectMake(110, 170, 100, 120));
    // Section 1 starts below section 0's three rows and its padding.
    EXPECT_EQ(grid->rectForCellAtIndexPath({1, 0}).origin.y, 40 + 10 + 3 * 120 + 10 + 10);
    EXPECT_TRUE(CGRectIsNull(grid->rectForCellAtIndexPath({5, 0})));
    EXPECT_EQ(grid->contentSize().height, 40 + (20 + 360) + (20 + 10 * 120));
    // Only cells in view exist: section 0 and the first row of section 1.
    EXPECT_EQ(grid->visibleCells().size(), 7u + 3u);
    EXPECT_EQ(cells->reused, 0);

    grid->setContentOffset({0, 800});
    grid->layoutIfNeeded();
    EXPECT_GT(cells->reused, 0);
    for (const auto& cell : grid->visibleCells())
        EXPECT_TRUE(CGRectIntersectsRect(cell->frame(), grid->bounds()));

    EXPECT_EQ(grid->dequeueReusableCellWithIdentifier("other"), nullptr);
    grid->selectCellAtIndexPath({1, 2});
    EXPECT_EQ(cells->selected, NSIndexPath::indexPathForRowInSection(2, 1));
}

// Fills the free places of each section's last row with blank tiles.
class CellsWithFillers : public Cells {
  public:
    std::shared_ptr<ZELGridCellView> gridViewEmptyCellAtIndexPath(
        ZELGridScrollView& grid, const NSIndexPath& path) override {
        askedEmpty.push_back(path);
        auto cell = grid.dequeueReusableCellWithIdentifier("blank");
        return cell ? cell : std::make_shared<ZELGridCellView>("blank");
    }
    std::vector<NSIndexPath> askedEmpty;
};

TEST(ZELGridScrollView, FreePlacesOfALastRowTakeEmptyCellsThatAreNeverChosen) {
    auto cells = std::make_shared<CellsWithFillers>();
    auto grid = gridOf(cells);
    grid->layoutIfNeeded();

    // Section 0's 7 cells leave two places of its third row; section 1's 30
    // fill ten rows.
    ASSERT_EQ(cells->askedEmpty.size(), 2u);
    EXPECT_EQ(cells->askedEmpty[0], NSIndexPath::indexPathForRowInSection(7, 0));
    EXPECT_EQ(cells->askedEmpty[1], NSIndexPath::indexPathForRowInSection(8, 0));
    size_t blanks = 0;
    for (const auto& cell : grid->visibleCells())
        blanks += cell->reuseIdentifier() == "blank";
    EXPECT_EQ(blanks, 2u);
    EXPECT_EQ(grid->contentSize().height, (20 + 360) + (20 + 10 * 120));

    const CGRect blank = grid->rectForCellAtIndexPath({0, 8});
    grid->selectCellAtPoint(
        grid->convertPointToView({CGRectGetMidX(blank), CGRectGetMidY(blank)}, nullptr));
    EXPECT_EQ(cells->selected, NSIndexPath(-1, -1));
    const CGRect real = grid->rectForCellAtIndexPath({0, 6});
    grid->selectCellAtPoint(
        grid->convertPointToView({CGRectGetMidX(real), CGRectGetMidY(real)}, nullptr));
    EXPECT_EQ(cells->selected, NSIndexPath::indexPathForRowInSection(6, 0));

    // Scrolled away and back, the blanks come from the queue again.
    grid->setContentOffset({0, 1200});
    grid->layoutIfNeeded();
    grid->setContentOffset({0, 0});
    grid->layoutIfNeeded();
    EXPECT_EQ(cells->askedEmpty.size(), 4u);
    EXPECT_EQ(grid->dequeueReusableCellWithIdentifier("blank"), nullptr);
}

// Laid out at one width and shown at another (a phone upright, on its side,
// a pad's sheet, the pad itself), the grid's content ends at its last row
// and its cells keep equal margins either side.
TEST(ZELGridScrollView, AtEveryWidthTheContentEndsAtTheLastRowWithEqualSideMargins) {
    auto cells = std::make_shared<Cells>();
    auto grid = std::make_shared<ZELGridScrollView>(CGRectMake(0, 0, 320, 480));
    grid->setDataSource(cells);
    const UIEdgeInsets padding{5, 5, 10, 5};
    grid->setPaddingInset(padding);
    grid->setCellSize({142, 124});
    struct Shape {
        CGFloat width;
        long perRow;
    };
    for (const Shape shape :
         {Shape{568, 3}, Shape{540, 3}, Shape{768, 5}, Shape{1024, 7}, Shape{320, 2}}) {
        SCOPED_TRACE(testing::Message() << shape.width << " points wide");
        grid->setFrame(CGRectMake(0, 0, shape.width, 400));
        grid->layoutIfNeeded();
        const CGRect first = grid->rectForCellAtIndexPath({0, 0});
        const CGRect rowEnd = grid->rectForCellAtIndexPath({0, shape.perRow - 1});
        EXPECT_EQ(rowEnd.origin.y, first.origin.y);
        EXPECT_GT(grid->rectForCellAtIndexPath({0, shape.perRow}).origin.y, first.origin.y);
        EXPECT_NEAR(first.origin.x, shape.width - CGRectGetMaxX(rowEnd), 1e-9);
        const CGRect last = grid->rectForCellAtIndexPath({1, 29});
        EXPECT_EQ(grid->contentSize(),
                  CGSizeMake(shape.width, CGRectGetMaxY(last) + padding.bottom));
        for (const auto& cell : grid->visibleCells())
            EXPECT_TRUE(CGRectIntersectsRect(cell->frame(), grid->bounds()));
    }

    // Scrolled to its end and made wider, it rests at its new end.
    grid->setContentOffset(grid->maximumContentOffset());
    grid->setFrame(CGRectMake(0, 0, 768, 400));
    EXPECT_EQ(grid->contentOffset().y, grid->maximumContentOffset().y);
    EXPECT_EQ(grid->contentOffset().y, grid->contentSize().height - 400);
}

TEST(ZELGridCellView, PreparingForReuseEndsEditingAndHighlight) {
    ZELGridCellView cell("cover");
    cell.setEditing(true);
    cell.setHighlighted(true);
    cell.prepareForReuse();
    EXPECT_FALSE(cell.isEditing());
    EXPECT_FALSE(cell.isHighlighted());
    EXPECT_EQ(cell.reuseIdentifier(), "cover");
}

}  // namespace
