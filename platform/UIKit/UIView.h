#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreGraphics/CGAffineTransform.h"
#include "CoreGraphics/CGContext.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIGeometry.h"
#include "UIKit/UIResponder.h"

class UIGestureRecognizer;
class UIImage;
class UIViewController;
class UIWindow;

enum UIViewAutoresizing : unsigned {
    UIViewAutoresizingNone = 0,
    UIViewAutoresizingFlexibleLeftMargin = 1 << 0,
    UIViewAutoresizingFlexibleWidth = 1 << 1,
    UIViewAutoresizingFlexibleRightMargin = 1 << 2,
    UIViewAutoresizingFlexibleTopMargin = 1 << 3,
    UIViewAutoresizingFlexibleHeight = 1 << 4,
    UIViewAutoresizingFlexibleBottomMargin = 1 << 5,
};

enum UIViewContentMode : long {
    UIViewContentModeScaleToFill,
    UIViewContentModeScaleAspectFit,
    UIViewContentModeScaleAspectFill,
    UIViewContentModeRedraw,
    UIViewContentModeCenter,
    UIViewContentModeTop,
    UIViewContentModeBottom,
    UIViewContentModeLeft,
    UIViewContentModeRight,
    UIViewContentModeTopLeft,
    UIViewContentModeTopRight,
    UIViewContentModeBottomLeft,
    UIViewContentModeBottomRight,
};

enum UIViewAnimationOptions : unsigned {
    UIViewAnimationOptionLayoutSubviews = 1 << 0,
    UIViewAnimationOptionAllowUserInteraction = 1 << 1,
    UIViewAnimationOptionBeginFromCurrentState = 1 << 2,
    UIViewAnimationOptionRepeat = 1 << 3,
    UIViewAnimationOptionAutoreverse = 1 << 4,
    UIViewAnimationOptionCurveEaseInOut = 0 << 16,
    UIViewAnimationOptionCurveEaseIn = 1 << 16,
    UIViewAnimationOptionCurveEaseOut = 2 << 16,
    UIViewAnimationOptionCurveLinear = 3 << 16,
    UIViewAnimationOptionShowHideTransitionViews = 1 << 8,
    UIViewAnimationOptionTransitionNone = 0 << 20,
    UIViewAnimationOptionTransitionFlipFromLeft = 1 << 20,
    UIViewAnimationOptionTransitionFlipFromRight = 2 << 20,
    UIViewAnimationOptionTransitionCurlUp = 3 << 20,
    UIViewAnimationOptionTransitionCurlDown = 4 << 20,
    UIViewAnimationOptionTransitionCrossDissolve = 5 << 20,
    UIViewAnimationOptionTransitionFlipFromTop = 6 << 20,
    UIViewAnimationOptionTransitionFlipFromBottom = 7 << 20,
};

// A text a person can read on screen, with where it stands in the view's
// own coordinates. Scenario scripts find, tap and check views by it.
struct UIVisibleText {
    std::string text;
    CGRect rect;
};

// A rectangle on screen: a node of the view tree, backed by a layer it owns.
//
// A subclass that wants another layer class passes the layer to the
// constructor (the phone's +layerClass). drawRect draws into the layer's
// backing store at the screen scale; a view whose drawRect is the base one
// gets no backing store. Layer property changes made by views animate only
// inside animation blocks. Main thread only, except drawRect of views over
// tiled layers, which runs on the layer's worker threads.
class UIView : public UIResponder, public CALayerDelegate {
  public:
    explicit UIView(const CGRect& frame = CGRectZero, std::shared_ptr<CALayer> layer = nullptr);
    ~UIView() override;

    const std::shared_ptr<CALayer>& layer() const;

    // Geometry.
    CGRect frame() const;
    virtual void setFrame(const CGRect& frame);
    CGRect bounds() const { return layer_->bounds(); }
    virtual void setBounds(const CGRect& bounds);
    CGPoint center() const { return layer_->position(); }
    void setCenter(CGPoint center);
    CGAffineTransform transform() const { return layer_->transform(); }
    void setTransform(const CGAffineTransform& transform);
    CGFloat contentScaleFactor() const { return layer_->contentsScale(); }
    virtual void setContentScaleFactor(CGFloat scale);

    // Appearance.
    CGFloat alpha() const { return layer_->opacity(); }
    void setAlpha(CGFloat alpha);
    bool isHidden() const { return layer_->isHidden(); }
    void setHidden(bool hidden);
    bool isOpaque() const { return layer_->isOpaque(); }
    void setOpaque(bool opaque) { layer_->setOpaque(opaque); }
    const std::optional<UIColor>& backgroundColor() const { return backgroundColor_; }
    virtual void setBackgroundColor(const std::optional<UIColor>& color);
    bool clipsToBounds() const { return layer_->masksToBounds(); }
    void setClipsToBounds(bool flag) { layer_->setMasksToBounds(flag); }
    UIViewContentMode contentMode() const { return contentMode_; }
    virtual void setContentMode(UIViewContentMode mode);
    // Inherited from the superview when not set; the system blue at the top.
    UIColor tintColor() const;
    void setTintColor(const std::optional<UIColor>& color);
    virtual void tintColorDidChange() {}

    long tag() const { return tag_; }
    void setTag(long tag) { tag_ = tag; }
    // This view or the first descendant (depth first) with the tag.
    std::shared_ptr<UIView> viewWithTag(long tag);

    unsigned autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool flag) { autoresizesSubviews_ = flag; }

    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool flag) { userInteractionEnabled_ = flag; }
    bool isMultipleTouchEnabled() const { return multipleTouchEnabled_; }
    void setMultipleTouchEnabled(bool flag) { multipleTouchEnabled_ = flag; }
    bool isExclusiveTouch() const { return exclusiveTouch_; }
    void setExclusiveTouch(bool flag) { exclusiveTouch_ = flag; }

    // Hierarchy.
    std::shared_ptr<UIView> superview() const { return superview_.lock(); }
    const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
    std::shared_ptr<UIWindow> window() const;
    void addSubview(const std::shared_ptr<UIView>& view);
    void insertSubviewAtIndex(const std::shared_ptr<UIView>& view, size_t index);
    void insertSubviewBelowSubview(const std::shared_ptr<UIView>& view,
                                   const std::shared_ptr<UIView>& sibling);
    void insertSubviewAboveSubview(const std::shared_ptr<UIView>& view,
                                   const std::shared_ptr<UIView>& sibling);
    void removeFromSuperview();
    void bringSubviewToFront(const std::shared_ptr<UIView>& view);
    void sendSubviewToBack(const std::shared_ptr<UIView>& view);
    void exchangeSubviewAtIndexWithSubviewAtIndex(size_t a, size_t b);
    bool isDescendantOfView(const UIView* view) const;
    virtual void willMoveToSuperview(const std::shared_ptr<UIView>&) {}
    virtual void didMoveToSuperview() {}
    virtual void willMoveToWindow(const std::shared_ptr<UIWindow>&) {}
    virtual void didMoveToWindow() {}
    virtual void didAddSubview(const std::shared_ptr<UIView>&) {}
    virtual void willRemoveSubview(const std::shared_ptr<UIView>&) {}

    // Companion views (a stand-in detail, not the phone's): views that go
    // with this one without being its subviews, such as an overlay that
    // must not scroll with a table. Each stands just above this view among
    // its superview's subviews (in the order added), at fixed insets from
    // its frame: it leaves the superview with this view, comes back just
    // above it wherever this view is inserted or moved, follows its frame
    // (inside the same animation block, so it slides along) and hides and
    // shows with it. Held weakly; a companion's own autoresizing mask should
    // be none. Adding places the view at once when this view has a superview.
    void addCompanionViewWithInsets(const std::shared_ptr<UIView>& view,
                                    const UIEdgeInsets& insets);
    // Ends the companionship and takes the view out of its superview.
    void removeCompanionView(const std::shared_ptr<UIView>& view);

    // Layout.
    void setNeedsLayout();
    void layoutIfNeeded();
    virtual void layoutSubviews() {}
    virtual CGSize sizeThatFits(CGSize size) const;
    void sizeToFit();

    // Drawing.
    virtual void setNeedsDisplay();
    virtual void setNeedsDisplayInRect(const CGRect& rect);
    // Draws into UIGraphicsGetCurrentContext (y down, the view's points).
    virtual void drawRect(const CGRect& rect);

    // Conversion; a null view means the window.
    CGPoint convertPointToView(CGPoint point, const std::shared_ptr<UIView>& view) const;
    CGPoint convertPointFromView(CGPoint point, const std::shared_ptr<UIView>& view) const;
    CGRect convertRectToView(const CGRect& rect, const std::shared_ptr<UIView>& view) const;
    CGRect convertRectFromView(const CGRect& rect, const std::shared_ptr<UIView>& view) const;

    // Hit testing; point in own coordinates.
    virtual std::shared_ptr<UIView> hitTest(CGPoint point, UIEvent* event);
    virtual bool pointInside(CGPoint point, UIEvent* event) const;

    // Gesture recognisers.
    void addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    void removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const {
        return gestureRecognizers_;
    }
    virtual bool gestureRecognizerShouldBegin(UIGestureRecognizer&) { return true; }

    // Accessibility: the label read for this view, and the texts it shows.
    const std::optional<std::string>& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(std::optional<std::string> label) {
        accessibilityLabel_ = std::move(label);
    }
    // The texts this view itself draws (not its subviews'), each with its rect in
    // bounds coordinates; by default the accessibility label over the bounds.
    // Views that draw text (labels, buttons, fields, bars, cells' own drawing)
    // override it; a view with several tappable texts gives one entry each.
    virtual std::vector<UIVisibleText> visibleTexts() const;

    // Snapshots: the view tree as it is drawn now.
    bool drawViewHierarchyInRectAfterScreenUpdates(const CGRect& rect, bool afterUpdates);
    std::shared_ptr<UIImage> snapshotImage();

    // The controller whose root view this is (next responder).
    std::shared_ptr<UIViewController> viewController() const { return controller_.lock(); }
    void setViewController(const std::shared_ptr<UIViewController>& controller);
    std::shared_ptr<UIResponder> nextResponder() const override;

    // Animation blocks: view property changes inside animations animate.
    static void animateWithDurationAnimations(double duration, std::function<void()> animations);
    static void animateWithDurationAnimationsCompletion(double duration,
                                                        std::function<void()> animations,
                                                        std::function<void(bool)> completion);
    static void animateWithDurationDelayOptionsAnimationsCompletion(
        double duration, double delay, unsigned options, std::function<void()> animations,
        std::function<void(bool)> completion);
    static void
    animateWithDurationDelayUsingSpringWithDampingInitialSpringVelocityOptionsAnimationsCompletion(
        double duration, double delay, CGFloat dampingRatio, CGFloat velocity, unsigned options,
        std::function<void()> animations, std::function<void(bool)> completion);
    // The changes animations make to view, shown through the transition of
    // the options: a cross-dissolve from the old picture, or a flip (the
    // view narrows to an edge and widens again with the new content). Curls
    // dissolve.
    static void transitionWithViewDurationOptionsAnimationsCompletion(
        const std::shared_ptr<UIView>& view, double duration, unsigned options,
        std::function<void()> animations, std::function<void(bool)> completion);
    // toView takes fromView's place in its superview (with
    // ShowHideTransitionViews, fromView hides and toView shows instead).
    static void transitionFromViewToViewDurationOptionsCompletion(
        const std::shared_ptr<UIView>& fromView, const std::shared_ptr<UIView>& toView,
        double duration, unsigned options, std::function<void(bool)> completion);
    static void setAnimationsEnabled(bool enabled);
    static bool areAnimationsEnabled();
    static void performWithoutAnimation(const std::function<void()>& actions);
    // Whether an animation block is open on this thread.
    static bool isInAnimationBlock();

    // CALayerDelegate.
    bool layerWantsDrawing(CALayer& layer) override;
    void drawLayerInContext(CALayer& layer, CGContext& context) override;
    void layoutSublayersOfLayer(CALayer& layer) override;
    std::optional<std::shared_ptr<CAAnimation>> actionForLayerForKey(
        CALayer& layer, const std::string& key) override;

  protected:
    // Autoresizes the subviews after the bounds' size changed.
    void resizeSubviewsWithOldSize(CGSize oldSize);
    void connectLayer() const;

  private:
    struct Companion {
        std::weak_ptr<UIView> view;
        UIEdgeInsets insets;
    };

    void moveToWindow(const std::shared_ptr<UIWindow>& window);
    // Puts the companions just above this view in its superview, if any.
    void placeCompanions();
    void frameCompanions();
    void placeLayerOf(const std::shared_ptr<UIView>& view);
    void propagateTintColorChange();

    std::shared_ptr<CALayer> layer_;
    mutable bool layerConnected_ = false;
    std::weak_ptr<UIView> superview_;
    std::vector<std::shared_ptr<UIView>> subviews_;
    std::vector<std::shared_ptr<UIGestureRecognizer>> gestureRecognizers_;
    std::vector<Companion> companions_;
    std::weak_ptr<UIViewController> controller_;
    std::optional<UIColor> backgroundColor_;
    std::optional<UIColor> tintColor_;
    std::optional<std::string> accessibilityLabel_;
    UIViewContentMode contentMode_ = UIViewContentModeScaleToFill;
    long tag_ = 0;
    unsigned autoresizingMask_ = UIViewAutoresizingNone;
    bool autoresizesSubviews_ = true;
    bool userInteractionEnabled_ = true;
    bool multipleTouchEnabled_ = false;
    bool exclusiveTouch_ = false;
    // Whether drawRect draws: unknown (-1) until it first runs.
    std::atomic<int> drawsContent_ = -1;
};

using UIViewRef = std::shared_ptr<UIView>;
