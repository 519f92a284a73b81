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
// a press on the bubble (not on an accessory) calls the tap action.
class CBAnnotationCalloutView : public CBAnnotationView, public UIGestureRecognizerDelegate {
  public:
    using TapAction = std::function<void(CBAnnotationCalloutView&)>;

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
    // Replaces the tap action; none removes the press recogniser.
    void setTapAction(TapAction action);
    // A target and its action are one block here.
    void setTargetAction(TapAction action) { setTapAction(std::move(action)); }
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
    TapAction tapAction_;
};
