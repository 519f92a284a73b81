#include <cmath>

#include "UIKit/UICollectionView.h"
#include "UIKit/UITouch.h"

namespace {

// How far a finger may move before a touch stops being a tap.
constexpr CGFloat kTapMovement = 10;

}  // namespace

std::vector<NSIndexPath> UICollectionView::indexPathsForSelectedItems() const {
    return {selected_.begin(), selected_.end()};
}

void UICollectionView::setItemSelected(const NSIndexPath& path, bool selected) {
    if (selected) {
        selected_.insert(path);
    } else {
        selected_.erase(path);
    }
    if (auto cell = cellForItemAtIndexPath(path)) {
        cell->setSelected(selected);
    }
}

void UICollectionView::selectItemAtIndexPathAnimatedScrollPosition(
    const std::optional<NSIndexPath>& indexPath, bool animated, unsigned position) {
    ensureLayout();
    if (!allowsMultipleSelection_ || !indexPath) {
        for (const NSIndexPath& old : std::set<NSIndexPath>(selected_)) {
            if (old != indexPath) {
                setItemSelected(old, false);
            }
        }
    }
    if (!indexPath || !validPath(*indexPath) || !allowsSelection_) {
        return;
    }
    setItemSelected(*indexPath, true);
    if (position != UICollectionViewScrollPositionNone) {
        scrollToItemAtIndexPathAtScrollPositionAnimated(*indexPath, position, animated);
    }
}

void UICollectionView::deselectItemAtIndexPathAnimated(const NSIndexPath& indexPath, bool) {
    setItemSelected(indexPath, false);
}

void UICollectionView::tapItem(const NSIndexPath& path) {
    auto d = delegate();
    if (selected_.count(path) && allowsMultipleSelection_) {
        if (!d || d->collectionViewShouldDeselectItemAtIndexPath(*this, path)) {
            setItemSelected(path, false);
            if (d) {
                d->collectionViewDidDeselectItemAtIndexPath(*this, path);
            }
        }
        return;
    }
    if (d && !d->collectionViewShouldSelectItemAtIndexPath(*this, path)) {
        return;
    }
    if (!allowsMultipleSelection_) {
        for (const NSIndexPath& old : std::set<NSIndexPath>(selected_)) {
            if (old != path) {
                setItemSelected(old, false);
                if (d) {
                    d->collectionViewDidDeselectItemAtIndexPath(*this, old);
                }
            }
        }
    }
    setItemSelected(path, true);
    if (d) {
        d->collectionViewDidSelectItemAtIndexPath(*this, path);
    }
}

void UICollectionView::endHighlight() {
    if (!touchedItem_) {
        return;
    }
    const NSIndexPath path = *touchedItem_;
    touchedItem_.reset();
    auto cell = cellForItemAtIndexPath(path);
    if (cell && cell->isHighlighted()) {
        cell->setHighlighted(false);
        if (auto d = delegate()) {
            d->collectionViewDidUnhighlightItemAtIndexPath(*this, path);
        }
    }
}

void UICollectionView::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    std::shared_ptr<UIView> self = std::static_pointer_cast<UIView>(shared_from_this());
    endHighlight();
    if (touches.empty() || !allowsSelection_) {
        UIScrollView::touchesBegan(touches, event);
        return;
    }
    std::optional<NSIndexPath> path =
        indexPathForItemAtPoint(touches.front()->locationInView(self));
    if (!path) {
        UIScrollView::touchesBegan(touches, event);
        return;
    }
    touchedItem_ = path;
    touchStart_ = touches.front()->windowLocation();
    auto d = delegate();
    auto cell = cellForItemAtIndexPath(*path);
    if (cell && (!d || d->collectionViewShouldHighlightItemAtIndexPath(*this, *path))) {
        cell->setHighlighted(true);
        if (d) {
            d->collectionViewDidHighlightItemAtIndexPath(*this, *path);
        }
    }
}

void UICollectionView::touchesMoved(const UITouchSet& touches, UIEvent* event) {
    if (!touchedItem_ || touches.empty()) {
        UIScrollView::touchesMoved(touches, event);
        return;
    }
    const CGPoint p = touches.front()->windowLocation();
    if (std::hypot(p.x - touchStart_.x, p.y - touchStart_.y) > kTapMovement) {
        endHighlight();
    }
}

void UICollectionView::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    if (!touchedItem_ || touches.empty()) {
        UIScrollView::touchesEnded(touches, event);
        return;
    }
    const NSIndexPath path = *touchedItem_;
    endHighlight();
    if (validPath(path)) {
        tapItem(path);
    }
}

void UICollectionView::touchesCancelled(const UITouchSet& touches, UIEvent* event) {
    if (!touchedItem_) {
        UIScrollView::touchesCancelled(touches, event);
        return;
    }
    endHighlight();
}
