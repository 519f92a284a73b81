#include "places/CBCellWithMultilineLabel.h"

#include <algorithm>

#include "UIKit/NSString+UIKit.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "widgets/CBCopyableLabel.h"

namespace {

constexpr CGFloat kLargestFontSize = 18;
constexpr CGFloat kSmallestFontSize = 14;
constexpr CGFloat kTextWidth = 240;
constexpr CGFloat kTextHeightLimit = 600;
// Room above and below the text, and the most a row may take before the
// font gets smaller.
constexpr CGFloat kVerticalPadding = 25;
constexpr CGFloat kHeightBudget = 60;
constexpr CGFloat kMinimumRowHeight = 44;

UIFontRef fontOfSize(CGFloat size, bool bold) {
    return bold ? UIFont::boldSystemFontOfSize(size) : UIFont::systemFontOfSize(size);
}

struct Fit {
    CGFloat fontSize;
    CGFloat height;
};

// The first size from the largest down at which the text fits the budget,
// else the smallest; with the row height the text needs at that size.
Fit fitText(const std::string& text, bool bold) {
    Fit fit{kLargestFontSize, 0};
    for (CGFloat size = kLargestFontSize; size >= kSmallestFontSize; --size) {
        NSStringDrawingAttributes attributes;
        attributes.font = fontOfSize(size, bold);
        const CGRect measured = boundingRectWithSizeOptionsAttributes(
            text, {kTextWidth, kTextHeightLimit}, NSStringDrawingUsesLineFragmentOrigin,
            attributes);
        fit = {size, measured.size.height + kVerticalPadding};
        if (fit.height <= kHeightBudget)
            break;
    }
    return fit;
}

}  // namespace

std::shared_ptr<CBCellWithMultilineLabel> CBCellWithMultilineLabel::create(
    UITableViewCellStyle style, const std::string& reuseIdentifier) {
    auto cell = std::make_shared<CBCellWithMultilineLabel>(style, reuseIdentifier);
    CBAddCopyLongPress(cell);
    return cell;
}

CGFloat CBCellWithMultilineLabel::requireHeightForTextWithBoldText(
    const std::optional<std::string>& text, bool bold) {
    if (!text)
        return kMinimumRowHeight;
    return std::max(fitText(*text, bold).height, kMinimumRowHeight);
}

void CBCellWithMultilineLabel::setFontToFitText(const std::optional<std::string>& text) {
    textLabel()->setFont(fontOfSize(fitText(text.value_or(""), bold_).fontSize, bold_));
}

void CBCellWithMultilineLabel::layoutSubviews() {
    CBCellWithCopyableLabel::layoutSubviews();
    const auto& detail = detailTextLabel();
    if (!detail || detail->text().empty())
        return;
    // The text gets the width the row's height was measured for, where the
    // cell has it, so it wraps into no more lines than the row has room for;
    // each label is as tall as its own text.
    CGRect text = textLabel()->frame();
    const CGFloat room = contentView()->bounds().size.width - text.origin.x;
    text.size.width = std::max(text.size.width, std::min(kTextWidth, room));
    text.size.height = textLabel()->sizeThatFits({text.size.width, kTextHeightLimit}).height;
    text.origin.y = 5;
    textLabel()->setFrame(text);
    CGRect small = detail->frame();
    small.size.height = detail->sizeThatFits({small.size.width, kTextHeightLimit}).height;
    small.origin.y = contentView()->bounds().size.height - small.size.height - 2;
    detail->setFrame(small);
}
