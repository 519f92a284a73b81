// The zoom from a tapped cover to the full window before the map opens, and
// the cover's place for the way back.
#include <algorithm>

#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "shelf/CBMapShelfCell.h"
#include "shelf/CBMapShelfHost.h"
#include "shelf/CBMapShelfViewController.h"
#include "uiadditions/CALayer+ZELGeometry.h"
#include "uiadditions/UIView+ZORuzUvuCategory.h"
#include "widgets/ZELPatternedCollectionView.h"

namespace {
constexpr double kBandSlideDuration = 0.25;
constexpr double kZoomDuration = 0.5;
constexpr CGFloat kZoomDamping = 1.0;
constexpr CGFloat kZoomVelocity = 0.15;
constexpr double kScrollDuration = 0.25;
constexpr CGFloat kScrollMargin = 25;
}  // namespace

bool CBMapShelfViewController::isEntirelyVisibleIndexPath(const NSIndexPath& indexPath) {
    auto attributes = collectionView_->layoutAttributesForItemAtIndexPath(indexPath);
    if (!attributes)
        return false;
    const CGRect bounds = collectionView_->bounds();
    const UIEdgeInsets inset = collectionView_->contentInset();
    const CGRect visible = CGRectMake(bounds.origin.x + inset.left, bounds.origin.y + inset.top,
                                      bounds.size.width - inset.left - inset.right,
                                      bounds.size.height - inset.top - inset.bottom);
    return CGRectEqualToRect(CGRectUnion(visible, attributes->frame), visible);
}

void CBMapShelfViewController::presentMapViewControllerFromIndexPath(const NSIndexPath& indexPath) {
    presentMapViewControllerFromIndexPathAfterScrolling(indexPath, false);
}

// A cover that scrolling cannot bring wholly into sight (bars deeper than
// the margin) zooms from where it stands after one scroll.
void CBMapShelfViewController::presentMapViewControllerFromIndexPathAfterScrolling(
    const NSIndexPath& indexPath, bool scrolled) {
    auto attributes = collectionView_->layoutAttributesForItemAtIndexPath(indexPath);
    if (!attributes)
        return;
    isAnimating_ = true;
    std::weak_ptr<CBMapShelfViewController> weak = self();
    if (!scrolled && !isEntirelyVisibleIndexPath(indexPath)) {
        const CGRect target = CGRectInset(attributes->frame, -kScrollMargin, -kScrollMargin);
        UIView::animateWithDurationDelayOptionsAnimationsCompletion(
            kScrollDuration, 0, UIViewAnimationOptionCurveEaseOut,
            [weak, target] {
                if (auto me = weak.lock())
                    me->collectionView_->scrollRectToVisibleAnimated(target, false);
            },
            [weak, indexPath](bool) {
                if (auto me = weak.lock())
                    me->presentMapViewControllerFromIndexPathAfterScrolling(indexPath, true);
            });
        return;
    }
    auto navigation = navigationController();
    auto cell = std::dynamic_pointer_cast<CBMapShelfCell>(
        collectionView_->cellForItemAtIndexPath(indexPath));
    auto container = navigation ? navigation->view() : nullptr;
    if (!cell || !container) {
        zoomFinished();
        return;
    }
    cell->setClipsToBounds(true);
    const CGFloat border = cell->imageView()->layer()->borderWidth();
    const CGRect inner = CGRectInset(cell->bounds(), border, border);
    const CGSize size = container->bounds().size;
    const CGFloat scale = std::max(size.width / inner.size.width, size.height / inner.size.height);
    const CGPoint centre = cell->superview()->convertPointToView(cell->center(), container);
    setZELAbsoluteAnchorPointAndMaintainPosition(container->layer(), centre, true);

    const CGFloat bottom = cell->bounds().size.height;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        kBandSlideDuration, 0, UIViewAnimationOptionCurveEaseOut,
        [cell, bottom] {
            setCbTop(cell->labelBackgroundView(), bottom);
            setCbTop(cell->label(), bottom);
        },
        nullptr);
    UIView::
        animateWithDurationDelayUsingSpringWithDampingInitialSpringVelocityOptionsAnimationsCompletion(
            kZoomDuration, 0, kZoomDamping, kZoomVelocity, 0,
            [container, scale] {
                container->setTransform(CGAffineTransformMakeScale(scale, scale));
                const CGRect bounds = container->bounds();
                container->setCenter(CGPointMake(CGRectGetMidX(bounds), CGRectGetMidY(bounds)));
            },
            [weak](bool) {
                if (auto me = weak.lock())
                    me->zoomFinished();
            });
}

void CBMapShelfViewController::zoomFinished() {
    isAnimating_ = false;
    if (auto host = host_.lock())
        host->transitionToMapViewControllerWithCompletion(nullptr);
}

CGRect CBMapShelfViewController::rectForMapWithIdentifierScrollToViewIfNeeded(
    const std::optional<std::string>& identifier, bool scroll) {
    if (!identifier || !isViewLoaded())
        return CGRectZero;
    auto path = indexPathForMap(mapForIdentifier(identifier));
    if (!path)
        return CGRectZero;
    collectionView_->layoutIfNeeded();
    auto attributes = collectionView_->layoutAttributesForItemAtIndexPath(*path);
    if (!attributes)
        return CGRectZero;
    if (scroll)
        collectionView_->scrollToItemAtIndexPathAtScrollPositionAnimated(
            *path, UICollectionViewScrollPositionCenteredVertically, false);
    return attributes->frame;
}
