#pragma once

#include <memory>
#include <optional>

#include "UIKit/UIGeometry.h"
#include "UIKit/UIView.h"

class CADisplayLink;
class UIPanGestureRecognizer;
class UIPinchGestureRecognizer;
class UIScrollView;

inline constexpr CGFloat UIScrollViewDecelerationRateNormal = 0.998;
inline constexpr CGFloat UIScrollViewDecelerationRateFast = 0.99;

// What a scroll view tells its delegate; every method is optional.
class UIScrollViewDelegate {
  public:
    virtual ~UIScrollViewDelegate() = default;
    virtual void scrollViewDidScroll(UIScrollView&) {}
    virtual void scrollViewDidZoom(UIScrollView&) {}
    virtual void scrollViewWillBeginDragging(UIScrollView&) {}
    // velocity in points per millisecond; the delegate may move the target.
    virtual void scrollViewWillEndDraggingWithVelocityTargetContentOffset(UIScrollView&, CGPoint,
                                                                          CGPoint*) {}
    virtual void scrollViewDidEndDraggingWillDecelerate(UIScrollView&, bool) {}
    virtual void scrollViewWillBeginDecelerating(UIScrollView&) {}
    virtual void scrollViewDidEndDecelerating(UIScrollView&) {}
    virtual void scrollViewDidEndScrollingAnimation(UIScrollView&) {}
    // nullptr: the scroll view does not zoom.
    virtual std::shared_ptr<UIView> viewForZoomingInScrollView(UIScrollView&) { return nullptr; }
    virtual void scrollViewWillBeginZoomingWithView(UIScrollView&, const std::shared_ptr<UIView>&) {
    }
    virtual void scrollViewDidEndZoomingWithViewAtScale(UIScrollView&,
                                                        const std::shared_ptr<UIView>&, CGFloat) {}
    virtual bool scrollViewShouldScrollToTop(UIScrollView&) { return true; }
    virtual void scrollViewDidScrollToTop(UIScrollView&) {}
};

// A view whose bounds' origin (the content offset) moves over a larger
// content, dragged by its pan recogniser and zoomed by its pinch recogniser.
// Zooming scales the delegate's zooming view by a transform; the content
// size follows the zooming view's frame. Drags past the edges stretch
// (bounces) and spring back; a released drag decelerates by
// decelerationRate per millisecond; pinches past the scale limits spring
// back (bouncesZoom). Programmatic animations run for 0.3 s on the frame
// clock. Content that shrinks, or bounds that change size, bring the offset
// back within the offsets the content may rest at, so that reloaded content
// is never left out of sight; not while a drag or a pinch (whose release
// springs back) or an animation moves it. The insets leave the offset alone.
// Delegate calls come in the phone's order:
// drag: willBeginDragging, didScroll..., willEndDragging, didEndDragging,
//   [willBeginDecelerating, didScroll..., didEndDecelerating];
// pinch: willBeginZooming, (didZoom, didScroll)..., [bounce: (didZoom,
//   didScroll)...], didEndZooming;
// animated offset change: didScroll..., didEndScrollingAnimation;
// animated zoom: (didZoom, didScroll)..., didEndZooming.
class UIScrollView : public UIView {
  public:
    explicit UIScrollView(const CGRect& frame = CGRectZero,
                          std::shared_ptr<CALayer> layer = nullptr);
    ~UIScrollView() override;

    std::shared_ptr<UIScrollViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIScrollViewDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    CGSize contentSize() const { return contentSize_; }
    void setContentSize(CGSize size);
    CGPoint contentOffset() const { return bounds().origin; }
    void setContentOffset(CGPoint offset);
    void setContentOffsetAnimated(CGPoint offset, bool animated);
    UIEdgeInsets contentInset() const { return contentInset_; }
    void setContentInset(const UIEdgeInsets& insets);
    UIEdgeInsets scrollIndicatorInsets() const { return indicatorInsets_; }
    void setScrollIndicatorInsets(const UIEdgeInsets& insets) { indicatorInsets_ = insets; }

    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool flag);
    bool bounces() const { return bounces_; }
    void setBounces(bool flag) { bounces_ = flag; }
    bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
    void setAlwaysBounceVertical(bool flag) { alwaysBounceVertical_ = flag; }
    bool alwaysBounceHorizontal() const { return alwaysBounceHorizontal_; }
    void setAlwaysBounceHorizontal(bool flag) { alwaysBounceHorizontal_ = flag; }
    bool isPagingEnabled() const { return pagingEnabled_; }
    void setPagingEnabled(bool flag) { pagingEnabled_ = flag; }
    bool isDirectionalLockEnabled() const { return directionalLock_; }
    void setDirectionalLockEnabled(bool flag) { directionalLock_ = flag; }
    bool showsHorizontalScrollIndicator() const { return showsHorizontal_; }
    void setShowsHorizontalScrollIndicator(bool flag) { showsHorizontal_ = flag; }
    bool showsVerticalScrollIndicator() const { return showsVertical_; }
    void setShowsVerticalScrollIndicator(bool flag) { showsVertical_ = flag; }
    // Shows the indicators of the directions the content scrolls in (thin
    // dark bars along the right and bottom edges, where the visible area lies
    // in the content) for half a second, then fades them out; a scroll
    // meanwhile moves them along.
    void flashScrollIndicators();
    bool scrollsToTop() const { return scrollsToTop_; }
    void setScrollsToTop(bool flag) { scrollsToTop_ = flag; }
    bool delaysContentTouches() const { return delaysContentTouches_; }
    void setDelaysContentTouches(bool flag);
    bool canCancelContentTouches() const { return canCancelContentTouches_; }
    void setCanCancelContentTouches(bool flag);
    CGFloat decelerationRate() const { return decelerationRate_; }
    void setDecelerationRate(CGFloat rate);

    // Zooming.
    CGFloat zoomScale() const { return zoomScale_; }
    // The zoom scale a running zoom animation ends at, else zoomScale.
    CGFloat targetZoomScale() const;
    // The content offset a running animation ends at, else contentOffset.
    CGPoint targetContentOffset() const;
    void setZoomScale(CGFloat scale);
    void setZoomScaleAnimated(CGFloat scale, bool animated);
    CGFloat minimumZoomScale() const { return minimumZoomScale_; }
    void setMinimumZoomScale(CGFloat scale);
    CGFloat maximumZoomScale() const { return maximumZoomScale_; }
    void setMaximumZoomScale(CGFloat scale);
    bool bouncesZoom() const { return bouncesZoom_; }
    void setBouncesZoom(bool flag) { bouncesZoom_ = flag; }
    // rect in the zooming view's own coordinates.
    void zoomToRectAnimated(const CGRect& rect, bool animated);
    // rect in content coordinates.
    void scrollRectToVisibleAnimated(const CGRect& rect, bool animated);

    bool isTracking() const { return tracking_; }
    bool isDragging() const { return dragging_; }
    bool isDecelerating() const { return decelerating_; }
    bool isZooming() const { return zooming_; }
    bool isZoomBouncing() const { return zoomBouncing_; }

    const std::shared_ptr<UIPanGestureRecognizer>& panGestureRecognizer() const { return pan_; }
    const std::shared_ptr<UIPinchGestureRecognizer>& pinchGestureRecognizer() const {
        return pinch_;
    }

    // The offsets the content may rest at.
    CGPoint minimumContentOffset() const;
    CGPoint maximumContentOffset() const;

    // Called by the pan recogniser when a finger touches down or lifts.
    void touchDown();
    void touchUp();

    void setBounds(const CGRect& bounds) override;
    void didMoveToWindow() override;
    bool gestureRecognizerShouldBegin(UIGestureRecognizer& recognizer) override;

  private:
    struct Animation;

    void ensureRecognizers();
    void handlePan(UIPanGestureRecognizer& pan);
    void handlePinch(UIPinchGestureRecognizer& pinch);
    std::shared_ptr<UIView> zoomingView();
    // Sets scale and offset together, telling the delegate.
    void applyZoom(CGFloat scale, CGPoint offset);
    CGPoint clampedOffset(CGPoint offset) const;
    void keepOffsetWithinContent();
    CGPoint rubberBandedOffset(CGPoint offset) const;
    bool canScrollHorizontally() const;
    bool canScrollVertically() const;
    void startAnimation(std::unique_ptr<Animation> animation);
    void stopAnimation();
    void frame(double time);
    void scrolled();
    void layoutScrollIndicators();

    std::weak_ptr<UIScrollViewDelegate> delegate_;
    CGSize contentSize_{};
    UIEdgeInsets contentInset_;
    UIEdgeInsets indicatorInsets_;
    bool scrollEnabled_ = true;
    bool bounces_ = true;
    bool alwaysBounceVertical_ = false;
    bool alwaysBounceHorizontal_ = false;
    bool pagingEnabled_ = false;
    bool directionalLock_ = false;
    bool showsHorizontal_ = true;
    bool showsVertical_ = true;
    bool scrollsToTop_ = true;
    bool delaysContentTouches_ = true;
    bool canCancelContentTouches_ = true;
    CGFloat decelerationRate_ = UIScrollViewDecelerationRateNormal;
    CGFloat zoomScale_ = 1;
    CGFloat minimumZoomScale_ = 1;
    CGFloat maximumZoomScale_ = 1;
    bool bouncesZoom_ = true;
    bool tracking_ = false;
    bool dragging_ = false;
    bool decelerating_ = false;
    bool zooming_ = false;
    bool zoomBouncing_ = false;
    CGPoint dragStartOffset_{};
    CGFloat pinchStartScale_ = 1;
    CGPoint pinchAnchor_{};  // in the zooming view's unscaled coordinates
    CGPoint lastPinchCentre_{};
    std::shared_ptr<UIView> pinchView_;
    std::shared_ptr<UIPanGestureRecognizer> pan_;
    std::shared_ptr<UIPinchGestureRecognizer> pinch_;
    std::shared_ptr<CADisplayLink> link_;
    std::unique_ptr<Animation> animation_;
    std::shared_ptr<CALayer> verticalIndicator_;
    std::shared_ptr<CALayer> horizontalIndicator_;
};
