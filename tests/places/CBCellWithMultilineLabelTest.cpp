#include "places/CBCellWithMultilineLabel.h"

#include <gtest/gtest.h>

#include "UIKit/NSString+UIKit.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "platform/UIKit/UIKitTestSupport.h"

namespace {

using CBCellWithMultilineLabelTest = UIKitTest;

CGFloat measured(const std::string& text, CGFloat size) {
    NSStringDrawingAttributes attributes;
    attributes.font = UIFont::boldSystemFontOfSize(size);
    return boundingRectWithSizeOptionsAttributes(text, {240, 600},
                                                 NSStringDrawingUsesLineFragmentOrigin, attributes)
        .size.height;
}

TEST_F(CBCellWithMultilineLabelTest, TheFontShrinksUntilTheTextFitsAndTheRowGrowsBeyond) {
    EXPECT_EQ(CBCellWithMultilineLabel::requireHeightForText(std::nullopt), 44);
    // One line at 18 points: its height and the padding, at least 44.
    EXPECT_EQ(CBCellWithMultilineLabel::requireHeightForText("Bar"),
              std::max<CGFloat>(measured("Bar", 18) + 25, 44));
    auto cell = CBCellWithMultilineLabel::create(UITableViewCellStyleSubtitle, "cell");
    cell->setFontToFitText(std::string("Bar"));
    EXPECT_EQ(cell->textLabel()->font()->pointSize(), 18);
    // Far too long for 60 points even at 14: its height at 14 points.
    const std::string opening =
        "Monday to Friday from eight in the morning until six in the evening, Saturdays "
        "until noon, closed on Sundays and on public holidays, and in August for the "
        "summer holidays of the whole family";
    ASSERT_GT(measured(opening, 14) + 25, 60);
    EXPECT_EQ(CBCellWithMultilineLabel::requireHeightForText(opening), measured(opening, 14) + 25);
    cell->setFontToFitText(opening);
    EXPECT_EQ(cell->textLabel()->font()->pointSize(), 14);
    cell->setBold(false);
    cell->setFontToFitText(opening);
    EXPECT_EQ(cell->textLabel()->font()->fontName(), UIFont::systemFontOfSize(14)->fontName());
}

TEST_F(CBCellWithMultilineLabelTest, TheDetailLineSitsAtTheBottomAndTheTextAtTheTop) {
    auto cell = CBCellWithMultilineLabel::create(UITableViewCellStyleSubtitle, "cell");
    cell->setFrame(CGRectMake(0, 0, 320, 80));
    cell->textLabel()->setText("Fritz-Reuter-Stra\u00dfe 1\n17033 Neubrandenburg");
    cell->textLabel()->setNumberOfLines(0);
    cell->detailTextLabel()->setText("Address");
    cell->layoutIfNeeded();
    EXPECT_EQ(cell->textLabel()->frame().origin.y, 5);
    const CGRect detail = cell->detailTextLabel()->frame();
    EXPECT_EQ(CGRectGetMaxY(detail), 80 - 2);
    // Without a detail the labels stay where the cell puts them.
    auto plain = CBCellWithMultilineLabel::create(UITableViewCellStyleSubtitle, "plain");
    plain->setFrame(CGRectMake(0, 0, 320, 80));
    plain->textLabel()->setText("Bar");
    plain->layoutIfNeeded();
    EXPECT_EQ(plain->textLabel()->frame().origin.y, 0);
}

}  // namespace
