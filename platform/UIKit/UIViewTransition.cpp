#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UIView.h"

namespace {

constexpr unsigned kTransitionMask = 7u << 20;

}  // namespace

void UIView::transitionWithViewDurationOptionsAnimationsCompletion(
    const std::shared_ptr<UIView>& view, double duration, unsigned options,
    std::function<void()> animations, std::function<void(bool)> completion) {
    const unsigned transition = options & kTransitionMask;
    if (!view || transition == UIViewAnimationOptionTransitionNone || duration <= 0 ||
        !areAnimationsEnabled()) {
        performWithoutAnimation(animations);
        if (completion) {
            UIView::animateWithDurationAnimationsCompletion(0, nullptr, std::move(completion));
        }
        return;
    }
    // The old picture stays on top of the view while the new content is set.
    std::shared_ptr<UIImage> before = view->snapshotImage();
    performWithoutAnimation(animations);
    auto cover = std::make_shared<UIImageView>(before);
    cover->setFrame(view->bounds());
    view->addSubview(cover);
    const unsigned curve = options & (3u << 16);
    const bool flip = transition == UIViewAnimationOptionTransitionFlipFromLeft ||
                      transition == UIViewAnimationOptionTransitionFlipFromRight ||
                      transition == UIViewAnimationOptionTransitionFlipFromTop ||
                      transition == UIViewAnimationOptionTransitionFlipFromBottom;
    if (!flip) {
        animateWithDurationDelayOptionsAnimationsCompletion(
            duration, 0, curve, [cover] { cover->setAlpha(0); },
            [cover, completion](bool finished) {
                cover->removeFromSuperview();
                if (completion) {
                    completion(finished);
                }
            });
        return;
    }
    const bool sideways = transition == UIViewAnimationOptionTransitionFlipFromLeft ||
                          transition == UIViewAnimationOptionTransitionFlipFromRight;
    const CGAffineTransform original = view->transform();
    const CGAffineTransform edge =
        CGAffineTransformConcat(original, sideways ? CGAffineTransformMakeScale(0.001, 1)
                                                   : CGAffineTransformMakeScale(1, 0.001));
    animateWithDurationDelayOptionsAnimationsCompletion(
        duration / 2, 0, UIViewAnimationOptionCurveEaseIn,
        [view, edge] { view->setTransform(edge); },
        [view, cover, original, duration, completion](bool) {
            cover->removeFromSuperview();
            animateWithDurationDelayOptionsAnimationsCompletion(
                duration / 2, 0, UIViewAnimationOptionCurveEaseOut,
                [view, original] { view->setTransform(original); }, completion);
        });
}

void UIView::transitionFromViewToViewDurationOptionsCompletion(
    const std::shared_ptr<UIView>& fromView, const std::shared_ptr<UIView>& toView, double duration,
    unsigned options, std::function<void(bool)> completion) {
    std::shared_ptr<UIView> container = fromView ? fromView->superview() : nullptr;
    if (!container || !toView) {
        if (completion) {
            completion(false);
        }
        return;
    }
    const bool showHide = options & UIViewAnimationOptionShowHideTransitionViews;
    transitionWithViewDurationOptionsAnimationsCompletion(
        container, duration, options,
        [container, fromView, toView, showHide] {
            if (showHide) {
                fromView->setHidden(true);
                toView->setHidden(false);
                return;
            }
            container->insertSubviewAboveSubview(toView, fromView);
            fromView->removeFromSuperview();
        },
        std::move(completion));
}
