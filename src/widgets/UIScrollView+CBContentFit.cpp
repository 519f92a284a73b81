#include "widgets/UIScrollView+CBContentFit.h"

#include <algorithm>

#include "UIKit/UIScrollView.h"

void UIScrollViewFitContentHeightToSubviews(UIScrollView& scroll, CGFloat bottomMargin) {
    CGFloat bottom = 0;
    for (const auto& subview : scroll.subviews()) {
        if (subview->isHidden() || subview->alpha() <= 0)
            continue;
        bottom = std::max(bottom, CGRectGetMaxY(subview->frame()) + bottomMargin);
    }
    const CGRect bounds = scroll.bounds();
    const CGFloat room =
        bounds.size.height - scroll.contentInset().top - scroll.contentInset().bottom;
    const CGSize size{bounds.size.width, std::max(bottom, room)};
    if (size != scroll.contentSize())
        scroll.setContentSize(size);
}
