#include "UIKit/UIScrollView.h"

#include <algorithm>
#include <cmath>

#include "QuartzCore/CADisplayLink.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIPanGestureRecognizer.h"
#include "UIKit/UIPinchGestureRecognizer.h"

namespace {

constexpr double kAnimationDuration = 0.3;

// The scroll view's own recognisers: they tell it about touch-down and
// lift-off, and never prevent each other.
class ScrollPanRecognizer : public UIPanGestureRecognizer {
  public:
    explicit ScrollPanRecognizer(UIScrollView* owner) : owner_(owner) {}
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override {
        UIPanGestureRecognizer::touchesBegan(touches, event);
        owner_->touchDown();
    }
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override {
        UIPanGestureRecognizer::touchesEnded(touches, event);
        if (activeTouches().size() <= touches.size()) {
            owner_->touchUp();
        }
    }
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override {
        UIPanGestureRecognizer::touchesCancelled(touches, event);
        owner_->touchUp();
    }
    bool canPreventGestureRecognizer(const UIGestureRecognizer& other) const override {
        return other.view().get() != owner_;
    }
    bool canBePreventedByGestureRecognizer(const UIGestureRecognizer& other) const override {
        return other.view().get() != owner_;
    }

  private:
    UIScrollView* owner_;
};

class ScrollPinchRecognizer : public UIPinchGestureRecognizer {
  public:
    explicit ScrollPinchRecognizer(UIScrollView* owner) : owner_(owner) {}
    bool canPreventGestureRecognizer(const UIGestureRecognizer& other) const override {
        return other.view().get() != owner_;
    }
    bool canBePreventedByGestureRecognizer(const UIGestureRecognizer& other) const override {
        return other.view().get() != owner_;
    }

  private:
    UIScrollView* owner_;
};

CGFloat rubberBand(CGFloat distance, CGFloat dimension) {
    if (dimension <= 0) {
        return 0;
    }
    return (1 - 1 / (distance * 0.55 / dimension + 1)) * dimension;
}

CGFloat easeOut(CGFloat t) {
    const CGFloat u = 1 - std::clamp(t, 0.0, 1.0);
    return 1 - u * u * u;
}

}  // namespace

struct UIScrollView::Animation {
    enum class Kind { Offset, Zoom, Decelerate, Settle };
    Kind kind;
    double start;
    CGPoint fromOffset, toOffset;
    CGFloat fromScale = 1, toScale = 1;
};

UIScrollView::UIScrollView(const CGRect& frame, std::shared_ptr<CALayer> layer)
    : UIView(frame, std::move(layer)) {
    setClipsToBounds(true);
}

UIScrollView::~UIScrollView() {
    if (link_) {
        link_->invalidate();
    }
}

void UIScrollView::ensureRecognizers() {
    if (pan_ || weak_from_this().expired()) {
        return;
    }
    pan_ = std::make_shared<ScrollPanRecognizer>(this);
    pan_->addTarget(
        [this](UIGestureRecognizer& r) { handlePan(static_cast<UIPanGestureRecognizer&>(r)); });
    pinch_ = std::make_shared<ScrollPinchRecognizer>(this);
    pinch_->addTarget(
        [this](UIGestureRecognizer& r) { handlePinch(static_cast<UIPinchGestureRecognizer&>(r)); });
    addGestureRecognizer(pan_);
    addGestureRecognizer(pinch_);
}

void UIScrollView::didMoveToWindow() {
    ensureRecognizers();
}

void UIScrollView::setContentSize(CGSize size) {
    ensureRecognizers();
    contentSize_ = size;
    keepOffsetWithinContent();
}

void UIScrollView::setContentInset(const UIEdgeInsets& insets) {
    contentInset_ = insets;
}

void UIScrollView::setScrollEnabled(bool flag) {
    ensureRecognizers();
    scrollEnabled_ = flag;
}

void UIScrollView::setDelaysContentTouches(bool flag) {
    ensureRecognizers();
    delaysContentTouches_ = flag;
}

void UIScrollView::setCanCancelContentTouches(bool flag) {
    ensureRecognizers();
    canCancelContentTouches_ = flag;
    pan_->setCancelsTouchesInView(flag);
}

void UIScrollView::setDecelerationRate(CGFloat rate) {
    decelerationRate_ = std::clamp(rate, 0.5, 0.9999);
}

CGPoint UIScrollView::minimumContentOffset() const {
    return {-contentInset_.left, -contentInset_.top};
}

CGPoint UIScrollView::maximumContentOffset() const {
    const CGSize b = bounds().size;
    const CGPoint min = minimumContentOffset();
    return {std::max(min.x, contentSize_.width + contentInset_.right - b.width),
            std::max(min.y, contentSize_.height + contentInset_.bottom - b.height)};
}

bool UIScrollView::canScrollHorizontally() const {
    return alwaysBounceHorizontal_ || maximumContentOffset().x > minimumContentOffset().x;
}

bool UIScrollView::canScrollVertically() const {
    return alwaysBounceVertical_ || maximumContentOffset().y > minimumContentOffset().y;
}

CGPoint UIScrollView::clampedOffset(CGPoint offset) const {
    const CGPoint min = minimumContentOffset(), max = maximumContentOffset();
    return {std::clamp(offset.x, min.x, max.x), std::clamp(offset.y, min.y, max.y)};
}

CGPoint UIScrollView::rubberBandedOffset(CGPoint offset) const {
    const CGPoint min = minimumContentOffset(), max = maximumContentOffset();
    const CGSize b = bounds().size;
    auto axis = [](CGFloat v, CGFloat lo, CGFloat hi, CGFloat dim) {
        if (v < lo) {
            return lo - rubberBand(lo - v, dim);
        }
        if (v > hi) {
            return hi + rubberBand(v - hi, dim);
        }
        return v;
    };
    return {axis(offset.x, min.x, max.x, b.width), axis(offset.y, min.y, max.y, b.height)};
}

void UIScrollView::setBounds(const CGRect& bounds) {
    const CGRect old = this->bounds();
    UIView::setBounds(bounds);
    if (old.origin != this->bounds().origin) {
        scrolled();
    }
    if (old.size != this->bounds().size) {
        keepOffsetWithinContent();
    }
}

void UIScrollView::keepOffsetWithinContent() {
    if (dragging_ || zooming_ || animation_) {
        return;
    }
    const CGPoint offset = clampedOffset(contentOffset());
    if (offset != contentOffset()) {
        setContentOffset(offset);
    }
}

void UIScrollView::scrolled() {
    layoutScrollIndicators();
    if (auto d = delegate()) {
        d->scrollViewDidScroll(*this);
    }
}

void UIScrollView::setContentOffset(CGPoint offset) {
    CGRect b = bounds();
    b.origin = offset;
    setBounds(b);
}

void UIScrollView::setContentOffsetAnimated(CGPoint offset, bool animated) {
    stopAnimation();
    if (!animated) {
        setContentOffset(offset);
        return;
    }
    if (offset == contentOffset()) {
        return;
    }
    startAnimation(std::make_unique<Animation>(
        Animation{Animation::Kind::Offset, CACurrentMediaTime(), contentOffset(), offset}));
}

// Zooming.

std::shared_ptr<UIView> UIScrollView::zoomingView() {
    auto d = delegate();
    return d ? d->viewForZoomingInScrollView(*this) : nullptr;
}

void UIScrollView::setMinimumZoomScale(CGFloat scale) {
    ensureRecognizers();
    if (scale > 0) {
        minimumZoomScale_ = scale;
    }
}

void UIScrollView::setMaximumZoomScale(CGFloat scale) {
    ensureRecognizers();
    if (scale > 0) {
        maximumZoomScale_ = scale;
    }
}

void UIScrollView::applyZoom(CGFloat scale, CGPoint offset) {
    std::shared_ptr<UIView> view = zoomingView();
    zoomScale_ = scale;
    if (view) {
        const CGPoint origin = view->frame().origin;
        const CGSize size = view->bounds().size;
        view->setTransform(CGAffineTransformMakeScale(scale, scale));
        const CGPoint anchor = view->layer()->anchorPoint();
        view->setCenter(
            {origin.x + anchor.x * size.width * scale, origin.y + anchor.y * size.height * scale});
        contentSize_ = {size.width * scale, size.height * scale};
    }
    const CGPoint old = contentOffset();
    setContentOffset(offset);
    if (old == contentOffset()) {
        scrolled();  // the zoom moved the content under a fixed offset
    }
    // Told once scale and offset agree: what it shows is where it is.
    if (auto d = view ? delegate() : nullptr) {
        d->scrollViewDidZoom(*this);
    }
}

CGFloat UIScrollView::targetZoomScale() const {
    const bool zooming = animation_ && (animation_->kind == Animation::Kind::Zoom ||
                                        animation_->kind == Animation::Kind::Settle);
    return zooming ? animation_->toScale : zoomScale_;
}

CGPoint UIScrollView::targetContentOffset() const {
    return animation_ ? animation_->toOffset : contentOffset();
}

void UIScrollView::setZoomScale(CGFloat scale) {
    setZoomScaleAnimated(scale, false);
}

void UIScrollView::setZoomScaleAnimated(CGFloat scale, bool animated) {
    ensureRecognizers();
    std::shared_ptr<UIView> view = zoomingView();
    scale = std::clamp(scale, minimumZoomScale_, std::max(minimumZoomScale_, maximumZoomScale_));
    if (!view) {
        zoomScale_ = scale;
        return;
    }
    // The centre of the visible area stays put.
    const CGSize b = bounds().size;
    const CGPoint origin = view->frame().origin;
    const CGPoint o = contentOffset();
    const CGPoint anchor{(o.x + b.width / 2 - origin.x) / zoomScale_,
                         (o.y + b.height / 2 - origin.y) / zoomScale_};
    stopAnimation();
    const CGFloat old = zoomScale_;
    zoomScale_ = scale;
    contentSize_ = {view->bounds().size.width * scale, view->bounds().size.height * scale};
    const CGPoint target = clampedOffset(
        {origin.x + anchor.x * scale - b.width / 2, origin.y + anchor.y * scale - b.height / 2});
    zoomScale_ = old;
    if (!animated) {
        applyZoom(scale, target);
        return;
    }
    startAnimation(std::make_unique<Animation>(
        Animation{Animation::Kind::Zoom, CACurrentMediaTime(), o, target, old, scale}));
}

void UIScrollView::zoomToRectAnimated(const CGRect& rect, bool animated) {
    ensureRecognizers();
    std::shared_ptr<UIView> view = zoomingView();
    if (!view || CGRectIsEmpty(rect)) {
        return;
    }
    const CGSize b = bounds().size;
    const CGFloat scale =
        std::clamp(std::min(b.width / rect.size.width, b.height / rect.size.height),
                   minimumZoomScale_, std::max(minimumZoomScale_, maximumZoomScale_));
    const CGPoint origin = view->frame().origin;
    const CGFloat old = zoomScale_;
    const CGSize oldContent = contentSize_;
    zoomScale_ = scale;
    contentSize_ = {view->bounds().size.width * scale, view->bounds().size.height * scale};
    const CGPoint target = clampedOffset({origin.x + CGRectGetMidX(rect) * scale - b.width / 2,
                                          origin.y + CGRectGetMidY(rect) * scale - b.height / 2});
    zoomScale_ = old;
    contentSize_ = oldContent;
    stopAnimation();
    if (!animated) {
        applyZoom(scale, target);
        return;
    }
    startAnimation(std::make_unique<Animation>(Animation{
        Animation::Kind::Zoom, CACurrentMediaTime(), contentOffset(), target, old, scale}));
}

void UIScrollView::scrollRectToVisibleAnimated(const CGRect& rect, bool animated) {
    const CGRect visible{contentOffset(), bounds().size};
    CGPoint offset = visible.origin;
    auto axis = [](CGFloat lo, CGFloat hi, CGFloat vlo, CGFloat vhi, CGFloat current) {
        if (hi - lo > vhi - vlo || lo < vlo) {
            return current - (vlo - lo);
        }
        if (hi > vhi) {
            return current + (hi - vhi);
        }
        return current;
    };
    offset.x = axis(CGRectGetMinX(rect), CGRectGetMaxX(rect), CGRectGetMinX(visible),
                    CGRectGetMaxX(visible), offset.x);
    offset.y = axis(CGRectGetMinY(rect), CGRectGetMaxY(rect), CGRectGetMinY(visible),
                    CGRectGetMaxY(visible), offset.y);
    setContentOffsetAnimated(clampedOffset(offset), animated);
}

// Touches and gestures.

bool UIScrollView::gestureRecognizerShouldBegin(UIGestureRecognizer& recognizer) {
    if (&recognizer == pan_.get()) {
        return scrollEnabled_;
    }
    if (&recognizer == pinch_.get()) {
        return maximumZoomScale_ > minimumZoomScale_ && zoomingView() != nullptr;
    }
    return true;
}

void UIScrollView::touchDown() {
    tracking_ = true;
    if (animation_ && animation_->kind == Animation::Kind::Decelerate) {
        // A finger stops the deceleration where it is.
        stopAnimation();
    }
}

void UIScrollView::touchUp() {
    if (!dragging_) {
        tracking_ = false;
    }
}

void UIScrollView::handlePan(UIPanGestureRecognizer& pan) {
    std::shared_ptr<UIView> self = std::static_pointer_cast<UIView>(shared_from_this());
    const auto state = pan.state();
    if (state == UIGestureRecognizerStateBegan) {
        stopAnimation();
        dragging_ = true;
        tracking_ = true;
        dragStartOffset_ = contentOffset();
        if (auto d = delegate()) {
            d->scrollViewWillBeginDragging(*this);
        }
    }
    if (state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateChanged) {
        if (zooming_) {
            // The pinch moves the content; the drag resumes from here afterwards.
            pan.setTranslationInView(CGPointZero, self);
            dragStartOffset_ = contentOffset();
            return;
        }
        const CGPoint t = pan.translationInView(self);
        CGPoint offset{dragStartOffset_.x - (canScrollHorizontally() ? t.x : 0),
                       dragStartOffset_.y - (canScrollVertically() ? t.y : 0)};
        offset = bounces_ ? rubberBandedOffset(offset) : clampedOffset(offset);
        setContentOffset(offset);
        return;
    }
    if (state != UIGestureRecognizerStateEnded && state != UIGestureRecognizerStateCancelled) {
        return;
    }
    CGPoint velocity{};
    if (state == UIGestureRecognizerStateEnded && !zooming_) {
        const CGPoint v = pan.velocityInView(self);
        velocity = {canScrollHorizontally() ? -v.x : 0, canScrollVertically() ? -v.y : 0};
    }
    const CGPoint offset = contentOffset();
    const CGFloat rate = decelerationRate_;
    CGPoint target{offset.x + velocity.x / 1000 * rate / (1 - rate),
                   offset.y + velocity.y / 1000 * rate / (1 - rate)};
    if (pagingEnabled_) {
        const CGSize b = bounds().size;
        auto page = [](CGFloat start, CGFloat current, CGFloat v, CGFloat size) {
            if (size <= 0) {
                return current;
            }
            CGFloat p = std::round(current / size);
            if (std::fabs(v) > 200) {
                p = v > 0 ? std::floor(start / size) + 1 : std::ceil(start / size) - 1;
            }
            return p * size;
        };
        target = {page(dragStartOffset_.x, offset.x, velocity.x, b.width),
                  page(dragStartOffset_.y, offset.y, velocity.y, b.height)};
    }
    target = clampedOffset(target);
    dragging_ = false;
    tracking_ = false;
    if (auto d = delegate()) {
        d->scrollViewWillEndDraggingWithVelocityTargetContentOffset(
            *this, {velocity.x / 1000, velocity.y / 1000}, &target);
    }
    const bool decelerate =
        std::fabs(target.x - offset.x) >= 0.5 || std::fabs(target.y - offset.y) >= 0.5;
    if (auto d = delegate()) {
        d->scrollViewDidEndDraggingWillDecelerate(*this, decelerate);
    }
    if (!decelerate) {
        if (target != offset) {
            setContentOffset(target);
        }
        return;
    }
    decelerating_ = true;
    if (auto d = delegate()) {
        d->scrollViewWillBeginDecelerating(*this);
    }
    startAnimation(std::make_unique<Animation>(
        Animation{Animation::Kind::Decelerate, CACurrentMediaTime(), offset, target}));
}

void UIScrollView::handlePinch(UIPinchGestureRecognizer& pinch) {
    std::shared_ptr<UIView> self = std::static_pointer_cast<UIView>(shared_from_this());
    const auto state = pinch.state();
    if (state == UIGestureRecognizerStateBegan) {
        pinchView_ = zoomingView();
        if (!pinchView_) {
            return;
        }
        stopAnimation();
        zooming_ = true;
        if (auto d = delegate()) {
            d->scrollViewWillBeginZoomingWithView(*this, pinchView_);
        }
        pinchStartScale_ = zoomScale_;
        const CGPoint c = pinch.locationInView(self);
        const CGPoint origin = pinchView_->frame().origin;
        pinchAnchor_ = {(c.x - origin.x) / zoomScale_, (c.y - origin.y) / zoomScale_};
    }
    if (!pinchView_ || !zooming_) {
        return;
    }
    const CGPoint origin = pinchView_->frame().origin;
    if (state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateChanged) {
        // Where the fingers are, relative to the visible area.
        const CGPoint c = pinch.locationInView(self);
        const CGPoint o = contentOffset();
        lastPinchCentre_ = {c.x - o.x, c.y - o.y};
        CGFloat scale = pinchStartScale_ * pinch.scale();
        if (scale > maximumZoomScale_) {
            scale = bouncesZoom_ ? maximumZoomScale_ * std::pow(scale / maximumZoomScale_, 0.4)
                                 : maximumZoomScale_;
        } else if (scale < minimumZoomScale_) {
            scale = bouncesZoom_ ? minimumZoomScale_ * std::pow(scale / minimumZoomScale_, 0.4)
                                 : minimumZoomScale_;
        }
        const CGFloat oldScale = zoomScale_;
        zoomScale_ = scale;
        contentSize_ = {pinchView_->bounds().size.width * scale,
                        pinchView_->bounds().size.height * scale};
        CGPoint offset{origin.x + pinchAnchor_.x * scale - lastPinchCentre_.x,
                       origin.y + pinchAnchor_.y * scale - lastPinchCentre_.y};
        offset = bounces_ ? rubberBandedOffset(offset) : clampedOffset(offset);
        zoomScale_ = oldScale;
        applyZoom(scale, offset);
        return;
    }
    if (state != UIGestureRecognizerStateEnded && state != UIGestureRecognizerStateCancelled) {
        return;
    }
    zooming_ = false;
    const CGFloat target =
        std::clamp(zoomScale_, minimumZoomScale_, std::max(minimumZoomScale_, maximumZoomScale_));
    const CGFloat oldScale = zoomScale_;
    const CGSize oldContent = contentSize_;
    zoomScale_ = target;
    contentSize_ = {pinchView_->bounds().size.width * target,
                    pinchView_->bounds().size.height * target};
    const CGPoint targetOffset =
        clampedOffset({origin.x + pinchAnchor_.x * target - lastPinchCentre_.x,
                       origin.y + pinchAnchor_.y * target - lastPinchCentre_.y});
    zoomScale_ = oldScale;
    contentSize_ = oldContent;
    if (target == oldScale && targetOffset == contentOffset()) {
        std::shared_ptr<UIView> view = std::move(pinchView_);
        if (auto d = delegate()) {
            d->scrollViewDidEndZoomingWithViewAtScale(*this, view, zoomScale_);
        }
        return;
    }
    zoomBouncing_ = target != oldScale;
    startAnimation(
        std::make_unique<Animation>(Animation{Animation::Kind::Settle, CACurrentMediaTime(),
                                              contentOffset(), targetOffset, oldScale, target}));
}

// Animations on the frame clock.

void UIScrollView::startAnimation(std::unique_ptr<Animation> animation) {
    animation_ = std::move(animation);
    if (!link_) {
        std::weak_ptr<UIView> weak = std::static_pointer_cast<UIView>(shared_from_this());
        link_ = CADisplayLink::displayLinkWithCallback([weak](CADisplayLink& link) {
            if (auto self = std::static_pointer_cast<UIScrollView>(weak.lock())) {
                self->frame(link.timestamp());
            }
        });
        link_->addToMainRunLoop();
    }
    link_->setPaused(false);
}

void UIScrollView::stopAnimation() {
    if (!animation_) {
        return;
    }
    animation_.reset();
    decelerating_ = false;
    zoomBouncing_ = false;
    if (link_) {
        link_->setPaused(true);
    }
}

void UIScrollView::frame(double time) {
    if (!animation_) {
        if (link_) {
            link_->setPaused(true);
        }
        return;
    }
    std::shared_ptr<UIView> keep = std::static_pointer_cast<UIView>(shared_from_this());
    const Animation a = *animation_;
    const double elapsed = time - a.start;
    bool done = false;
    if (a.kind == Animation::Kind::Decelerate) {
        const double f = 1 - std::pow(decelerationRate_, elapsed * 1000);
        const CGPoint p{a.fromOffset.x + (a.toOffset.x - a.fromOffset.x) * f,
                        a.fromOffset.y + (a.toOffset.y - a.fromOffset.y) * f};
        done = std::fabs(a.toOffset.x - p.x) < 0.5 && std::fabs(a.toOffset.y - p.y) < 0.5;
        setContentOffset(done ? a.toOffset : p);
    } else {
        const CGFloat t = std::clamp(elapsed / kAnimationDuration, 0.0, 1.0);
        done = t >= 1;
        const CGFloat e = easeOut(t);
        if (a.kind == Animation::Kind::Offset) {
            const CGPoint p{a.fromOffset.x + (a.toOffset.x - a.fromOffset.x) * e,
                            a.fromOffset.y + (a.toOffset.y - a.fromOffset.y) * e};
            setContentOffset(done ? a.toOffset : p);
        } else {
            // Scales change geometrically, so a zoom feels even. The point of
            // the zooming view at the middle of the visible area moves evenly
            // from where it was to where it goes: a zoom about the middle keeps
            // that point in place on every frame, so a zoom started before this
            // one ends keeps it too.
            const CGFloat scale =
                done ? a.toScale : a.fromScale * std::pow(a.toScale / a.fromScale, e);
            CGPoint offset = a.toOffset;
            if (std::shared_ptr<UIView> view = zoomingView(); view && !done) {
                const CGPoint origin = view->frame().origin;
                const CGSize b = bounds().size;
                auto middle = [&](CGPoint o, CGFloat s) {
                    return CGPoint{(o.x + b.width / 2 - origin.x) / s,
                                   (o.y + b.height / 2 - origin.y) / s};
                };
                const CGPoint from = middle(a.fromOffset, a.fromScale);
                const CGPoint to = middle(a.toOffset, a.toScale);
                offset = {origin.x + (from.x + (to.x - from.x) * e) * scale - b.width / 2,
                          origin.y + (from.y + (to.y - from.y) * e) * scale - b.height / 2};
            }
            applyZoom(scale, offset);
        }
    }
    if (!done) {
        return;
    }
    animation_.reset();
    if (link_) {
        link_->setPaused(true);
    }
    auto d = delegate();
    switch (a.kind) {
        case Animation::Kind::Decelerate:
            decelerating_ = false;
            if (d) {
                d->scrollViewDidEndDecelerating(*this);
            }
            break;
        case Animation::Kind::Offset:
            if (d) {
                d->scrollViewDidEndScrollingAnimation(*this);
            }
            break;
        case Animation::Kind::Zoom:
            if (d) {
                d->scrollViewDidEndZoomingWithViewAtScale(*this, zoomingView(), zoomScale_);
            }
            break;
        case Animation::Kind::Settle: {
            zoomBouncing_ = false;
            std::shared_ptr<UIView> view = std::move(pinchView_);
            if (d) {
                d->scrollViewDidEndZoomingWithViewAtScale(*this, view, zoomScale_);
            }
            break;
        }
    }
}
