#include "UIKit/UICollectionViewCell.h"

#include <algorithm>

void UICollectionReusableView::applyLayoutAttributes(
    const UICollectionViewLayoutAttributes& attributes) {
    setFrame(attributes.frame);
    setAlpha(attributes.alpha);
    setHidden(attributes.hidden);
}

UICollectionViewCell::UICollectionViewCell(const CGRect& frame)
    : UICollectionReusableView(frame),
      contentView_(std::make_shared<UIView>(CGRect{CGPointZero, frame.size})) {
    contentView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                      UIViewAutoresizingFlexibleHeight);
    setNeedsLayout();
}

void UICollectionViewCell::attachSubviews() {
    // Views join the cell once it is owned by a shared_ptr (not in the
    // constructor), in their order: background, selected background, content.
    if (contentView_->superview().get() == this || weak_from_this().expired()) {
        return;
    }
    for (const auto& view : {backgroundView_, selectedBackground_, contentView_}) {
        if (view) {
            addSubview(view);
        }
    }
}

void UICollectionViewCell::placeSlot(std::shared_ptr<UIView>& slot,
                                     const std::shared_ptr<UIView>& view, size_t index) {
    if (slot) {
        slot->removeFromSuperview();
    }
    slot = view;
    if (view) {
        view->setFrame(bounds());
        view->setUserInteractionEnabled(false);
        if (contentView_->superview().get() == this) {
            insertSubviewAtIndex(view, std::min(index, subviews().size()));
        }
    }
}

void UICollectionViewCell::setBackgroundView(const std::shared_ptr<UIView>& view) {
    placeSlot(backgroundView_, view, 0);
}

void UICollectionViewCell::setSelectedBackgroundView(const std::shared_ptr<UIView>& view) {
    placeSlot(selectedBackground_, view, backgroundView_ ? 1 : 0);
    updateSelectedBackground();
}

void UICollectionViewCell::setSelected(bool selected) {
    selected_ = selected;
    updateSelectedBackground();
}

void UICollectionViewCell::setHighlighted(bool highlighted) {
    highlighted_ = highlighted;
    updateSelectedBackground();
}

void UICollectionViewCell::updateSelectedBackground() {
    if (selectedBackground_) {
        selectedBackground_->setHidden(!(selected_ || highlighted_));
    }
}

void UICollectionViewCell::prepareForReuse() {
    setSelected(false);
    setHighlighted(false);
}

void UICollectionViewCell::layoutSubviews() {
    attachSubviews();
    const CGRect b = bounds();
    contentView_->setFrame(b);
    for (const auto& view : {backgroundView_, selectedBackground_}) {
        if (view) {
            view->setFrame(b);
        }
    }
}
