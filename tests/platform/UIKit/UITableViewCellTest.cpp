#include <string>

#include "UIKit/UIGraphics.h"
#include "UIKit/UITableViewController.h"
#include "UIKitTestSupport.h"

namespace {

std::shared_ptr<UIImage> squareImage(CGFloat size) {
    UIGraphicsBeginImageContextWithOptions({size, size}, false, 0);
    UIGraphicsGetCurrentContext()->setRGBFillColor(0.9, 0.5, 0.1, 1);
    UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, size, size));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

std::shared_ptr<UITableViewCell> makeCell(UITableViewCellStyle style, const std::string& text,
                                          const std::string& detail) {
    auto cell = std::make_shared<UITableViewCell>(style, "Cell");
    cell->setFrame(CGRectMake(0, 0, 320, 44));
    cell->textLabel()->setText(text);
    if (cell->detailTextLabel()) {
        cell->detailTextLabel()->setText(detail);
    }
    cell->layoutIfNeeded();
    return cell;
}

class UITableViewCellTest : public UIKitTest {};

TEST_F(UITableViewCellTest, StylesPlaceTheirLabels) {
    auto plain = makeCell(UITableViewCellStyleDefault, "Title", "");
    EXPECT_EQ(plain->detailTextLabel(), nullptr);
    EXPECT_EQ(plain->contentView()->superview(), plain);
    EXPECT_EQ(plain->textLabel()->frame(), CGRectMake(15, 0, 290, 44));

    auto value1 = makeCell(UITableViewCellStyleValue1, "Title", "12");
    const CGRect detail = value1->detailTextLabel()->frame();
    EXPECT_EQ(CGRectGetMaxX(detail), 305);  // right-aligned at the margin
    EXPECT_LT(CGRectGetMaxX(value1->textLabel()->frame()), detail.origin.x);

    auto subtitle = makeCell(UITableViewCellStyleSubtitle, "Title", "Detail");
    const CGRect top = subtitle->textLabel()->frame(),
                 bottom = subtitle->detailTextLabel()->frame();
    EXPECT_EQ(CGRectGetMaxY(top), bottom.origin.y);
    EXPECT_NEAR(top.origin.y, 44 - CGRectGetMaxY(bottom), 1);  // centred as a pair
    // Without detail text the title takes the whole height.
    subtitle->detailTextLabel()->setText("");
    subtitle->setNeedsLayout();
    subtitle->layoutIfNeeded();
    EXPECT_EQ(subtitle->textLabel()->frame(), CGRectMake(15, 0, 290, 44));

    auto value2 = makeCell(UITableViewCellStyleValue2, "Key", "Value");
    EXPECT_EQ(value2->textLabel()->textAlignment(), NSTextAlignmentRight);
    EXPECT_GT(value2->detailTextLabel()->frame().origin.x,
              CGRectGetMaxX(value2->textLabel()->frame()));
}

TEST_F(UITableViewCellTest, ImageAndAccessoryNarrowTheContent) {
    auto cell = makeCell(UITableViewCellStyleDefault, "Title", "");
    cell->imageView()->setImage(squareImage(29));
    cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
    cell->layoutIfNeeded();
    EXPECT_EQ(cell->imageView()->frame(), CGRectMake(15, 8, 29, 29));
    EXPECT_EQ(cell->textLabel()->frame().origin.x, 15 + 29 + 15);
    // The chevron (8 wide) ends 15 points from the right; the content stops before it.
    EXPECT_EQ(CGRectGetMaxX(cell->contentView()->frame()), 320 - 15 - 8 - 10);

    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 60, 30));
    cell->setAccessoryView(view);
    cell->layoutIfNeeded();
    EXPECT_EQ(view->frame(), CGRectMake(245, 7, 60, 30));
    EXPECT_EQ(view->superview(), cell);
    cell->setAccessoryView(nullptr);
    cell->setAccessoryType(UITableViewCellAccessoryNone);
    cell->layoutIfNeeded();
    EXPECT_EQ(view->superview(), nullptr);
    EXPECT_EQ(cell->contentView()->frame().size.width, 320);
}

TEST_F(UITableViewCellTest, HighlightAndSelectionShowTheSelectedBackground) {
    auto cell = makeCell(UITableViewCellStyleSubtitle, "Title", "Detail");
    auto selectedBackground = [&] {
        return cell->subviews().size() > 1 ? cell->subviews().front() : nullptr;
    };
    EXPECT_EQ(selectedBackground(), nullptr);
    cell->setHighlighted(true);
    ASSERT_TRUE(selectedBackground());
    EXPECT_EQ(selectedBackground()->backgroundColor(),
              UITableViewCell::selectionColorForStyle(UITableViewCellSelectionStyleBlue));
    EXPECT_TRUE(cell->textLabel()->isHighlighted());
    EXPECT_TRUE(cell->detailTextLabel()->isHighlighted());
    cell->setSelected(true);
    cell->setHighlighted(false);
    EXPECT_TRUE(selectedBackground());  // still selected

    cell->setSelectionStyle(UITableViewCellSelectionStyleGray);
    ASSERT_TRUE(selectedBackground());
    EXPECT_FALSE(cell->textLabel()->isHighlighted());  // grey keeps dark text
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    EXPECT_EQ(selectedBackground(), nullptr);

    cell->setSelectionStyle(UITableViewCellSelectionStyleBlue);
    cell->prepareForReuse();
    EXPECT_FALSE(cell->isSelected());
    EXPECT_EQ(selectedBackground(), nullptr);
}

TEST_F(UITableViewCellTest, CellsRenderAsReference) {
    auto window = makeWindow({320, 176});
    auto add = [&](std::shared_ptr<UITableViewCell> cell, CGFloat y) {
        cell->setFrame(CGRectMake(0, y, 320, 44));
        window->addSubview(cell);
        return cell;
    };
    add(makeCell(UITableViewCellStyleDefault, "Default", ""), 0)
        ->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
    add(makeCell(UITableViewCellStyleValue1, "Value 1", "Detail"), 44)
        ->setAccessoryType(UITableViewCellAccessoryCheckmark);
    auto subtitle = add(makeCell(UITableViewCellStyleSubtitle, "Subtitle", "Detail line"), 88);
    subtitle->imageView()->setImage(squareImage(29));
    add(makeCell(UITableViewCellStyleValue2, "key", "Value 2"), 132)->setSelected(true);
    EXPECT_TRUE(matchesReference(window->renderImage(2), "table-cells"));
}

// Controllers.

class Fruits : public UITableViewController {
  public:
    using UITableViewController::UITableViewController;
    int appeared = 0;
    long tableViewNumberOfRowsInSection(UITableView&, long) override { return 3; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView& table, const NSIndexPath& path) override {
        auto cell = table.dequeueReusableCellWithIdentifier("Fruit");
        if (!cell) {
            cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "Fruit");
        }
        cell->textLabel()->setText(path.row == 0 ? "Apple" : "Pear");
        return cell;
    }
    void viewWillAppear(bool animated) override {
        UITableViewController::viewWillAppear(animated);
        ++appeared;
    }
};

TEST_F(UITableViewCellTest, TableViewControllerServesItsTable) {
    auto controller = std::make_shared<Fruits>(UITableViewStyleGrouped);
    std::shared_ptr<UITableView> table = controller->tableView();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->style(), UITableViewStyleGrouped);
    EXPECT_EQ(table->dataSource(), std::static_pointer_cast<UITableViewDataSource>(controller));
    EXPECT_EQ(table->delegate(), std::static_pointer_cast<UITableViewDelegate>(controller));
    EXPECT_EQ(table->viewController(), controller);

    auto window = makeWindow({320, 480});
    window->setRootViewController(controller);
    table->layoutIfNeeded();
    EXPECT_EQ(table->visibleCells().size(), 3u);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 0})->textLabel()->text(), "Apple");

    table->selectRowAtIndexPathAnimatedScrollPosition(NSIndexPath{0, 1}, false,
                                                      UITableViewScrollPositionNone);
    controller->viewWillAppear(false);
    EXPECT_EQ(table->indexPathForSelectedRow(), std::nullopt);
    controller->setClearsSelectionOnViewWillAppear(false);
    table->selectRowAtIndexPathAnimatedScrollPosition(NSIndexPath{0, 1}, false,
                                                      UITableViewScrollPositionNone);
    controller->viewWillAppear(false);
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{0, 1}));

    controller->setEditing(true);
    EXPECT_TRUE(table->isEditing());
}

TEST_F(UITableViewCellTest, ControllerTableAndCellsFreeEachOther) {
    std::weak_ptr<UITableViewController> weakController;
    std::weak_ptr<UITableView> weakTable;
    std::weak_ptr<UITableViewCell> weakCell;
    {
        auto controller = std::make_shared<Fruits>();
        auto table = controller->tableView();
        table->setFrame(CGRectMake(0, 0, 320, 480));
        table->layoutIfNeeded();
        ASSERT_FALSE(table->visibleCells().empty());
        weakController = controller;
        weakTable = table;
        weakCell = table->visibleCells().front();
    }
    EXPECT_TRUE(weakController.expired());
    EXPECT_TRUE(weakTable.expired());
    EXPECT_TRUE(weakCell.expired());
}

}  // namespace

namespace {

TEST_F(UITableViewCellTest, ALaidOutCellStaysLaidOut) {
    // Layout that asks for layout again keeps the frame clock busy forever.
    auto window = makeWindow({320, 44});
    auto cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "cell");
    cell->setFrame(CGRectMake(0, 0, 320, 44));
    cell->textLabel()->setText("Settled");
    window->addSubview(cell);
    for (int pass = 0; pass < 3; ++pass) {
        window->layoutIfNeeded();
    }
    EXPECT_FALSE(cell->layer()->needsLayout());
}

}  // namespace
