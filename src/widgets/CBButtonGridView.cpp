#include "widgets/CBButtonGridView.h"

#include <algorithm>

#include "UIKit/UIButton.h"

CBButtonGridView::CBButtonGridView(const CGRect& frame) : UIView(frame) {}

void CBButtonGridView::addButton(const std::shared_ptr<UIButton>& button) {
    if (!button)
        return;
    buttons_.push_back(button);
    addSubview(button);
    layoutSubviews();
}

long CBButtonGridView::buttonsPerRow() const {
    const CGFloat width = bounds().size.width - kMargin;
    return std::max(1L, long(width / (kMinimumButtonWidth + kMargin)));
}

CGFloat CBButtonGridView::requiredHeight() const {
    const long perRow = buttonsPerRow();
    CGFloat height = kMargin, rowHeight = 0;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        rowHeight = std::max(rowHeight, buttons_[i]->frame().size.height);
        if (long(i % size_t(perRow)) == perRow - 1 || i + 1 == buttons_.size()) {
            height += rowHeight + kMargin;
            rowHeight = 0;
        }
    }
    return height;
}

void CBButtonGridView::layoutSubviews() {
    const long perRow = buttonsPerRow();
    const CGFloat width = (bounds().size.width - kMargin * CGFloat(perRow + 1)) / CGFloat(perRow);
    CGFloat y = kMargin, rowHeight = 0;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        const long column = long(i % size_t(perRow));
        const CGFloat height = buttons_[i]->frame().size.height;
        buttons_[i]->setFrame(
            CGRectMake(kMargin + CGFloat(column) * (width + kMargin), y, width, height));
        rowHeight = std::max(rowHeight, height);
        if (column == perRow - 1) {
            y += rowHeight + kMargin;
            rowHeight = 0;
        }
    }
}
