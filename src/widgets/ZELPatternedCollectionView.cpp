#include "widgets/ZELPatternedCollectionView.h"

#include <algorithm>

#include "widgets/ZELPatternedCollectionViewBackground.h"

std::shared_ptr<ZELPatternedCollectionView> ZELPatternedCollectionView::create(
    const CGRect& frame, std::shared_ptr<UICollectionViewLayout> layout) {
    auto view = std::make_shared<ZELPatternedCollectionView>(frame, std::move(layout));
    view->insertSubviewAtIndex(view->pattern_, 0);
    return view;
}

ZELPatternedCollectionView::ZELPatternedCollectionView(
    const CGRect& frame, std::shared_ptr<UICollectionViewLayout> layout)
    : UICollectionView(frame, std::move(layout)),
      pattern_(std::make_shared<ZELPatternedCollectionViewBackground>()) {}

void ZELPatternedCollectionView::setTopPatternOffset(CGFloat offset) {
    topPatternOffset_ = offset;
    setNeedsLayout();
}

void ZELPatternedCollectionView::layoutSubviews() {
    UICollectionView::layoutSubviews();
    // In content coordinates, from the offset to below the last item (at
    // least the visible height), so the stripes move with the items.
    const CGFloat height =
        std::max(contentSize().height, bounds().size.height + contentOffset().y) -
        topPatternOffset_;
    const CGRect frame =
        CGRectMake(0, topPatternOffset_, bounds().size.width, std::max<CGFloat>(0, height));
    if (pattern_->frame() != frame)
        pattern_->setFrame(frame);
    if (pattern_->superview() && subviews().front() != pattern_)
        sendSubviewToBack(pattern_);
}
