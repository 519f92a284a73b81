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

TEST(ZELGridScrollView, LaysCellsOutInRowsBelowTheHeaderAndReusesThem) {
    auto grid = std::make_shared<ZELGridScrollView>(CGRectMake(0, 0, 320, 480));
    auto cells = std::make_shared<Cells>();
    grid->setDataSource(cells);
    grid->setGridDelegate(cells);
    grid->setPaddingInset({10, 10, 10, 10});
    grid->setCellSize({100, 120});
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
