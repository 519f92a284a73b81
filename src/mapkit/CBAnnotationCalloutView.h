#pragma once

#include <functional>
#include <memory>
#include <string>

#include "UIKit/UIGestureRecognizer.h"
#include "mapkit/CBAnnotationView.h"

class CAShapeLayer;
class UILabel;
class UILongPressGestureRecognizer;

// The white speech bubble above the selected annotation: title, subtitle and
// up to two accessory controls. Its arrow points down at the layer's anchor;
// a press on the bubble (not on an accessory) calls its target's action.
class CBAnnotationCalloutView : public CBAnnotationView, public UIGestureRecognizerDelegate {
  public:
    // What a bubble tap calls: the action on the target it was set with,
    // the callout as argument.
    using TapSelector = std::function<void(void* target, CBAnnotationCalloutView& callout)>;

    static constexpr CGFloat kBodyHeight = 44;

    // The callout with its labels (views get subviews once they are shared).
    static std::shared_ptr<CBAnnotationCalloutView> create(const CGRect& frame = CGRectZero);
    explicit CBAnnotationCalloutView(const CGRect& frame);

    const std::shared_ptr<UILabel>& titleLabel() const { return title_; }
    const std::shared_ptr<UILabel>& subtitleLabel() const { return subTitle_; }
    const std::shared_ptr<CAShapeLayer>& bubbleLayer() const { return bubbleLayer_; }
    void setTitleText(const std::string& text);
    void setSubtitleText(const std::string& text);

    void setAnnotation(CBAnnotationRef annotation) override {
        setAnnotationAnimated(annotation, false);
    }
    void setAnnotationAnimated(const CBAnnotationRef& annotation, bool animated);
    void setAccessoryViewLeftRight(std::shared_ptr<UIView> left, std::shared_ptr<UIView> right);
    void prepareForReuse() override;
    void setFrameToFit();
    bool fixedWidth() const { return fixedWidth_; }
    void setFixedWidth(bool flag) { fixedWidth_ = flag; }
    bool bubbleHighlighted() const { return bubbleHighlighted_; }
    void setBubbleHighlighted(bool flag);
    // Replaces what a bubble tap calls. The target is held weakly; without
    // a target or an action the bubble has no press recogniser.
    void setTargetAction(std::weak_ptr<void> target, TapSelector selector);
    // A member function of the target as the action.
    template <class Target>
    void setTargetAction(const std::shared_ptr<Target>& target,
                         void (Target::*action)(CBAnnotationCalloutView&)) {
        TapSelector selector;
        if (action)
            selector = [action](void* receiver, CBAnnotationCalloutView& callout) {
                (static_cast<Target*>(receiver)->*action)(callout);
            };
        setTargetAction(std::weak_ptr<void>(target), std::move(selector));
    }
    std::shared_ptr<void> tapTarget() const { return tapTarget_.lock(); }
    const TapSelector& tapSelector() const { return tapSelector_; }
    const std::shared_ptr<UILongPressGestureRecognizer>& longPressGesture() const {
        return longPressGesture_;
    }
    // Accepted for compatibility with screens that fade it; the bubble stays opaque.
    void setBackgroundAlpha(CGFloat) {}

    void setFrame(const CGRect& frame) override;
    void setCenter(CGPoint center);
    void layoutSubviews() override;
    void setupBubblePath();
    void addAppearAnimation() override;
    void addDisappearAnimation() override;

    bool gestureRecognizerShouldReceiveTouch(UIGestureRecognizer&, UITouch& touch) override;

  private:
    void handlePress(UIGestureRecognizer& recognizer);

    std::shared_ptr<UILabel> title_;
    std::shared_ptr<UILabel> subTitle_;
    std::shared_ptr<CAShapeLayer> bubbleLayer_;
    bool fixedWidth_ = false;
    bool bubbleHighlighted_ = false;
    std::shared_ptr<UILongPressGestureRecognizer> longPressGesture_;
    std::weak_ptr<void> tapTarget_;
    TapSelector tapSelector_;
};
